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
// Leaves errno as the failure left it: callers map it to the error the user knows.
bool fail(QString* error, const QString& what, int errnoValue) {
    if (error)
        *error = QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(strerror(errnoValue)));
    errno = errnoValue;
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

QString AtomicFile::resolveLinks(const QString& path) {
    QString resolved = QFileInfo(path).absoluteFilePath();
    // Bounded like the kernel's own resolution; a loop ends up refused below
    // as a file that is not a regular one.
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(resolved);
        if (!info.isSymLink())
            return resolved;
        resolved = info.symLinkTarget();
    }
    return resolved;
}

bool AtomicFile::write(const QString& requested, const QByteArray& content, QString* error) {
    // A file kept as a symbolic link (to a shared folder, say) is saved through
    // the link: its target is replaced, atomically in the target's own folder,
    // and the link stays a link.
    const QString path = resolveLinks(requested);
    const QByteArray encoded = QFile::encodeName(path);
    struct stat old {};
    const bool exists = ::lstat(encoded.constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        // A folder, a device or a loop of links is never replaced by a file.
        errno = EISDIR;
        if (error)
            *error = QStringLiteral("%1 is not a regular file").arg(path);
        return false;
    }
    // The owner keeps reading and writing whatever mode the file had, so the
    // next start can read what was saved.
    const mode_t mode = exists ? (old.st_mode & 07777) | S_IRUSR | S_IWUSR : mode_t{0644};

    const QFileInfo info(path);
    // mkstemp picks an unpredictable name and creates it exclusively; the
    // name is hidden and marked as ours, so that the sweep after a crash
    // never takes a user's own copy such as "Cyclomarkator.INI.backup".
    QByteArray temporary = QFile::encodeName(temporaryPrefix(info)) + QByteArray(6, 'X');
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return fail(error, QStringLiteral("Cannot create a temporary file beside %1").arg(path),
                    errno);
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, content) && ::fsync(fd) == 0;
    int savedErrno = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && ::rename(temporary.constData(), encoded.constData()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        return fail(error, QStringLiteral("Cannot write %1").arg(path), savedErrno);
    }
    // The rename itself must reach the disk, or a power cut could undo it.
    const QByteArray folder = QFile::encodeName(info.absolutePath());
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
