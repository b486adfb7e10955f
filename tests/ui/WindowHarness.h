#pragma once
// One run of the real main window over a real counting session, with its
// settings, temporary and config folders in a temporary directory, a clock
// the test sets (the simulated converter's sine follows it: 10 V, 20 s period,
// +10 V at 5 s and -10 V at 15 s) and scripted message boxes. Timers are
// fired by the test, never waited for.
#include "adc/LibadxDevices.h"
#include "counting/TriggerFile.h"
#include "platform/MillisecondClock.h"
#include "platform/ProfileFile.h"
#include "platform/Prompts.h"
#include "session/CounterSession.h"
#include "support/ManualClock.h"
#include "support/ScriptedPrompts.h"
#include "ui/Form_MainCyclomarkator.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

class WindowHarness {
public:
    WindowHarness() {
        for (const char* name : {"program", "temp", "config"})
            QDir().mkpath(folder(name));
    }
    // The window goes before the session it shows, and both before the folders.
    ~WindowHarness() {
        form.reset();
        session.reset();
    }

    QString folder(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    QString settingsPath() const { return folder("program") + "/Cyclomarkator.INI"; }
    void writeSettings(const QString& text) {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
    }
    // The settings file as it is on disk now.
    QString setting(const char* section, const char* key) const {
        ProfileFile file(settingsPath());
        file.load();
        return file.readString(QLatin1String(section), QLatin1String(key), "<missing>");
    }
    CounterSession& makeSession() {
        ProgramFolderChoice program;
        program.folder = folder("program");
        program.baseName = QStringLiteral("Cyclomarkator");
        session = std::make_unique<CounterSession>(
            CounterSession::Environment{program, folder("temp"), folder("config"),
                                        QStringLiteral("/opt/cyclo/Cyclomarkator")},
            prompts, clock, devices);
        session->LoadSettings();
        return *session;
    }
    // Session (settings read), window load on `screen`, then the start-up.
    Form_MainCyclomarkator& startWindow(const QRect& screen = QRect(0, 0, 1280, 800)) {
        if (!session)
            makeSession();
        form = std::make_unique<Form_MainCyclomarkator>(*session, prompts);
        form->Form_Load(screen);
        form->startUp();
        return *form;
    }
    // Closes the run as the program does, so that the next startWindow() is a new run.
    void endRun() {
        form->Form_Unload();
        form.reset();
        session.reset();
    }

    // Controls by their object names; the test fails when one is missing.
    template <typename Widget = QLabel> Widget* find(const char* name) const {
        auto* found = form->findChild<Widget*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString text(const char* name) const {
        auto* label = find(name);
        return label ? label->text() : QString();
    }
    QColor colour(const char* name, QPalette::ColorRole role = QPalette::WindowText) const {
        auto* widget = find<QWidget>(name);
        return widget ? widget->palette().color(role) : QColor();
    }
    QAction* action(const char* name) const { return find<QAction>(name); }

    // Sets the clock and runs one counting tick through the counting timer;
    // the paced readouts are then shown as when their interval is over.
    void tickAt(int32_t ms) {
        clock.set(ms);
        fire(session->countingTimer());
        showPacedReadouts();
    }
    void showPacedReadouts() {
        if (form && form->readoutThrottle().waiting())
            fire(form->readoutThrottle().lateTimer());
    }
    static void fire(QTimer& timer) {
        ASSERT_TRUE(timer.isActive()) << "a timer that is not running does not fire";
        ASSERT_TRUE(QMetaObject::invokeMethod(&timer, "timeout"));
    }
    QByteArray flagFile() const {
        QFile file(folder("temp") + u'/' + QLatin1String(TriggerFile::FileName));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    ManualClock clock{0};
    ScriptedPrompts prompts;
    NoLibadxDevices devices;
    std::unique_ptr<CounterSession> session;
    std::unique_ptr<Form_MainCyclomarkator> form;

private:
    QTemporaryDir m_dir;
};

// A settings file for the simulated converter; `extra` is appended.
inline QString dummySettings(const QString& extra = {}) {
    return QStringLiteral("[HARDWARE]\r\nA/D-Converter=Dummy A/D\r\n") + extra;
}
