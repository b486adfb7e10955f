#pragma once
// An output file of the offline counter (the picture, the summary), opened
// before the count runs so that a bad path is told at once, and written in one
// step at the end. A regular file, or a name not yet taken, is replaced
// atomically; a symbolic link is written through, like the settings file: its
// target is replaced in its own folder and the link stays a link. A character
// device or a FIFO (/dev/null, /dev/stdout, a pipe to a lab's script) is
// written in place and never replaced by a file; a FIFO nobody reads from, a
// folder, a block device or a socket is refused.
#include <QByteArray>
#include <QString>

#include <memory>

class QSaveFile;

class OutputFile {
public:
    explicit OutputFile(const QString& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False with `reason` filled when the output cannot be written.
    bool open(QString& reason);
    // Writes all of `bytes` (a write that stops part-way, a full disk, is
    // retried for the rest, so that the failing call tells the system's
    // reason). A replaced file appears only when everything was written.
    bool write(const QByteArray& bytes, QString& reason);

private:
    bool writeInPlace(const QByteArray& bytes, QString& reason);

    QString m_path;
    QString m_target; // the file a symbolic link finally names
    std::unique_ptr<QSaveFile> m_file;
    int m_fd = -1; // a device or FIFO, written in place
};
