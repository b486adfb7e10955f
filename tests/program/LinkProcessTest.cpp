// The real program with its link on a private bus, driven by the real
// command-line client: reading, watching and setting the count, conversations
// that end with their client, and every way a client can end the program.
#include "platform/ProfileFile.h"
#include "support/PrivateBus.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

namespace {
const QString LinkName = QStringLiteral("LinkProcessTest");

class LinkProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"program", "tmp", "config"})
            ASSERT_TRUE(QDir(m_dir.path()).mkpath(name));
        QFile settings(settingsPath());
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        // A hysteresis beyond the signal counts nothing, so the counts the
        // tests set are the only ones.
        settings.write("[HARDWARE]\nA/D-Converter=Dummy A/D\n[Cyclomarkator]\nValue=41\n"
                       "[Trigger]\nHysterese=100\n");
        settings.close();
        ASSERT_TRUE(m_bus.start()) << m_bus.error.toStdString();
        busAddress = m_bus.address();
    }
    QString settingsPath() const { return m_dir.filePath("program/Cyclomarkator.INI"); }
    QString saved(const char* section, const char* key) const {
        ProfileFile file(settingsPath());
        file.load();
        return file.readString(QLatin1String(section), QLatin1String(key), "<missing>");
    }
    QProcessEnvironment environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", m_dir.filePath("tmp"));
        environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        environment.remove("XDG_RUNTIME_DIR");
        environment.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        return environment;
    }
    void startProgram(QProcess& program, bool headless = true) {
        program.setProcessEnvironment(environment());
        QStringList arguments{"--config-dir", m_dir.filePath("program"), "--link-name", LinkName};
        if (headless)
            arguments << "--headless";
        program.start(PROGRAM_PATH, arguments);
        ASSERT_TRUE(program.waitForStarted(5000));
    }
    void startClient(QProcess& client, const QStringList& arguments) {
        client.setProcessEnvironment(environment());
        client.start(LINK_TOOL_PATH, QStringList{"--name", LinkName} + arguments);
        ASSERT_TRUE(client.waitForStarted(5000));
    }
    struct Result {
        int code = -1;
        QString out, err;
    };
    Result link(const QStringList& arguments) {
        QProcess client;
        startClient(client, arguments);
        Result result;
        EXPECT_TRUE(client.waitForFinished(15000)) << arguments.join(' ').toStdString();
        result.code = client.exitCode();
        result.out = QString::fromUtf8(client.readAllStandardOutput());
        result.err = QString::fromUtf8(client.readAllStandardError());
        return result;
    }
    // Collects stdout into `seen` until `text` appears `times` times.
    static bool waitForOutput(QProcess& process, QString& seen, const QString& text, int times = 1,
                              int ms = 15000) {
        QDeadlineTimer deadline(ms);
        while (seen.count(text) < times && !deadline.hasExpired() &&
               process.state() != QProcess::NotRunning) {
            process.waitForReadyRead(
                static_cast<int>(std::min<qint64>(deadline.remainingTime(), 200)));
            seen += QString::fromUtf8(process.readAllStandardOutput());
        }
        seen += QString::fromUtf8(process.readAllStandardOutput());
        return seen.count(text) >= times;
    }
    static void expectEnds(QProcess& process, int code) {
        ASSERT_TRUE(process.waitForFinished(15000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), code);
    }

    QString busAddress;
    const QString Idle = QStringLiteral("no conversation open");
    const QString Held = QStringLiteral("1 conversation(s) open");

private:
    QTemporaryDir m_dir;
    PrivateBus m_bus;

protected:
    QString dataPath() const { return m_dir.filePath("program/Data.dat"); }
};

// What a script does with the client: read, watch, set and refuse.
TEST_F(LinkProcessTest, ClientReadsWatchesAndSetsTheCount) {
    QProcess program;
    startProgram(program);
    QString output;
    ASSERT_TRUE(waitForOutput(program, output, Idle)) << output.toStdString();

    const Result count = link({"get", "Label_AD_get_cyclomarkator"});
    EXPECT_EQ(count.code, 0) << count.err.toStdString();
    const int32_t before = count.out.trimmed().toInt();
    EXPECT_GE(before, 41);

    QProcess watch;
    startClient(watch, {"watch", "label_ad_get_cyclomarkator"});
    QString watched;
    ASSERT_TRUE(waitForOutput(watch, watched, "Label_AD_get_cyclomarkator "))
        << watched.toStdString();
    EXPECT_EQ(link({"set-count", "1500"}).code, 0);
    EXPECT_EQ(saved("Cyclomarkator", "Value"), "1500");
    EXPECT_TRUE(waitForOutput(watch, watched, "Label_AD_get_cyclomarkator 1500\n"))
        << watched.toStdString();
    ::kill(static_cast<pid_t>(watch.processId()), SIGINT);
    expectEnds(watch, 0);

    const struct {
        QStringList arguments;
        int code;
        const char* said; // on stderr
    } refusals[] = {
        {{"get", "Label_Nope"}, 1, "no control named \"Label_Nope\""},
        {{"set-count", "abc"}, 1, "no digit"},
        {{"set-count", "--", "-3"}, 1, "never negative"},
        {{"watch", "Label_Status"}, 1, "no item the counter announces"},
        {{"--name", "Nobody", "get", "Label_Status"}, 3, "no counter is running"},
        {{"frobnicate"}, 2, "unknown command"},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.arguments.join(' ').toStdString());
        const Result result = link(refusal.arguments);
        EXPECT_EQ(result.code, refusal.code);
        EXPECT_TRUE(result.err.contains(QLatin1String(refusal.said))) << result.err.toStdString();
    }
    EXPECT_EQ(saved("Cyclomarkator", "Value"), "1500");

    EXPECT_EQ(link({"exec", "HELLO"}).code, 0);
    EXPECT_TRUE(waitForOutput(program, output, "DDE command: HELLO")) << output.toStdString();
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    expectEnds(program, 0);
}

