#pragma once
// The counting application without its window: the 40 ms counting tick, the
// counters and their labels, the exchange-file and settings-file writes, the
// trigger with its flag file, title message and recorder mark, and the whole
// operations that the menus, the dialogs and the link apply to the counter.
// Every change of the count is saved before anything shows or publishes it.
// The main window, the headless mode and the tests drive it and show what it
// reports through CoreView. Everything it is given by reference must outlive it.
#include "counting/CoreCycleLog.h"
#include "counting/CoreWatch.h"
#include "counting/CountingEngine.h"
#include "counting/CountingState.h"
#include "counting/CycleSampling.h"
#include "counting/ScanCounting.h"
#include "counting/TriggerScheduler.h"

#include <QLocale>
#include <QString>
#include <QTime>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class AdcFacade;
class CoreView;
class ExchangeFile;
class MillisecondClock;
class SettingsStore;
class TriggerFile;
class WatchListener;
class XtRecorderModel;

// The record written to the exchange file each tick: element 0 the cycle
// count, elements 1..7 the voltages of channels 1..7.
using SampleRecord = std::array<float, 8>;

// What "OK" of the trigger dialog applies.
struct TriggerSettings {
    CountedExtrema CountMode = CountedExtrema::Maxima;
    int32_t ExtremaPerCycle = 1;
    bool TriggerEnabled = true;
    TriggerOn TriggerSource = TriggerOn::MaxVoltage;
    float Threshold = 0.0f;
    float Hysteresis = 0.2f;
    int32_t TriggerDelayMs = 0;
};

// What "OK" of the trigger profile dialog applies: rows 0..Rows-1, the
// interval above them (TriggerProfile[6].Every) and the extra events.
struct TriggerProfileSettings {
    int32_t Rows = 0;
    TriggerProfileRows TriggerProfile{};
    int32_t ExtraEvents = 0;
};

class CounterCore {
public:
    struct Parts {
        AdcFacade& adc;
        ExchangeFile& exchange;
        TriggerFile& trigger;
        XtRecorderModel& recorder;
        SettingsStore& settings;
        const MillisecondClock& clock;
        CoreView& view;
        TriggerScheduler* scheduler = nullptr; // none: fire at once (ImmediateTriggerScheduler)
    };

    // timeOfDay: local time for the trigger messages. locale: decimal
    // separator of the voltage label and of the singles in the settings file.
    CounterCore(CountingState& state, Parts parts,
                std::function<QTime()> timeOfDay = &QTime::currentTime,
                QLocale locale = QLocale::system());
    ~CounterCore();
    CounterCore(const CounterCore&) = delete;
    CounterCore& operator=(const CounterCore&) = delete;

    const CountingState& state() const { return m_state; }
    ExtremumTracker& tracker() { return m_tracker; }
    const SampleRecord& sampleRecord() const { return m_record; }
    // The always-on-top flag that SaveSettings writes.
    void setAlwaysOnTop(bool on) { m_alwaysOnTop = on; }

    // Start-up: opens the flag file and clears the flag (title "Trigger (n) ... OK").
    bool openTriggerFile();
    // Start-up with a ready converter: shows the counted channel and takes its
    // side of the threshold, so the first tick does not see a false crossing.
    void takeFirstReading();
    // Start-up: count, minor count, extrema per cycle, events, next trigger.
    void showCounters();

    // Whole operations, each saved before it is shown. A count change that
    // cannot be saved changes nothing (the store reports why) and is false.
    // "&Reset": count 0 and the next trigger from 0; minor count and tracker stay.
    bool resetCount();
    // "&Set" of the trigger dialog.
    bool setCounter(int32_t count, int32_t extremaPerCycle);
    void applyTriggerSettings(const TriggerSettings& settings);
    void applyProfile(const TriggerProfileSettings& profile);
    // The channel list: the counted channel (from 0; a negative index is ignored).
    void selectChannel(int32_t channel);
    // A count set from outside the counting (the link, the menus): saved with
    // the next trigger that follows from it before either is shown or published.
    bool changeCount(int32_t value);

