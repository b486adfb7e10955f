#include "WindowHarness.h"

#include "adc/ExchangeFile.h"
#include "app/TriggerFile.h"
#include "platform/ProfileFile.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QtEndian>
#include <gtest/gtest.h>

WindowHarness::WindowHarness() {
    for (const QString& folder : {programFolder(), tempFolder(), configFolder()})
        QDir().mkpath(folder);
}

// The window goes before the session it shows.
WindowHarness::~WindowHarness() {
    form.reset();
    session.reset();
}

QString WindowHarness::settingsPath() const {
    return programFolder() + QStringLiteral("/Cyclomarkator.INI");
}

void WindowHarness::writeSettings(const QString& text) {
    QFile file(settingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

QString WindowHarness::setting(const QString& section, const QString& key) const {
    ProfileFile file(settingsPath());
    file.load();
    return file.readString(section, key, QStringLiteral("<missing>"));
}

CounterSession& WindowHarness::makeSession() {
    ProgramFolderChoice folder;
    folder.folder = programFolder();
    folder.baseName = QStringLiteral("Cyclomarkator");
    session = std::make_unique<CounterSession>(
        CounterSession::Environment{folder, tempFolder(), configFolder(),
                                    QStringLiteral("/opt/cyclo/Cyclomarkator")},
        prompts, clock, devices);
    session->LoadSettings();
    return *session;
}

Form_MainCyclomarkator& WindowHarness::startWindow(const QRect& screen) {
    if (!session)
        makeSession();
    form = std::make_unique<Form_MainCyclomarkator>(*session, prompts);
    form->Form_Load(screen);
    form->startUp();
    return *form;
}

QString WindowHarness::text(const char* name) const {
    auto* label = form->findChild<QLabel*>(QLatin1String(name));
    EXPECT_NE(label, nullptr) << name;
    return label ? label->text() : QString();
}

QColor WindowHarness::colour(const char* name, QPalette::ColorRole role) const {
    auto* widget = form->findChild<QWidget*>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget ? widget->palette().color(role) : QColor();
}

QColor WindowHarness::foreground(const char* name) const {
    return colour(name, QPalette::WindowText);
}

QColor WindowHarness::background(const char* name) const {
    return colour(name, QPalette::Window);
}

QAction* WindowHarness::action(const char* name) const {
    auto* found = form->findChild<QAction*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

void WindowHarness::tickAt(int32_t ms) {
    clock.set(ms);
    fire(session->countingTimer());
}

void WindowHarness::fire(QTimer& timer) {
    ASSERT_TRUE(timer.isActive()) << "a timer that is not running does not fire";
    ASSERT_TRUE(QMetaObject::invokeMethod(&timer, "timeout"));
}

QByteArray WindowHarness::flagFile() const {
    QFile file(tempFolder() + u'/' + QLatin1String(TriggerFile::FileName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

float WindowHarness::exchangeElement(int index) const {
    QFile file(tempFolder() + u'/' + QLatin1String(ExchangeFile::FileName));
    if (!file.open(QIODevice::ReadOnly))
        return -1.0f;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < (index + 1) * 4)
        return -1.0f;
    return qFromLittleEndian<float>(bytes.constData() + index * 4);
}

QString dummySettings(const QString& extra) {
    return QStringLiteral("[HARDWARE]\r\nA/D-Converter=Dummy A/D\r\n") + extra;
}
