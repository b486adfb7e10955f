#include "platform/TempFile.h"

#include "common/ErrorText.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

TempFile::~TempFile() {
    close();
}

void TempFile::fail(int errnoValue, const QString& what) {
    m_errorNumber = errorNumberForErrno(errnoValue);
    m_error =
        QStringLiteral("%1 %2: %3").arg(what, m_path, QString::fromLocal8Bit(strerror(errnoValue)));
}

bool TempFile::open(const QString& folder, const QString& name) {
    close();
    m_error.clear();
    m_errorNumber = 0;
    m_path = folder.endsWith(u'/') ? folder + name : folder + u'/' + name;

    // O_NOFOLLOW refuses a planted symbolic link; O_NONBLOCK keeps a planted
    // FIFO from blocking the open. The checks after the open are made on the
    // opened file itself, so nothing can be swapped in between.
    const int fd = ::open(QFile::encodeName(m_path).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int err = errno;
        fail(err, err == ELOOP ? QStringLiteral("Refusing a symbolic link at")
                               : QStringLiteral("Cannot open"));
        return false;
    }
    struct stat st {};
    // A second name (a hard link planted in the shared folder) would let us
    // overwrite a file somebody else chose, like a symbolic link would.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        st.st_nlink != 1) {
        ::close(fd);
        m_errorNumber = 75;
        m_error = QStringLiteral("Refusing %1: it is not a regular file of this user with no "
                                 "other name")
                      .arg(m_path);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_fd = fd;
    return true;
}

void TempFile::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool TempFile::writeAt(qint64 offset, const char* data, qint64 size) {
    if (m_fd < 0) {
        fail(EBADF, QStringLiteral("Cannot write"));
        return false;
    }
    while (size > 0) {
        const ssize_t written = ::pwrite(m_fd, data, static_cast<size_t>(size), offset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            fail(errno, QStringLiteral("Cannot write"));
            return false;
        }
        data += written;
        offset += written;
        size -= written;
    }
    return true;
}

qint64 TempFile::size() const {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return -1;
    return st.st_size;
}

bool TempFile::stillAtItsPath() const {
    struct stat open {};
    struct stat named {};
    return m_fd >= 0 && ::fstat(m_fd, &open) == 0 && open.st_nlink > 0 &&
           ::lstat(QFile::encodeName(m_path).constData(), &named) == 0 &&
           named.st_ino == open.st_ino && named.st_dev == open.st_dev;
}

bool TempFile::tryLockExclusive() {
    return m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
}
