// A device's or a client's words inside our lines: each line on stdout or
// stderr stays one line, whatever the words hold.
#include "platform/LineOutput.h"
#include "platform/ProblemSink.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <iterator>
#include <unistd.h>

namespace {
// A file holding this once printed a fake count line, cleared the terminal
// and cut the rest at the NUL.
constexpr char16_t ForgedText[] = u"in_voltage0_raw holds \"1\x1b[2J\n2030-01-01 00:00:00 "
                                  u"Count 999999 (\0tail\u2028Count 5\"";
const QString Forged = QString::fromUtf16(ForgedText, std::size(ForgedText) - 1);

QByteArray drain(int fd) {
    char buffer[4096];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    return got > 0 ? QByteArray(buffer, got) : QByteArray();
}
} // namespace

TEST(LineOutput, AWrittenLineStaysOneLineWhateverItHolds) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_NONBLOCK), 0);
    LineOutput out(fds[1]);
    out.write(QStringLiteral("Problem: ") + Forged);

    // Before the line writer is set up, problems go to stderr the same way.
    const int savedErr = ::dup(STDERR_FILENO);
    ::dup2(fds[1], STDERR_FILENO);
    ProblemRelay().reportProblem(Forged);
    ::dup2(savedErr, STDERR_FILENO);
    ::close(savedErr);

    const QByteArray lines = drain(fds[0]);
    ::close(fds[0]);
    ::close(fds[1]);
    EXPECT_EQ(lines.count('\n'), 2) << lines.toStdString();
    EXPECT_FALSE(lines.contains('\x1b') || lines.contains('\0') || lines.contains("\u2028"));
    EXPECT_EQ(lines.count("\\x1B[2J\\x0A2030-01-01 00:00:00 Count 999999 (\\x00tail\\u2028Count 5"),
              2);
}