// A client killed without closing its conversation unlocks the program, and
// a held conversation never keeps a service manager from ending it.
TEST_F(LinkProcessTest, ConversationsEndWithTheirClientAndNeverBlockTheEnd) {
    QProcess program;
    startProgram(program);
    QString output;
    ASSERT_TRUE(waitForOutput(program, output, Idle)) << output.toStdString();

    QProcess killed;
    startClient(killed, {"open"});
    ASSERT_TRUE(waitForOutput(program, output, Held)) << output.toStdString();
    ::kill(static_cast<pid_t>(killed.processId()), SIGKILL);
    ASSERT_TRUE(killed.waitForFinished(5000));
    EXPECT_TRUE(waitForOutput(program, output, Idle, 2)) << output.toStdString();

    QProcess holder;
    startClient(holder, {"open"});
    ASSERT_TRUE(waitForOutput(program, output, Held, 2)) << output.toStdString();
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    expectEnds(program, 0);
    expectEnds(holder, 3);
    EXPECT_TRUE(QString::fromUtf8(holder.readAllStandardError()).contains("has ended"));
}

// "STOP" under an open conversation ends the program at once with its count,
// settings and chart whole; afterwards no counter answers.
TEST_F(LinkProcessTest, PokedStopEndsTheProgramWithItsDataWhole) {
    QProcess program;
    startProgram(program);
    QString output;
    ASSERT_TRUE(waitForOutput(program, output, Idle)) << output.toStdString();
    QProcess holder;
    startClient(holder, {"open"});
    ASSERT_TRUE(waitForOutput(program, output, Held)) << output.toStdString();
    EXPECT_EQ(link({"set-count", "777"}).code, 0);

    EXPECT_EQ(link({"poke", "stop"}).code, 0);
    expectEnds(program, 0);
    EXPECT_EQ(saved("Cyclomarkator", "Value").toInt(), 777);
    EXPECT_EQ(QFileInfo(dataPath()).size(), 88029);
    expectEnds(holder, 3);
    EXPECT_EQ(link({"get", "Label_AD_get_cyclomarkator"}).code, 3);
}

// "UNLOAD" closes the window as "E&xit" does, although a conversation would
// keep the user from closing it.
TEST_F(LinkProcessTest, PokedUnloadClosesTheWindowInOrder) {
    QProcess program;
    startProgram(program, false);
    const QDeadlineTimer deadline(15000);
    while (link({"get", "Label_Status"}).code != 0 && !deadline.hasExpired())
        program.waitForFinished(100);
    QProcess holder;
    startClient(holder, {"open"});
    QString held;
    ASSERT_TRUE(waitForOutput(holder, held, "open")) << held.toStdString();

    EXPECT_EQ(link({"poke", "UNLOAD"}).code, 0);
    expectEnds(program, 0);
    EXPECT_NE(saved("General", "Left"), "<missing>");
    EXPECT_GE(saved("Cyclomarkator", "Value").toInt(), 41);
    expectEnds(holder, 3);
}

// Without a session bus the program counts on, says so once, and the client
// says that there is no counter to talk to.
TEST_F(LinkProcessTest, WithoutABusTheProgramRunsAndSaysSoOnce) {
    QTemporaryDir nowhere;
    busAddress = "unix:path=" + nowhere.filePath("nobody-listens");
    QProcess program;
    startProgram(program);
    QString output;
    ASSERT_TRUE(waitForOutput(program, output, "No session bus at")) << output.toStdString();
    const Result client = link({"get", "Label_AD_get_cyclomarkator"});
    EXPECT_EQ(client.code, 3);
    EXPECT_TRUE(client.err.contains("cannot reach the session bus")) << client.err.toStdString();
    EXPECT_EQ(program.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    expectEnds(program, 0);
    EXPECT_EQ(QString::fromUtf8(program.readAllStandardError()).count("No session bus"), 1);
}
} // namespace
