#pragma once
// One run of the counting program without its window: reads the settings,
// opens the exchange and flag files, opens the configured A/D interface, runs
// the counting and test timers and the delayed triggers, carries out the menu
// actions, serves the link on the session bus, and on closing writes
// everything back in order. The main window and the headless mode both drive
// it; they only show what it reports.
#include "adc/AdcFacade.h"
#include "adc/ExchangeFile.h"
#include "counting/CounterCore.h"
#include "counting/CountingState.h"
#include "counting/TriggerFile.h"
#include "counting/WatchListener.h"
#include "devices/DeviceHosts.h"
#include "platform/ProblemSink.h"
#include "platform/ProgramFolder.h"
#include "platform/RegistryArea.h"
#include "platform/SettingsStore.h"
#include "recording/XtRecorderModel.h"
#include "session/LinkCaptions.h"
#include "session/LinkTarget.h"
#include "session/QtTriggerScheduler.h"

#include <QObject>
#include <QTimer>
#include <memory>

class LibadxDevices;
class LinkServer;
class MainView;
class MillisecondClock;
class Prompts;
class RunFollower;

// The main window's own keys in "General"; positions in twips.
struct GeneralSettings {
    double Left = 0.0;
    double Top = 0.0;
    bool AlwaysOnTop = true;
    bool ShowRecorder = false;
};

class EventCommands;

class CounterSession : public QObject, private LinkTarget, private WatchListener {
    Q_OBJECT
public:
    struct Environment {
        ProgramFolderChoice folder; // settings file and recorder data
        QString tempFolder;         // exchange and flag files
        QString configFolder;       // registry area and A/D settings export
        QString executablePath;     // for the version message
        int countingIntervalMs = 40;
    };

    // The LIBADX devices are the rig's own, configured in the settings file.
    CounterSession(Environment environment, Prompts& prompts, const MillisecondClock& clock,
                   QObject* parent = nullptr);
    // The same with other devices (tests); `devices` must outlive the session.
    CounterSession(Environment environment, Prompts& prompts, const MillisecondClock& clock,
                   LibadxDevices& devices, QObject* parent = nullptr);
    ~CounterSession() override;

    // Reads the settings file and the window's "General" keys (whose
    // "AlwaysOnTop" wins over the one in "Cyclomarkator"). False when the file
    // exists but cannot be read: the run must not start, or it would count
    // from 0 and later replace the file (settingsError() says why).
    bool LoadSettings();
    QString settingsError() const;
    const GeneralSettings& general() const { return m_general; }

    // The window's load step: the chart of the last run, the counting labels,
    // the exchange file and the flag file.
    void Form_Load(MainView& view);
    // The rest of start-up: opens the configured interface, reports one that
    // fails, colours the status line and shows the counters. Call after Form_Load.
    // A device interface that does not open is looked for again every
    // DeviceRetryMs of the clock (until it opens, the setup dialog opens or
    // the run ends); once found, it counts as if it had been there at start.
    void start();
    static constexpr int32_t DeviceRetryMs = 2000;
    bool InitADInterface(const QString& name);

    // Menu actions.
    void mnuReset_Click();
    void mnuTrigMan_Click();
    void setTestMode(bool on);
    bool testMode() const { return m_testTimer.isActive(); }
    void Combo_AD_channel_Click(int index);
    // "Always on &Top": the flag saved in both its keys at closing.
    void setAlwaysOnTop(bool on);
    // "&Setup...": counting pauses while the A/D setup dialog is open and runs
    // again after it when the converter is still ready. One given up in the
    // dialog leaves the voltage and the status line saying so.
    void pauseCountingForSetup();
    void resumeCountingAfterSetup();

    // Closing: fires waiting triggers, closes the files, releases the devices,
    // writes the settings, the window's keys and the chart. Runs once; later
    // calls do nothing.
    void Form_Unload(const GeneralSettings& window);
    bool unloaded() const { return m_unloaded; }