    // The counting tick (every 40 ms while the converter is ready). A reading
    // the device does not answer skips the tick; the first of an episode is
    // reported as a problem, and the first answer after it as a recovery.
    // A converter with a stream hands the tick every scan that arrived since
    // the last one, each counted on its own; the tick then saves once, before
    // any of it is shown, and raises every trigger that fell due, in order.
    void Timer_Cyclomarkator_Timer();
    // Samples a counted cycle took and cycles per second, as measured lately.
    const CycleSampling& cycleSampling() const { return m_sampling; }
    // Scans of the stream lost to an overrun since the start.
    int64_t lostScans() const { return m_lostScans; }
    // One counted extremum (also the test timer's action), saved before it is shown.
    void CountExtremum();
    void UpdateNextTrigger();
    void PrintVoltage(float voltage);

    // The automatic trigger for the cycle at which it fell due; nothing when
    // triggers are off.
    void FireTrigger(int32_t dueCycle);
    // Writes the flag, shows the title message and marks the recorder; the
    // manual trigger is SignalTrigger(1). True when the flag was written.
    bool SignalTrigger(int32_t flag);
    bool SignalTrigger(int32_t flag, int32_t cycle);

    // The specimen watch, loaded from [Watch] at construction.
    const CoreWatch& watch() const { return m_watch; }
    // New watch settings and commands, saved before they are shown.
    void applyWatch(const WatchSettings& settings, const WatchCommands& commands);
    // "Take reference now" and "Clear failure" of the watch dialog, saved
    // before they are shown. False when there was nothing to do, or when the
    // save failed (the store says why): then nothing changed.
    bool takeReferenceNow();
    bool clearFailure();
    // The present test's cycle log in the program folder; empty when there is none.
    const QString& cycleLogPath() const { return m_cycleLog.path(); }
    // Told of the watch's news after it was saved; may be null; must outlive this.
    void setWatchListener(WatchListener* listener) { m_watchListener = listener; }
    // Marks the command of `event` as run and saves the mark (false when the
    // save failed; the store said why), before the caller starts it.
    bool markWatchCommand(uint32_t event);

    // Writes the settings file; a failure is reported by the store, once, and
    // the next save tries again.
    bool SaveSettings();

private:
    void SetCount(int32_t value);
    void ShowMinorCount(int32_t value);
    void ShowExtremaPerCycle(int32_t value);
    void ShowNextTrigger(int32_t value);
    void ShowEvents(int32_t value);
    std::optional<float> readSample(int32_t& now);
    bool readChannels();
    void missReading(const QString& why);
    void countingTick();
    void streamTick(ScanStream& stream);
    void takeLoss(const ScanBlock& block);
    void cycleCompleted(int64_t index, double seconds);
    void showVoltage(float voltage);
    void answeredAgain();
    QString interfaceName() const;
    void stepActivityLine();
    void showCountedExtremum(const StepResult& result);
    void raiseTrigger(int32_t delayMs, int32_t dueCycle);
    void showWatch(bool always = false);
    bool changeWatch(bool (CoreWatch::*change)());
    int64_t sampleIndex() const;

    CountingState& m_state;
    ExtremumTracker m_tracker;
    CountingEngine m_engine;
    Parts m_parts;
    ImmediateTriggerScheduler m_immediate;
    std::function<QTime()> m_timeOfDay;
    QLocale m_locale;
    SampleRecord m_record{};
    bool m_alwaysOnTop = false;
    int64_t m_missedReadings = 0; // ticks without an answer in this episode
    ScanCounting m_scanCounting{m_engine, m_tracker};
    ScanBlock m_scans;
    CycleSampling m_sampling;
    int64_t m_ticks = 0;   // one-sample ticks that took a sample
    int64_t m_clockMs = 0; // ... and the clock's time since the first, unwrapped
    uint32_t m_lastNow = 0;
    int64_t m_nextScan = -1; // the index the stream should deliver next
    int64_t m_lostScans = 0;
    bool m_losing = false; // the last tick lost scans
    CoreWatch m_watch;
    CoreCycleLog m_cycleLog;
    WatchListener* m_watchListener = nullptr;
};
