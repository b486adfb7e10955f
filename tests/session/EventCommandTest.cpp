// The commands run on the watch's events, as real processes: how a command
// line is split, what a command that hangs, fails, floods its output or is
// missing leaves on the status line. (That a failure's command runs once,
// across restarts, is the session tests' case.)
#include "session/EventCommand.h"
#include "common/CommandSplit.h"
#include "platform/AtomicFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(CommandSplitTest, SpacesSeparateQuotesGroupBackslashesEscape) {
    const std::tuple<const char*, QStringList, bool> cases[] = {
        // command, arguments, refused
        {"  mbpoll -m tcp  -1\t192.0.2.10 0 ",
         {"mbpoll", "-m", "tcp", "-1", "192.0.2.10", "0"},
         false},
        {R"(/opt/tell "Rig 2" 'N_f is $NF')", {"/opt/tell", "Rig 2", "N_f is $NF"}, false},
        {R"(a"b c"'d e'f say "" '')", {"ab cd ef", "say", "", ""}, false},
        {R"(say \"a\ b\" 'it\'s "a \"b\" \\" c\ d)",
         {"say", "\"a b\"", "it\\s", "a \"b\" \\", "c d"},
         false},
        {R"(say 'it\'s')", {}, true}, // no escape in single quotes: unbalanced
        {R"(say "open)", {}, true},
        {R"(say it\)", {}, true},
        {"   ", {}, false},
    };
    for (const auto& [command, arguments, refused] : cases) {
        const CommandSplit split = CommandSplit::split(QString::fromUtf8(command));
        EXPECT_EQ(split.arguments, arguments) << command;
        EXPECT_EQ(split.error.isEmpty(), !refused) << command;
    }
}

class EventCommandTest : public testing::Test {
protected:
    QString script(const QString& name, const QByteArray& body) {
        const QString path = dir.filePath(name);
        AtomicFile::write(path, "#!/bin/sh\n" + body + "\n");
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        return path;
    }
    // Until it ended, at the event loop's own pace (qWaitFor naps between rounds).
    void waitForEnd() {
        QTimer wake;
        wake.start(100);
        QElapsedTimer waited;
        waited.start();
        while (command.running() && waited.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ASSERT_FALSE(command.running());
        QTest::qWait(50); // anything said twice would come now
    }

    QTemporaryDir dir;
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QList<std::pair<QString, bool>> told; // what was said, red or not
    EventCommand command{"failure", [this](const QString& text, bool red) {
                             told.append({text, red});
                         }};
};

// A command that hangs is killed with what it started at its limit; the
// event again while it runs is said once and starts nothing.
TEST_F(EventCommandTest, AHangingCommandIsKilledWithItsGroupAtTheLimit) {
    const QString hang = script("hang", "sleep 300 & echo $! > \"$0.pid\"; wait");
    command.start(hang, env, 1);
    EXPECT_FALSE(command.start(hang, env, 1) || command.start(hang, env, 1));
    waitForEnd();
    ASSERT_EQ(told.size(), 2);
    EXPECT_TRUE(told[0].first.endsWith("still runs; it is not started again for this failure."));
    EXPECT_EQ(told[1].first, "The failure command \"" + hang +
                                 "\" was killed after its time limit of 1 s, without output");
    QFile pid(hang + ".pid");
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    QFile child("/proc/" + pid.readAll().trimmed() + "/stat");
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return !child.open(QIODevice::ReadOnly) || child.readAll().contains(") Z ");
    })) << "the command's child still runs";
}

// The address sanitizer keeps freed memory in quarantine, so only the plain
// build can tell from the resident size whether output was kept.
#ifdef __SANITIZE_ADDRESS__
constexpr bool FreedMemoryIsReturned = false;
#else
constexpr bool FreedMemoryIsReturned = true;
#endif

// Its end is said once with the first line of what it printed, however much
// it printed; a command that cannot start is said once.
TEST_F(EventCommandTest, EachEndIsSaidOnceWithTheFirstLine) {
    const auto residentPages = [] {
        QFile statm("/proc/self/statm");
        return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toLong() : 0;
    };
    const std::tuple<QString, QString, bool> cases[] = {
        {script("fail", "echo 'no mail server\tat 192.0.2.25'; echo second; exit 3"),
         " ended with exit status 3: no mail server\\x09at 192.0.2.25", true},
        {script("flood", "yes 'the first line of many' | head -c 200000000"),
         " ended with exit status 0: the first line of many", false},
        {script("long", "printf '%0300d' 7"),
         " ended with exit status 0: " + QString(200, '0') + "...", false},
        {script("killed", "kill -TERM $$"), " was ended by signal 15, without output", true},
        {dir.filePath("missing"), " cannot start: ", true},
    };
    for (const auto& [path, said, red] : cases) {
        SCOPED_TRACE(path.toStdString());
        told.clear();
        const long before = residentPages();
        command.start(path, env, 60);
        waitForEnd();
        ASSERT_EQ(told.size(), 1);
        EXPECT_TRUE(told[0].first.startsWith("The failure command \"" + path + "\"" + said))
            << told[0].first.toStdString();
        EXPECT_EQ(told[0].second, red);
        if (FreedMemoryIsReturned) {
            EXPECT_LT(residentPages() - before, 8192) << "the output was kept";
        }
    }
}

} // namespace
