// Runs the real program headless in private folders and checks what a lab
// relies on: one copy at a time, no count lost on SIGTERM, a restart resumes.
#include "platform/ProfileFile.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

namespace {
class ProgramProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkpath("program");
        QDir(m_dir.path()).mkpath("tmp");
        QDir(m_dir.path()).mkpath("config");
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
        process.setProcessEnvironment(environment);
        process.start(PROGRAM_PATH, {"--headless", "--config-dir", m_dir.filePath("program")});
        ASSERT_TRUE(process.waitForStarted(5000));
    }

    // Collects stdout until `text` appears or the time runs out.
    static bool waitForOutput(QProcess& process, QString& seen, const QString& text, int ms) {
        QDeadlineTimer deadline(ms);
        while (!seen.contains(text) && !deadline.hasExpired()) {
            process.waitForReadyRead(
                static_cast<int>(std::min<qint64>(deadline.remainingTime(), 500)));
            seen += QString::fromUtf8(process.readAllStandardOutput());
            if (process.state() == QProcess::NotRunning)
                break;
        }
        return seen.contains(text);
    }

    int32_t savedCount() const {
        ProfileFile file(settingsPath());
        file.load();
        return file.readInt("Cyclomarkator", "Value", -1);
    }

    QTemporaryDir m_dir;
};

// Minima below 10 V all count, so the first one comes within one sine period.
const QByteArray CountingSettings = "[HARDWARE]\nA/D-Converter=Dummy A/D\n"
                                    "[Cyclomarkator]\nValue=41\nCountMode=1\n"
                                    "[Trigger]\nADthreshold=10\nHysterese=0.2\n";
} // namespace

TEST_F(ProgramProcessTest, CountsTheSimulatedDeviceAndKeepsTheCountThroughSigterm) {
    writeSettings(CountingSettings);
    QProcess first;
    start(first);
    QString output;
    ASSERT_TRUE(waitForOutput(first, output, "Status: Dummy A/D", 10000)) << output.toStdString();
    ASSERT_TRUE(waitForOutput(first, output, "Count 42", 30000)) << output.toStdString();

    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_GE(savedCount(), 42);
    ProfileFile file(settingsPath());
    file.load();
    EXPECT_EQ(file.readInt("General", "AlwaysOnTop", 5), -1);

    // The exchange file holds the count in its first four bytes.
    QFile exchange(m_dir.filePath("tmp/~ADC.txt"));
    ASSERT_TRUE(exchange.open(QIODevice::ReadOnly));
    const QByteArray bytes = exchange.readAll();
    ASSERT_EQ(bytes.size(), 32);
    float count = 0.0f;
    std::memcpy(&count, bytes.constData(), 4);
    EXPECT_GE(count, 42.0f);

    // A restart shows the count reached, before anything new is counted.
    const int32_t reached = savedCount();
    QProcess second;
    start(second);
    QString resumed;
    EXPECT_TRUE(waitForOutput(second, resumed, QStringLiteral("Count %1 ").arg(reached), 10000))
        << resumed.toStdString();
    ::kill(static_cast<pid_t>(second.processId()), SIGINT);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_GE(savedCount(), reached);
}

TEST_F(ProgramProcessTest, ASecondCopyIsRefused) {
    writeSettings("[HARDWARE]\nA/D-Converter=Dummy A/D\n");
    QProcess first;
    start(first);
    QString output;
    ASSERT_TRUE(waitForOutput(first, output, "Status: Dummy A/D", 10000)) << output.toStdString();

    QProcess second;
    start(second);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(second.readAllStandardError())
                    .contains("Cyclomarkator: Cyclomarkator is already running!"));
    EXPECT_EQ(first.state(), QProcess::Running);

    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitCode(), 0);
}

TEST_F(ProgramProcessTest, BadArgumentsAndHelp) {
    QProcess bad;
    bad.start(PROGRAM_PATH, {"--frobnicate"});
    ASSERT_TRUE(bad.waitForFinished(5000));
    EXPECT_EQ(bad.exitCode(), 2);
    EXPECT_TRUE(QString::fromUtf8(bad.readAllStandardError()).contains("Unknown argument"));

    QProcess help;
    help.start(PROGRAM_PATH, {"--help"});
    ASSERT_TRUE(help.waitForFinished(5000));
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(help.readAllStandardOutput()).contains("--headless"));
}
