#pragma once
// The counting application without its window: the 40 ms counting tick, the
// counters and their labels, the exchange-file and settings-file writes, and
// the trigger with its flag file, title message and recorder mark. The main
// window, the headless mode and the tests drive it and show what it reports
// through CoreView. Everything it is given by reference must outlive it.
#include "counting/CountingEngine.h"
#include "counting/CountingState.h"
#include "counting/TriggerScheduler.h"

#include <QLocale>
#include <QString>
#include <QTime>
#include <array>
#include <cstdint>
#include <functional>

class AdcFacade;
class CoreView;
class ExchangeFile;
class MillisecondClock;
class TriggerFile;

// The record written to the exchange file each tick: element 0 the cycle
// count, elements 1..7 the voltages of channels 1..7.
using SampleRecord = std::array<float, 8>;

class CounterCore {
public:
    struct Parts {
        AdcFacade& adc;
        ExchangeFile& exchange;
        TriggerFile& trigger;
        const MillisecondClock& clock;
        CoreView& view;
        TriggerScheduler* scheduler = nullptr; // none: fire at once (ImmediateTriggerScheduler)
    };

    // settingsPath: the settings file written at every counted extremum.
    // timeOfDay: local time for the trigger messages. locale: decimal separator
    // of the voltage label and of the singles in the settings file.
    CounterCore(CountingState& state, Parts parts, QString settingsPath,
                std::function<QTime()> timeOfDay = &QTime::currentTime,
                QLocale locale = QLocale::system());
    ~CounterCore();
    CounterCore(const CounterCore&) = delete;
    CounterCore& operator=(const CounterCore&) = delete;

    CountingState& state() { return m_state; }
    ExtremumTracker& tracker() { return m_tracker; }
    const SampleRecord& sampleRecord() const { return m_record; }
    const QString& settingsPath() const { return m_settingsPath; }
    // The always-on-top flag (-1/0) that SaveSettings writes.
    void setAlwaysOnTop(int32_t flag) { m_alwaysOnTop = flag; }

    // Start-up: opens the flag file and clears the flag (title "Trigger (n) ... OK").
    bool openTriggerFile();
    // Start-up with a ready converter: shows the counted channel and takes its
    // side of the threshold, so the first tick does not see a false crossing.
    void takeFirstReading();
    // Start-up: count, minor count, extrema per cycle, events, next trigger.
    void showCounters();
    // "Reset": count 0 and the next trigger from 0; minor count and tracker stay.
    void resetCount();
    // A count set from outside the counting (a link client): saved with the
    // next trigger that follows from it before either is shown or published.
    // False when the settings file cannot be written; nothing changes then.
    bool changeCount(int32_t value);

    // The counting tick (every 40 ms while the converter is ready).
    void Timer_Cyclomarkator_Timer();
    // One counted extremum (also the test timer's action); writes the settings file.
    void CountExtremum();
    void SetCount(int32_t value);
    void ShowMinorCount(int32_t value);
    void ShowExtremaPerCycle(int32_t value);
    void UpdateNextTrigger();
    void ShowNextTrigger(int32_t value);
    void ShowEvents(int32_t value);
    void PrintVoltage(float voltage);

    // The automatic trigger for the cycle at which it fell due; nothing when
    // triggers are off.
    void FireTrigger(int32_t dueCycle);
    // Writes the flag, shows the title message and marks the recorder; the
    // manual trigger is SignalTrigger(1). True when the flag was written.
    bool SignalTrigger(int32_t flag);
    bool SignalTrigger(int32_t flag, int32_t cycle);

    // Writes the settings file. A failure is reported once until a save
    // succeeds again; the count stays in memory and the next save retries.
    bool SaveSettings();

private:
    void readChannels();
    void stepActivityLine();
    void applyStep(const StepResult& result);
    void raiseTrigger(int32_t delayMs, int32_t dueCycle);

    CountingState& m_state;
    ExtremumTracker m_tracker;
    CountingEngine m_engine;
    Parts m_parts;
    ImmediateTriggerScheduler m_immediate;
    QString m_settingsPath;
    std::function<QTime()> m_timeOfDay;
    QLocale m_locale;
    SampleRecord m_record{};
    int32_t m_alwaysOnTop = 0;
    bool m_saveFailing = false;
};
