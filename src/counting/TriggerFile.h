#pragma once
// The trigger flag file "~Trigger.tmp" in the temporary folder: one 4-byte
// little-endian integer that another program watches (0 at start-up, 1 at
// every trigger). The flag is written in place at offset 0; the file is never
// truncated or read. After a failed write the file is closed; it is opened
// again by itself when that works (see PeerFile), so a full disk does not
// cost the rest of a weeks-long run.
#include "platform/PeerFile.h"

#include <QString>
#include <cstdint>

class TriggerFile {
public:
    static constexpr const char* FileName = "~Trigger.tmp";

    TriggerFile(QString tempFolder, ProblemSink& problems, const MillisecondClock& clock)
        : m_file(std::move(tempFolder), QString::fromLatin1(FileName), problems, clock) {}

    // Closes any open file and opens it anew, creating it when missing; a
    // refusal is reported with the file and the reason.
    bool OpenTriggerFile();
    void CloseTriggerFile() { m_file.close(); }
    bool isOpen() const { return m_file.isOpen(); }

    // Writes `flag` at offset 0. False when the file is not open (and cannot
    // be opened again yet) or the write failed.
    bool writeFlag(int32_t flag);

    QString path() const { return m_file.path(); }

private:
    PeerFile m_file;
};
