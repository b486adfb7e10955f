#pragma once
// The trigger flag file "~Trigger.tmp" in the temporary folder: one 4-byte
// little-endian integer that another program watches (0 at start-up, 1 at
// every trigger). The flag is written in place at offset 0; the file is never
// truncated or read. After a failed write the file stays closed.
#include "platform/TempFile.h"

#include <QString>
#include <cstdint>

class TriggerFile {
public:
    static constexpr const char* FileName = "~Trigger.tmp";

    explicit TriggerFile(QString tempFolder) : m_tempFolder(std::move(tempFolder)) {}

    // Closes any open file and opens it anew, creating it when missing.
    bool OpenTriggerFile();
    void CloseTriggerFile() { m_file.close(); }
    bool isOpen() const { return m_file.isOpen(); }

    // Writes `flag` at offset 0. False when the file is not open or the write
    // failed; a failed write closes the file (errorText() says why).
    bool writeFlag(int32_t flag);

    QString path() const;
    QString errorText() const { return m_file.errorText(); }

private:
    QString m_tempFolder;
    TempFile m_file;
};
