#pragma once
// A small file in the temporary folder that other programs read while this
// one runs for weeks (the exchange file, the trigger flag file). A failure
// (a full disk, a folder made unwritable) closes it and is reported once; it
// is then opened again by itself, at most every ReopenIntervalMs, and the user
// is told when it is back. A file that something removed or replaced under
// it is found within CheckIntervalMs and written at its place again. Every
// report names the file and the reason.
#include "platform/TempFile.h"

#include <QString>
#include <cstdint>

class MillisecondClock;
class ProblemSink;

class PeerFile {
public:
    static constexpr int32_t ReopenIntervalMs = 10000;
    static constexpr int32_t CheckIntervalMs = 5000;

    PeerFile(QString folder, QString name, ProblemSink& problems, const MillisecondClock& clock);

    // Opens the file (a refusal is reported under `label`, with the error
    // text the user knows). False when it could not be opened.
    bool open(const QString& label);
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const;

    // Writes in place. When the file was closed by a failure it is first
    // opened again if that is due; false when nothing was written.
    bool writeAt(qint64 offset, const char* data, qint64 size, const QString& label);
    qint64 size() const { return m_file.size(); }

private:
    void fail(const QString& label);
    bool due(int32_t& last, int32_t interval) const;

    QString m_folder;
    QString m_name;
    ProblemSink& m_problems;
    const MillisecondClock& m_clock;
    TempFile m_file;
    bool m_lost = false; // closed by a failure, not by its owner
    int32_t m_lastTry = 0;
    int32_t m_lastCheck = 0;
};
