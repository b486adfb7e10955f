#include "platform/RigLock.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString reason(int errnoValue) {
    return QString::fromLocal8Bit(std::strerror(errnoValue));
}
} // namespace

RigLock::~RigLock() {
    for (int fd : {m_programFolder, m_tempFolder}) {
        if (fd >= 0)
            ::close(fd);
    }
}

QString RigLock::lockFileName(const QString& baseName) {
    return QStringLiteral("%1-%2.lock").arg(baseName).arg(::geteuid());
}

RigLock::Outcome RigLock::lockDescriptor(int fd, int& kept) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        kept = fd;
        return Outcome::Held;
    }
    const int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK)
        return Outcome::HeldByAnotherCopy;
    m_why = reason(err);
    return Outcome::NotPossible;
}

RigLock::Outcome RigLock::lockProgramFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        m_why = QStringLiteral("%1: %2").arg(folder, reason(errno));
        return Outcome::NotPossible;
    }
    return lockDescriptor(fd, m_programFolder);
}

RigLock::Outcome RigLock::lockTempFolder(const QString& folder, const QString& baseName) {
    const QByteArray encoded = QFile::encodeName(folder);
    const int dir = ::open(encoded.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st {};
    if (dir < 0 || ::fstat(dir, &st) != 0) {
        m_why = QStringLiteral("%1: %2").arg(folder, reason(errno));
        if (dir >= 0)
            ::close(dir);
        return Outcome::NotPossible;
    }
    // One folder for both (a rig's service may point TMPDIR at its program
    // folder) is locked once.
    struct stat program {};
    if (m_programFolder >= 0 && ::fstat(m_programFolder, &program) == 0 &&
        program.st_dev == st.st_dev && program.st_ino == st.st_ino) {
        ::close(dir);
        return Outcome::Held;
    }
    if (st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0)
        return lockDescriptor(dir, m_tempFolder);
    ::close(dir);

    // A shared folder: our own lock file, never through a link or a file of
    // someone else's (O_NOFOLLOW, and the checks on what was opened).
    const QString path = folder + u'/' + lockFileName(baseName);
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_why = QStringLiteral("%1: %2").arg(path, reason(errno));
        return Outcome::NotPossible;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        m_why = QStringLiteral("%1 is not a regular file of this user").arg(path);
        return Outcome::NotPossible;
    }
    return lockDescriptor(fd, m_tempFolder);
}
