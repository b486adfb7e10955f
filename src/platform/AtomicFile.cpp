#include "platform/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool fail(QString* error, const QString& what, int errnoValue) {
    if (error)
        *error = QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(strerror(errnoValue)));
    return false;
}

// ".Cyclomarkator.INI~save-" beside "Cyclomarkator.INI".
QString temporaryPrefix(const QFileInfo& info) {
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral("~save-");
}

bool writeAll(int fd, const QByteArray& content) {
    const char* data = content.constData();
    qsizetype left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}
} // namespace

bool AtomicFile::write(const QString& path, const QByteArray& content, QString* error) {
    const QFileInfo info(path);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    // mkstemp picks an unpredictable name and creates it exclusively; the
    // name is hidden and marked as ours, so that the sweep after a crash
    // never takes a user's own copy such as "Cyclomarkator.INI.backup".
    QByteArray temporary = QFile::encodeName(temporaryPrefix(info)) + QByteArray(6, 'X');
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return fail(error, QStringLiteral("Cannot create a temporary file beside %1").arg(path),
                    errno);

    struct stat old {};
    const mode_t mode = ::stat(QFile::encodeName(path).constData(), &old) == 0
                            ? (old.st_mode & 07777)
                            : mode_t{0644};
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, content) && ::fsync(fd) == 0;
    int savedErrno = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        return fail(error, QStringLiteral("Cannot write %1").arg(path), savedErrno);
    }
    // The rename itself must reach the disk, or a power cut could undo it.
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

void AtomicFile::removeLeftovers(const QString& path) {
    const QFileInfo info(path);
    const QString prefix = QFileInfo(temporaryPrefix(info)).fileName();
    // mkstemp's suffix: exactly six letters or digits after our prefix.
    const QRegularExpression leftover(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(prefix) + QStringLiteral("[A-Za-z0-9]{6}")));
    QDir folder = info.absoluteDir();
    const QStringList names =
        folder.entryList({prefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (leftover.match(name).hasMatch())
            folder.remove(name);
    }
}
