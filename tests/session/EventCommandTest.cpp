// The commands run on the watch's events, as real processes: how a command
// line is split, what a command that hangs, fails, floods its output or is
// missing leaves on the status line, and that a failure's command runs once,
// across restarts, with the event in its environment.
#include "session/EventCommand.h"
#include "common/CommandSplit.h"
#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"
#include "session/CounterSession.h"

#include "support/FakeBackend.h"
#include "support/ManualClock.h"
#include "support/RecordingCoreView.h"
#include "support/ScriptedPrompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(CommandSplitTest, SpacesSeparateQuotesGroupBackslashesEscape) {
    struct Case {
        const char* command;
        QStringList arguments;
        bool refused = false;
    };
    const Case cases[] = {
        {"  mbpoll -m tcp  -1\t192.0.2.10 0 ", {"mbpoll", "-m", "tcp", "-1", "192.0.2.10", "0"}},
        {R"(/opt/tell "Rig 2" 'N_f is $NF')", {"/opt/tell", "Rig 2", "N_f is $NF"}},
        {R"(a"b c"'d e'f)", {"ab cd ef"}},
        {R"(say "" '' x)", {"say", "", "", "x"}},
        {R"(say \"a\ b\" 'it\'s)", {"say", "\"a b\"", "it\\s"}},
        {R"(say 'it\'s')", {}, true}, // no escape in single quotes
        {R"(say "a \"b\" \\" c\ d)", {"say", "a \"b\" \\", "c d"}},
        {R"(say "open)", {}, true},
        {R"(say it\)", {}, true},
        {"   ", {}},
    };
    for (const auto& [command, arguments, refused] : cases) {
        const CommandSplit split = CommandSplit::split(QString::fromUtf8(command));
        EXPECT_EQ(split.arguments, arguments) << command;
        EXPECT_EQ(split.error.isEmpty(), !refused) << command;
    }
}

class EventCommandTest : public testing::Test {
protected:
    // An executable script in the test's folder.
    QString script(const QString& name, const QByteArray& body) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                            QFileDevice::ExeOwner);
        return path;
    }
    // Runs `command` to its end; what was said, each with its colour.
    void run(const QString& command, int timeoutSeconds = 60) {
        command_.start(command, QProcessEnvironment::systemEnvironment(), timeoutSeconds);
        // At the event loop's own pace (qWaitFor naps between rounds).
        QTimer wake;
        wake.start(100);
        QElapsedTimer waited;
        waited.start();
        while (command_.running() && waited.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ASSERT_FALSE(command_.running());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !told.isEmpty(); }, 5000));
        QTest::qWait(50); // anything said twice would come now
    }

    QTemporaryDir dir;
    QList<std::pair<QString, bool>> told;
    EventCommand command_{"failure", [this](const QString& text, bool problem) {
                              told.append({text, problem});
                          }};
};

// A command that hangs is killed at its limit with what it started, and an
// event while it runs is said once and starts nothing.
TEST_F(EventCommandTest, AHangingCommandIsKilledWithItsGroupAtTheLimit) {
    const QString pidFile = dir.filePath("pid");
    const QString command = script("hang", "sleep 300 & echo $! > " + pidFile.toUtf8() + "; wait");
    command_.start(command, QProcessEnvironment::systemEnvironment(), 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(command_.start(command, QProcessEnvironment::systemEnvironment(), 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !command_.running(); }, 20000));
    QTest::qWait(50);
    ASSERT_EQ(told.size(), 2);
    EXPECT_TRUE(told[0].first.contains("still runs; it is not started again"))
        << told[0].first.toStdString();
    EXPECT_EQ(told[1], std::make_pair(QStringLiteral("The failure command \"%1\" was killed after "
                                                     "its time limit of 1 s, without output")
                                          .arg(command),
                                      true));
    QFile pid(pidFile);
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    const QString stat = "/proc/" + pid.readAll().trimmed() + "/stat";
    const auto gone = [&] {
        QFile file(stat);
        return !file.open(QIODevice::ReadOnly) || file.readAll().contains(") Z ");
    };
    EXPECT_TRUE(QTest::qWaitFor(gone, 5000)) << "the command's child still runs";
}

