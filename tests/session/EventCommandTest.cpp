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
        EXPECT_LT(residentPages() - before, 8192) << "the output was kept";
    }
}

// A rig whose settings file holds a failure whose command has not run yet
// (the program ended between saving the failure and starting its command).
TEST_F(EventCommandTest, AFailureWithoutItsMarkRunsAtTheNextStartOnly) {
    const QString tell = script("tell", "printf '%s|' \"$@\" > \"$0.args\"\n"
                                        "env | grep ^CYCLO_ > \"$0.env\"; echo told");
    const QString settings = dir.filePath("program/Cyclomarkator.INI");
    QDir().mkpath(dir.filePath("program"));
    AtomicFile::write(settings,
                      "[HARDWARE]\nA/D-Converter=Dummy A/D\n[Cyclomarkator]\nValue=5123\n"
                      "[Watch]\nArmed=1\nOnStall=say 'it\nOnFailure=" +
                          tell.toUtf8() +
                          " 'rig 7' \"N_f\"\nReferencePeak=2\nReferenceValley=-2\n"
                          "ReferenceAmplitude=2\nReferenceFrom=101\nReferenceTo=150\n"
                          "ReferenceTaken=1.7e9\nFailedAt=5000\nFailedCriterion=amplitude\n"
                          "FailedValues=1.75; -1.75; 1.75\nFailedConfirmedAt=5002\n"
                          "FailedTime=1.7e9\n");
    ManualClock clock{0};
    ScriptedPrompts prompts;
    FakeDevices devices;
    for (const bool firstStart : {true, false}) {
        RecordingMainView view;
        QFile::remove(tell + ".args");
        CounterSession session({{dir.filePath("program"), "Cyclomarkator", {}, false, {}},
                                dir.filePath("temp"),
                                dir.filePath("config"),
                                "Cyclomarkator"},
                               prompts, clock, devices);
        ASSERT_TRUE(session.LoadSettings());
        session.Form_Load(view);
        session.start();
        // Said once; the next save keeps no command.
        EXPECT_EQ(view.problems.contains("[Watch] OnStall=say 'it is refused: its ' quote is not "
                                         "closed; no command is kept."),
                  firstStart);
        ProfileFile saved(settings);
        saved.load();
        EXPECT_EQ(saved.readString("Watch", "FailureCommandRun", ""), "5000");
        // A start that ran it would have forked it by now.
        ASSERT_EQ(
            QTest::qWaitFor([&] { return view.status.endsWith("exit status 0: told"); }, 2000),
            firstStart);
        session.Form_Unload({});
        if (!firstStart)
            break;
        QFile args(tell + ".args"), variables(tell + ".env");
        ASSERT_TRUE(args.open(QIODevice::ReadOnly) && variables.open(QIODevice::ReadOnly));
        EXPECT_EQ(args.readAll(), "rig 7|N_f|");
        const QByteArray all = variables.readAll();
        for (const char* line :
             {"CYCLO_AMPLITUDE=1.75\n", "CYCLO_COUNT=5123\n", "CYCLO_CRITERION=amplitude\n",
              "CYCLO_EVENT=failure\n", "CYCLO_NF=5000\n", "CYCLO_REF_VALLEY=-2\n",
              "CYCLO_RIG=program\n", "CYCLO_TEXT=The specimen failed at N_f = 5000: "})
            EXPECT_TRUE(all.contains(line)) << line << "\n" << all.toStdString();
    }
}

} // namespace
