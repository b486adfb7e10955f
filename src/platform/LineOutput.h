#pragma once
// Lines for a reader at the other end of stdout or stderr (a terminal, a
// pipe, a service journal) that never stop the program: a write happens only
// when it can complete at once, lines the reader did not take in time are
// dropped and counted (and the count is written once the reader keeps up
// again), and a reader that went away ends the output, not the program. A line
// stays one line: what could break it or forge another (line breaks, control
// characters, bidirectional overrides) is written as an escape.
// SIGPIPE must be ignored by the process.
#include <QString>
#include <cstdint>

class LineOutput {
public:
    explicit LineOutput(int fd) : m_fd(fd) {}

    // Writes `text` and a line feed, or drops it.
    void write(const QString& text);
    int64_t dropped() const { return m_dropped; }
    bool closed() const { return m_closed; }

private:
    bool writeNow(const QByteArray& bytes);

    int m_fd;
    int64_t m_dropped = 0;
    bool m_closed = false;
};