// Its end is said once with the first line of what it printed, however much
// it printed; a command that cannot start is said once.
TEST_F(EventCommandTest, EachEndIsSaidOnceWithTheFirstLine) {
    const auto rssKb = [] {
        QFile status("/proc/self/status");
        status.open(QIODevice::ReadOnly);
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        return 0LL;
    };
    const std::tuple<QString, QString, bool> cases[] = {
        {script("fail", "echo 'no mail server\tat 192.0.2.25'; echo second; exit 3"),
         " ended with exit status 3: no mail server\\x09at 192.0.2.25", true},
        {script("flood", "yes 'the first line of many' | head -c 200000000"),
         " ended with exit status 0: the first line of many", false},
        {script("long", "printf '%0300d' 7"),
         " ended with exit status 0: " + QString(200, u'0') + "...", false},
        {script("quiet", "kill -TERM $$"), " was ended by signal 15, without output", true},
        {dir.filePath("missing"), " cannot start: ", true},
    };
    for (const auto& [command, said, problem] : cases) {
        SCOPED_TRACE(command.toStdString());
        told.clear();
        const long long before = rssKb();
        run(command);
        ASSERT_EQ(told.size(), 1);
        EXPECT_TRUE(told[0].first.startsWith("The failure command \"" + command + "\"" + said))
            << told[0].first.toStdString();
        EXPECT_EQ(told[0].second, problem);
        EXPECT_LT(rssKb() - before, 32 * 1024) << "the output was kept";
    }
}

// A rig whose settings file holds a failure whose command has not run yet:
// the program ended between saving the failure and starting its command.
class FailureCommandRestart : public EventCommandTest {
protected:
    FailureCommandRestart() {
        QDir().mkpath(dir.filePath("program"));
        const QString tell = script("tell", "printf '%s|' \"$@\" > \"$0.args\"\n"
                                            "env | grep ^CYCLO_ | sort > \"$0.env\"\n"
                                            "echo told");
        AtomicFile::write(settingsPath(), "[HARDWARE]\nA/D-Converter=Dummy A/D\n"
                                          "[Cyclomarkator]\nValue=5123\n"
                                          "[Watch]\nArmed=1\nOnFailure=" +
                                              tell.toUtf8() +
                                              " 'rig 7' \"N_f\"\nOnStall=say 'it\n"
                                              "ReferencePeak=2\nReferenceValley=-2\n"
                                              "ReferenceAmplitude=2\nReferenceFrom=101\n"
                                              "ReferenceTo=150\nReferenceTaken=1.7e9\n"
                                              "FailedAt=5000\nFailedCriterion=amplitude\n"
                                              "FailedValues=1.75; -1.75; 1.75\n"
                                              "FailedConfirmedAt=5002\nFailedTime=1.7e9\n");
    }
    QString settingsPath() const { return dir.filePath("program/Cyclomarkator.INI"); }
    void start() {
        const ProgramFolderChoice folder{dir.filePath("program"), "Cyclomarkator", {}, false, {}};
        session = std::make_unique<CounterSession>(
            CounterSession::Environment{folder, dir.filePath("temp"), dir.filePath("config"),
                                        "Cyclomarkator"},
            prompts, clock, devices);
        ASSERT_TRUE(session->LoadSettings());
        session->Form_Load(view);
        session->start();
    }
    void end() {
        session->Form_Unload({});
        session.reset();
    }

    ManualClock clock{0};
    ScriptedPrompts prompts;
    FakeDevices devices;
    RecordingMainView view;
    std::unique_ptr<CounterSession> session;
};

TEST_F(FailureCommandRestart, RunsAtTheNextStartOnceWithTheEventInItsEnvironment) {
    const QString args = dir.filePath("tell.args"), env = dir.filePath("tell.env");
    start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.recoveries.size() == 1; }, 10000));
    EXPECT_TRUE(view.recoveries[0].endsWith("ended with exit status 0: told"));
    EXPECT_TRUE(view.problems.contains("[Watch] OnStall=say 'it is refused: its ' quote is not "
                                       "closed; no command is kept."))
        << view.problems.join('\n').toStdString();
    ProfileFile saved(settingsPath());
    saved.load();
    EXPECT_EQ(saved.readString("Watch", "FailureCommandRun", ""), "5000");
    QFile argsFile(args), envFile(env);
    ASSERT_TRUE(argsFile.open(QIODevice::ReadOnly) && envFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(argsFile.readAll(), "rig 7|N_f|");
    const QByteArray variables = envFile.readAll();
    for (const char* line :
         {"CYCLO_AMPLITUDE=1.75\n", "CYCLO_COUNT=5123\n", "CYCLO_CRITERION=amplitude\n",
          "CYCLO_EVENT=failure\n", "CYCLO_NF=5000\n", "CYCLO_PEAK=1.75\n",
          "CYCLO_REF_AMPLITUDE=2\n", "CYCLO_REF_VALLEY=-2\n", "CYCLO_RIG=program\n",
          "CYCLO_VALLEY=-1.75\n", "CYCLO_TEXT=The specimen failed at N_f = 5000: "})
        EXPECT_TRUE(variables.contains(line)) << line << "\n" << variables.toStdString();
    end();

    QFile::remove(args);
    start();
    // A start that ran it again would have forked it by now.
    EXPECT_FALSE(QTest::qWaitFor([&] { return QFile::exists(args); }, 1000));
    end();
}

} // namespace
