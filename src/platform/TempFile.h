#pragma once
// A small binary file in the shared temporary folder, opened for in-place
// writes (the trigger flag file, the A/D exchange file). Because /tmp is shared
// with other users the file is never opened through a symbolic link and is
// refused unless it is a regular file owned by this user. Other programs may
// open it at the same time (no lock is taken).
#include <QByteArray>
#include <QString>

class TempFile {
public:
    TempFile() = default;
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Opens (creating with mode 0600 when missing) folder/name for reading and
    // writing. On failure returns false; errorText() and errorNumber() say why.
    bool open(const QString& folder, const QString& name);
    void close();
    bool isOpen() const { return m_fd >= 0; }

    // Writes the bytes at `offset` without truncating the file.
    bool writeAt(qint64 offset, const char* data, qint64 size);
    qint64 size() const;
    // The open file is still the one its path names (not removed or replaced).
    bool stillAtItsPath() const;

    // An exclusive advisory lock on the whole file without waiting; held until
    // close() or the end of the process.
    bool tryLockExclusive();

    QString path() const { return m_path; }
    QString errorText() const { return m_error; }
    // A run-time error number for ErrorText: 75 path/file access error,
    // 70 permission denied, 76 path not found, 57 device I/O error, 61 disk full.
    int errorNumber() const { return m_errorNumber; }

private:
    void fail(int errnoValue, const QString& what);
    int m_fd = -1;
    QString m_path;
    QString m_error;
    int m_errorNumber = 0;
};
