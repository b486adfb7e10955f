#include "platform/LineOutput.h"

#include "common/PrintableText.h"

#include <QByteArray>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {
// A pipe takes a write of up to this size whole once it says it can take any.
constexpr qsizetype WholeWrite = PIPE_BUF;
} // namespace

bool LineOutput::writeNow(const QByteArray& bytes) {
    pollfd ready{m_fd, POLLOUT, 0};
    if (::poll(&ready, 1, 0) != 1 || (ready.revents & POLLOUT) == 0) {
        if (ready.revents & (POLLERR | POLLHUP))
            m_closed = true;
        return false;
    }
    const ssize_t written = ::write(m_fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    if (written < 0 && (errno == EPIPE || errno == EBADF))
        m_closed = true;
    return written == bytes.size();
}

void LineOutput::write(const QString& text) {
    if (m_closed)
        return;
    if (m_dropped > 0) {
        const QByteArray notice =
            QStringLiteral("... %1 lines dropped: the reader did not keep up\n")
                .arg(m_dropped)
                .toUtf8();
        if (!writeNow(notice)) {
            ++m_dropped;
            return;
        }
        m_dropped = 0;
    }
    QByteArray line = printableLine(text).toUtf8().left(WholeWrite - 1);
    line.append('\n');
    if (!writeNow(line))
        ++m_dropped;
}
