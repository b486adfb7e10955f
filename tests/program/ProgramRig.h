#pragma once
// The real program over folders of its own (program, tmp, config) in a
// temporary directory: its settings file, its environment, its start and end,
// and its output read as it comes.
#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"
#include "support/TestFiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

class ProgramRig : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"program", "tmp", "config"})
            ASSERT_TRUE(QDir(dir.path()).mkpath(name));
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QString settingsPath() const { return path("program/Cyclomarkator.INI"); }
    QString dataPath() const { return path("program/Data.dat"); }
    void writeFile(const QString& file, const QByteArray& bytes) {
        ASSERT_TRUE(AtomicFile::write(file, bytes));
    }
    void writeSettings(const QByteArray& text) { writeFile(settingsPath(), text); }
    int32_t saved(const char* section = "Cyclomarkator", const char* key = "Value") const {
        ProfileFile file(settingsPath());
        file.load();
        return file.readInt(QLatin1String(section), QLatin1String(key), -99);
    }
    // The link must never reach the user's own bus from a test.
    QProcessEnvironment environment(const QString& tmp = "tmp") const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", path(tmp));
        environment.insert("XDG_CONFIG_HOME", path("config"));
        environment.remove("XDG_RUNTIME_DIR");
        environment.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        return environment;
    }
    // `runAs`: setpriv's arguments and the program to run as another user.
    void start(QProcess& process, const QString& tool, const QStringList& arguments,
               const QString& tmp = "tmp", const QStringList& runAs = {}) {
        process.setProcessEnvironment(environment(tmp));
        process.start(runAs.isEmpty() ? tool : QStringLiteral("setpriv"), runAs + arguments);
        ASSERT_TRUE(process.waitForStarted(5000));
    }
    // Collects stdout into `seen` until `pattern` matches or the time is up;
    // its first match, or an empty one.
    static QRegularExpressionMatch waitFor(QProcess& process, QString& seen, const QString& pattern,
                                           int ms = 20000) {
        const QRegularExpression wanted(pattern);
        const QDeadlineTimer deadline(ms);
        while (!seen.contains(wanted) && !deadline.hasExpired() &&
               process.state() != QProcess::NotRunning) {
            process.waitForReadyRead(
                static_cast<int>(std::min<qint64>(deadline.remainingTime(), 200)));
            seen += QString::fromUtf8(process.readAllStandardOutput());
        }
        seen += QString::fromUtf8(process.readAllStandardOutput());
        return wanted.match(seen);
    }
    static void expectEnds(QProcess& process, int code) {
        ASSERT_TRUE(process.waitForFinished(15000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), code);
    }
    static void stop(QProcess& process, int signal = SIGTERM) {
        ::kill(static_cast<pid_t>(process.processId()), signal);
        expectEnds(process, 0);
    }
    static QString errorsOf(QProcess& process) {
        return QString::fromUtf8(process.readAllStandardError());
    }

    QTemporaryDir dir;
    QString busAddress = "unix:path=" + dir.filePath("no-bus");
};
