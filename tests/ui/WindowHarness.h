#pragma once
// The main window over its real session for widget tests.
#include "adc/LibadxDevices.h"
#include "counting/TriggerFile.h"
#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"
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

// One run of the real main window over a real counting session, with its
// settings, temporary and config folders in a temporary directory, a clock
// the test sets (the simulated converter's sine follows it: 10 V, 20 s period,
// +10 V at 5 s and -10 V at 15 s) and scripted message boxes. Timers are
// fired by the test, never waited for.
class WindowHarness {
    QTemporaryDir m_dir; // first, so that the folders outlive everything below

public:
    WindowHarness() {
        for (const char* name : {"program", "temp", "config"})
            QDir().mkpath(folder(name));
    }

    QString folder(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    void writeSettings(const QString& text) {
        ASSERT_TRUE(AtomicFile::write(folder("program") + "/Cyclomarkator.INI", text.toUtf8()));
    }
    // Keys of the settings file as they are on disk now, each "Section/Key".
    QStringList settings(const QStringList& keys) const {
        ProfileFile file(folder("program") + "/Cyclomarkator.INI");
        file.load();
        QStringList values;
        for (const QString& key : keys)
            values << file.readString(key.section(u'/', 0, 0), key.section(u'/', 1), "<missing>");
        return values;
    }
    CounterSession& makeSession() {
        const ProgramFolderChoice program{folder("program"), "Cyclomarkator", {}, false, {}};
        session = std::make_unique<CounterSession>(
            CounterSession::Environment{program, folder("temp"), folder("config"), "/opt/cyclo"},
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
    QString text(const char* name) const { return find(name)->text(); }
    QColor colour(const char* name, QPalette::ColorRole role = QPalette::WindowText) const {
        return find<QWidget>(name)->palette().color(role);
    }
    QAction* action(const char* name) const { return find<QAction>(name); }

    // Sets the clock and runs one counting tick.
    void tickAt(int32_t ms) {
        clock.set(ms);
        fire(session->countingTimer());
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
    std::unique_ptr<Form_MainCyclomarkator> form; // goes before the session it shows
};

// Where the simulated converter's sine is at its top (+10 V) and bottom (-10 V).
constexpr int32_t Top = 5000;
constexpr int32_t Bottom = 15000;

// A settings file for the simulated converter; `extra` is appended.
inline QString dummySettings(const QString& extra = {}) {
    return QStringLiteral("[HARDWARE]\nA/D-Converter=Dummy A/D\n") + extra;
}