    const CountingState& state() const { return m_state; }
    AdcFacade& adc() { return m_adc; }
    CounterCore& core() { return *m_core; }
    SettingsStore& settings() { return m_settings; }
    QTimer& countingTimer() { return m_countingTimer; }
    QTimer& testTimer() { return m_testTimer; }
    QTimer& deviceRetryTimer() { return m_deviceRetryTimer; }
    QtTriggerScheduler& scheduler() { return m_scheduler; }
    // The X(t) recording of this run; a recorder window draws from it.
    XtRecorderModel& recorder() { return m_recorder; }
    // Where problems found while counting go (the view once it is loaded).
    ProblemSink& problems() { return m_problems; }
    const Environment& environment() const { return m_environment; }

    // start() serves the link on the bus at `busAddress` (empty: there is no
    // bus) under `serviceName`. Without this call there is no link.
    void setLink(const QString& serviceName, const QString& busAddress);
    // The link on the session bus once start() has run, else null.
    LinkServer* link() { return m_link.get(); }
    // Someone who follows the run (the broker client); set before Form_Load,
    // must outlive the session's run.
    void setFollower(RunFollower* follower) {
        m_follower = follower;
        m_captions.follower = follower;
    }
    // A count set from outside, as the link sets it: saved before it is
    // shown; false (and the count unchanged) when it could not be saved or
    // the run is over.
    bool setCountFromOutside(int32_t count) { return linkSetCount(count); }
    // Says a problem, or its end, on the status line (and stderr headless).
    void reportProblem(const QString& text);
    void reportRecovery(const QString& text);

    // "V1.2.17": the count label until the count is shown.
    static QString versionLabel();
    // The text of the "&Version" message box.
    QString versionMessage() const;

Q_SIGNALS:
    // A link client asked the program to end ("STOP" or "UNLOAD"): close as
    // "E&xit" does, open conversations notwithstanding.
    void endRequested();

private:
    CounterSession(Environment environment, Prompts& prompts, const MillisecondClock& clock,
                   LibadxDevices* devices, QObject* parent);
    void writeGeneralSettings(const GeneralSettings& window);
    QString howToChoose(const QString& configured) const;
    void showInterfaceStatus(const QString& name, const QString& choose = QString());
    void retryDevice();

    std::optional<QString> linkCaption(const QString& name) const override;
    bool linkSetCount(int32_t count) override;
    void linkSetCommandText(const QString& text) override;
    void linkShowCommand(const QString& text) override;
    void linkStop() override;
    void linkUnload() override;
    void linkStateChanged(LinkLamp lamp, bool locked, const QString& toolTip) override;
    void linkProblem(const QString& text) override;
    void linkNotice(const QString& text) override;
    // The watch's news, saved: the link's watch items and the event commands.
    void watchShown(WatchEvents events) override;

    Environment m_environment;
    Prompts& m_prompts;
    const MillisecondClock& m_clock;
    ProblemRelay m_problems;
    SettingsStore m_settings;
    RegistryArea m_registry;
    std::unique_ptr<DeviceHosts> m_hosts; // none when the devices are given
    LibadxDevices& m_devices;
    AdcFacade m_adc;
    ExchangeFile m_exchange;
    TriggerFile m_trigger;
    CountingState m_state;
    GeneralSettings m_general;
    MainView* m_view = nullptr; // the captions, which hand everything on to the real view
    LinkCaptions m_captions;
    QString m_linkServiceName;
    QString m_linkBusAddress;
    std::unique_ptr<LinkServer> m_link;
    RunFollower* m_follower = nullptr;
    QtTriggerScheduler m_scheduler;
    XtRecorderModel m_recorder;
    std::unique_ptr<CounterCore> m_core;
    std::unique_ptr<EventCommands> m_eventCommands; // goes before the core
    QTimer m_countingTimer;
    QTimer m_testTimer;
    QTimer m_deviceRetryTimer; // runs at the counting's pace; the clock paces the tries
    int32_t m_awaitedInterface = 0;
    int32_t m_lastDeviceTry = 0;
    bool m_unloaded = false;
    bool m_readyBeforeSetup = false;
};
