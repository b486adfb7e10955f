#pragma once
// One run of the real main window over a real counting session, with its
// settings, temporary and config folders in a temporary directory, a clock
// the test sets (the simulated converter's sine follows it) and scripted
// message boxes. Timers are fired by the test, never waited for.
#include "adc/LibadxDevices.h"
#include "app/CounterSession.h"
#include "app/Form_MainCyclomarkator.h"
#include "platform/MillisecondClock.h"
#include "platform/Prompts.h"

#include <QColor>
#include <QPalette>
#include <QRect>
#include <QTemporaryDir>
#include <memory>

class QAction;
class QTimer;

class WindowHarness {
public:
    static constexpr const char* DummyAD = "Dummy A/D";

    WindowHarness();
    ~WindowHarness();

    QString programFolder() const { return m_dir.filePath(QStringLiteral("program")); }
    QString tempFolder() const { return m_dir.filePath(QStringLiteral("temp")); }
    QString configFolder() const { return m_dir.filePath(QStringLiteral("config")); }
    QString settingsPath() const;

    void writeSettings(const QString& text);
    // Reads the settings file as it is on disk now.
    QString setting(const QString& section, const QString& key) const;

    CounterSession& makeSession();
    // Session (settings read), window load on `screen`, then the start-up.
    Form_MainCyclomarkator& startWindow(const QRect& screen = QRect(0, 0, 1280, 800));

    // Controls by their object names; the test fails when one is missing.
    QString text(const char* name) const;
    QColor foreground(const char* name) const;
    QColor background(const char* name) const;
    QAction* action(const char* name) const;

    // Sets the clock and runs one counting tick through the counting timer.
    void tickAt(int32_t ms);
    static void fire(QTimer& timer);

    QByteArray flagFile() const;
    float exchangeElement(int index) const;

    ManualClock clock{0};
    ScriptedPrompts prompts;
    NoLibadxDevices devices;
    std::unique_ptr<CounterSession> session;
    std::unique_ptr<Form_MainCyclomarkator> form;

private:
    QColor colour(const char* name, QPalette::ColorRole role) const;
    QTemporaryDir m_dir;
};

// A settings file for the simulated converter; `extra` is appended.
QString dummySettings(const QString& extra = {});
