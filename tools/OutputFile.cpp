#include "OutputFile.h"

#include "platform/AtomicFile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString systemReason(int errnoValue) {
    return QString::fromLocal8Bit(std::strerror(errnoValue));
}

// Whether `path` names no file or a regular one (a link itself is neither);
// a path that cannot be looked at is left to the save file, which says why.
bool absentOrRegular(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) != 0 || S_ISREG(st.st_mode);
}
} // namespace

OutputFile::OutputFile(const QString& path) : m_path(path) {}

OutputFile::~OutputFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool OutputFile::open(QString& reason) {
    struct stat st {};
    const QByteArray encoded = QFile::encodeName(m_path);
    if (::stat(encoded.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (!S_ISCHR(st.st_mode) && !S_ISFIFO(st.st_mode)) {
            reason = QStringLiteral("it is not a regular file, a character device or a FIFO");
            return false;
        }
        // Without a reader a FIFO would hold the tool forever: refused at once.
        m_fd = ::open(encoded.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0) {
            reason = errno == ENXIO ? QStringLiteral("no program reads from the FIFO")
                                    : systemReason(errno);
            return false;
        }
        // A slow reader is waited for, as any writer to a pipe does.
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
        return true;
    }
    m_target = AtomicFile::resolveLinks(m_path);
    if (!absentOrRegular(m_target)) {
        reason = QStringLiteral("%1 is not a regular file").arg(m_target);
        return false;
    }
    m_file = std::make_unique<QSaveFile>(m_target);
    // Unbuffered, so that a failed write reports the system's reason (a full
    // disk) at once; buffered, it is lost by the time the file is committed.
    if (m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return true;
    reason = m_file->errorString();
    return false;
}

bool OutputFile::writeInPlace(const QByteArray& bytes, QString& reason) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            reason = systemReason(written < 0 ? errno : EIO);
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

bool OutputFile::write(const QByteArray& bytes, QString& reason) {
    if (m_fd >= 0)
        return writeInPlace(bytes, reason);
    qint64 done = 0;
    // Every pass writes at least one byte or ends the loop.
    while (done < bytes.size()) {
        const qint64 written = m_file->write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            break;
        done += written;
    }
    if (done < bytes.size()) {
        reason = m_file->errorString();
        return false;
    }
    // Something put in the file's place while the count ran (a device, a
    // FIFO, a folder) is never renamed over.
    if (!absentOrRegular(m_target)) {
        m_file->cancelWriting();
        reason = QStringLiteral("%1 is no longer a regular file").arg(m_target);
        return false;
    }
    if (m_file->commit())
        return true;
    reason = m_file->errorString();
    return false;
}
