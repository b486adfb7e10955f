// Runs the real program headless in private folders and checks what a lab
// relies on: one copy at a time, no count lost on SIGTERM, a restart resumes.
#include "platform/ProfileFile.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <csignal>

namespace {
class ProgramProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"program", "tmp", "config"})
            ASSERT_TRUE(QDir(m_dir.path()).mkpath(name));
    }
    QString settingsPath() const { return m_dir.filePath("program/Cyclomarkator.INI"); }
    void writeSettings(const QByteArray& text) {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    void start(QProcess& process) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", m_dir.filePath("tmp"));
        environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        environment.remove("XDG_RUNTIME_DIR");
        // The link must never reach the user's own bus from a test.
        environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_dir.filePath("no-bus"));
        process.setProcessEnvironment(environment);
        process.start(PROGRAM_PATH, {"--headless", "--config-dir", m_dir.filePath("program")});
        ASSERT_TRUE(process.waitForStarted(5000));
    }
    // Collects stdout into `seen` until `text` appears or the time runs out.
    static bool waitForOutput(QProcess& process, QString& seen, const QString& text, int ms) {
        QDeadlineTimer deadline(ms);
        while (!seen.contains(text) && !deadline.hasExpired() &&
               process.state() != QProcess::NotRunning) {
            process.waitForReadyRead(
                static_cast<int>(std::min<qint64>(deadline.remainingTime(), 500)));
            seen += QString::fromUtf8(process.readAllStandardOutput());
        }
        return seen.contains(text);
    }
    int32_t saved(const char* section, const char* key) const {
        ProfileFile file(settingsPath());
        file.load();
        return file.readInt(QLatin1String(section), QLatin1String(key), -99);
    }
    // Ends `process` by `signal`; it must shut down in order.
    static void stop(QProcess& process, int signal) {
        ::kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
    }

    QTemporaryDir m_dir;
};
} // namespace

// A count lost on SIGTERM, an exchange file left without the count, or a
// restart that does not resume from the saved count. Minima below 10 V all
// count, so the first one comes within one sine period.
TEST_F(ProgramProcessTest, CountsHeadlessKeepsTheCountThroughSigtermAndResumes) {
    writeSettings("[HARDWARE]\nA/D-Converter=Dummy A/D\n[Cyclomarkator]\nValue=41\nCountMode=1\n"
                  "[Trigger]\nADthreshold=10\nHysterese=0.2\n");
    QProcess first;
    start(first);
    QString output;
    ASSERT_TRUE(waitForOutput(first, output, "Status: Dummy A/D", 10000)) << output.toStdString();
    ASSERT_TRUE(waitForOutput(first, output, "Count 42", 30000)) << output.toStdString();
    stop(first, SIGTERM);
    const int32_t reached = saved("Cyclomarkator", "Value");
    EXPECT_GE(reached, 42);
    EXPECT_EQ(saved("General", "AlwaysOnTop"), -1);
    QFile exchange(m_dir.filePath("tmp/~ADC.txt"));
    ASSERT_TRUE(exchange.open(QIODevice::ReadOnly));
    const QByteArray bytes = exchange.readAll();
    ASSERT_EQ(bytes.size(), 32);
    EXPECT_GE(qFromLittleEndian<float>(bytes.constData()), 42.0f);

    // The restart shows the count reached before anything new is counted.
    QProcess second;
    start(second);
    QString resumed;
    EXPECT_TRUE(waitForOutput(second, resumed, QStringLiteral("Count %1 ").arg(reached), 10000))
        << resumed.toStdString();
    stop(second, SIGINT);
    EXPECT_GE(saved("Cyclomarkator", "Value"), reached);
}

// Two copies would count the same machine twice into one settings file.
TEST_F(ProgramProcessTest, ASecondCopyIsRefused) {
    writeSettings("[HARDWARE]\nA/D-Converter=Dummy A/D\n");
    QProcess first, second;
    start(first);
    QString output;
    ASSERT_TRUE(waitForOutput(first, output, "Status: Dummy A/D", 10000)) << output.toStdString();
    start(second);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(second.readAllStandardError())
                    .contains("Cyclomarkator: Cyclomarkator is already running!"));
    EXPECT_EQ(first.state(), QProcess::Running);
    stop(first, SIGTERM);
}

// A mistyped option must stop with code 2 and say why, not start counting.
TEST_F(ProgramProcessTest, BadArgumentsAndHelp) {
    QProcess bad, help;
    bad.start(PROGRAM_PATH, {"--frobnicate"});
    help.start(PROGRAM_PATH, {"--help"});
    ASSERT_TRUE(bad.waitForFinished(5000) && help.waitForFinished(5000));
    EXPECT_EQ(bad.exitCode(), 2);
    EXPECT_TRUE(QString::fromUtf8(bad.readAllStandardError()).contains("Unknown argument"));
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(help.readAllStandardOutput()).contains("--headless"));
}
