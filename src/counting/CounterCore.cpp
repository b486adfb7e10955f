#include "counting/CounterCore.h"

#include "adc/AdcFacade.h"
#include "adc/ExchangeFile.h"
#include "common/NumberText.h"
#include "counting/CoreView.h"
#include "counting/SettingsFile.h"
#include "counting/TriggerFile.h"
#include "platform/MillisecondClock.h"

#include <algorithm>
#include <span>

namespace {
constexpr int32_t ActivityStep = 8;
constexpr int32_t ActivityEnd = 144;
} // namespace

CounterCore::CounterCore(CountingState& state, Parts parts, QString settingsPath,
                         std::function<QTime()> timeOfDay, QLocale locale)
    : m_state(state), m_engine(state, m_tracker), m_parts(parts),
      m_settingsPath(std::move(settingsPath)), m_timeOfDay(std::move(timeOfDay)), m_locale(locale) {
    if (!m_parts.scheduler)
        m_parts.scheduler = &m_immediate;
    m_parts.exchange.onServed = [this](bool served) { m_parts.view.setActivityLineServed(served); };
}

CounterCore::~CounterCore() {
    m_parts.exchange.onServed = nullptr;
}

bool CounterCore::openTriggerFile() {
    if (!m_parts.trigger.OpenTriggerFile())
        return false;
    SignalTrigger(0);
    return true;
}

void CounterCore::takeFirstReading() {
    const float voltage = m_parts.adc.ADC_get_voltage(m_state.ADChannel);
    PrintVoltage(voltage);
    m_engine.takeFirstReading(voltage);
}

void CounterCore::showCounters() {
    SetCount(m_state.CycleCount);
    ShowMinorCount(m_state.MinorCount);
    ShowExtremaPerCycle(m_state.ExtremaPerCycle);
    ShowEvents(m_state.ExtraEvents);
    UpdateNextTrigger();
}

void CounterCore::resetCount() {
    SetCount(0);
    UpdateNextTrigger();
}

bool CounterCore::changeCount(int32_t value) {
    const CountingState before = m_state;
    m_state.CycleCount = value;
    m_state.NextTriggerCount = CountingEngine::nextTriggerCount(m_state);
    if (!SaveSettings()) {
        m_state = before;
        return false;
    }
    ShowNextTrigger(m_state.NextTriggerCount);
    SetCount(value);
    return true;
}

void CounterCore::Timer_Cyclomarkator_Timer() {
    const bool ready = m_parts.adc.ADReady != 0;
    float voltage = 0.0f;
    int32_t now = 0;
    if (ready) {
        readChannels();
        now = m_parts.clock.timeGetTime();
        voltage = m_parts.adc.ADC_get_voltage(m_state.ADChannel);
        PrintVoltage(voltage);
        stepActivityLine();
    } else {
        now = m_parts.clock.timeGetTime();
        m_parts.view.setVoltageText(QStringLiteral("no A/D"), false);
    }
    applyStep(m_engine.step(voltage, now, ready));
}

// Channels beyond the eighth have no place in the record and are not read.
void CounterCore::readChannels() {
    const int32_t channels =
        std::clamp<int32_t>(m_parts.adc.ADC_channels(), 0, static_cast<int32_t>(m_record.size()));
    for (int32_t ch = 0; ch < channels; ++ch)
        m_record[ch] = m_parts.adc.ADC_get_voltage(ch);
    m_record[0] = static_cast<float>(m_state.CycleCount);
    m_parts.exchange.ADCFile_write(m_record);
}

void CounterCore::stepActivityLine() {
    int32_t& x = m_tracker.ActivityX;
    m_parts.view.moveActivityLine(x, x + ActivityStep);
    x += ActivityStep;
    if (x > ActivityEnd)
        x = ActivityStep;
}

// The engine has changed the state already; here the change is shown,
// published and saved, and a due trigger is raised.
void CounterCore::applyStep(const StepResult& result) {
    if (result.extremumCounted) {
        if (result.cycleCompleted)
            SetCount(m_state.CycleCount);
        ShowMinorCount(m_state.MinorCount);
        SaveSettings();
    }
    if (result.nextTriggerChanged)
        ShowNextTrigger(m_state.NextTriggerCount);
    if (result.triggerDue)
        raiseTrigger(result.delayMs, result.dueCycle);
}

void CounterCore::raiseTrigger(int32_t delayMs, int32_t dueCycle) {
    if (delayMs <= 0) {
        FireTrigger(dueCycle);
        return;
    }
    m_parts.view.setTitle(QStringLiteral("Delay %1 ms...").arg(delayMs));
    m_parts.scheduler->schedule(delayMs, [this, dueCycle] { FireTrigger(dueCycle); });
}

void CounterCore::CountExtremum() {
    if (CountingEngine::countExtremum(m_state))
        SetCount(m_state.CycleCount);
    ShowMinorCount(m_state.MinorCount);
    SaveSettings();
}

void CounterCore::SetCount(int32_t value) {
    m_state.CycleCount = value;
    m_parts.view.setCountText(QString::number(value));
    // Only the first element changes, so readers always see the newest count.
    const float count = static_cast<float>(value);
    m_parts.exchange.ADCFile_write(std::span<const float>(&count, 1));
}

void CounterCore::ShowMinorCount(int32_t value) {
    m_state.MinorCount = value;
    m_parts.view.setMinorCountText(QString::number(value));
}

void CounterCore::ShowExtremaPerCycle(int32_t value) {
    m_state.ExtremaPerCycle = value;
    m_parts.view.setExtremaPerCycleText(QString::number(value));
}

void CounterCore::UpdateNextTrigger() {
    ShowNextTrigger(CountingEngine::nextTriggerCount(m_state));
}

void CounterCore::ShowNextTrigger(int32_t value) {
    m_state.NextTriggerCount = value;
    m_parts.view.setNextTriggerText(m_state.TriggerEnabled != 0 ? QString::number(value)
                                                                : QStringLiteral("Trigger off"));
}

void CounterCore::ShowEvents(int32_t value) {
    m_state.ExtraEvents = value;
    m_parts.view.setEventsText(QString::number(static_cast<int64_t>(value) + 1) + u'x');
}

// Red marks the side of the threshold on which the chosen trigger acts.
void CounterCore::PrintVoltage(float voltage) {
    const float threshold = m_state.Threshold;
    const bool actsBelow = m_state.TriggerSource == 1 || m_state.TriggerSource == 3;
    const bool red = actsBelow ? voltage < threshold : voltage > threshold;
    m_parts.view.setVoltageText(NumberText::threeDecimals(voltage, m_locale), red);
    m_parts.view.plotX(voltage);
}

void CounterCore::FireTrigger(int32_t dueCycle) {
    if (m_state.TriggerEnabled == 0)
        return;
    m_parts.view.setTriggerLabel(QString::number(dueCycle) + QStringLiteral(" T"));
    SignalTrigger(1, dueCycle);
}

bool CounterCore::SignalTrigger(int32_t flag) {
    return SignalTrigger(flag, m_state.CycleCount);
}

bool CounterCore::SignalTrigger(int32_t flag, int32_t cycle) {
    const QString message = QStringLiteral("Trigger (%1) at %2")
                                .arg(cycle)
                                .arg(m_timeOfDay().toString(QStringLiteral("HH:mm:ss")));
    // Without a flag file the trigger is still shown, without OK or ERROR.
    if (!m_parts.trigger.isOpen()) {
        m_parts.view.setTitle(message);
        m_parts.view.plotTrigger(cycle);
        return false;
    }
    if (!m_parts.trigger.writeFlag(flag)) {
        m_parts.view.setTitle(message + QStringLiteral(" ERROR"));
        return false;
    }
    m_parts.view.setTitle(message + QStringLiteral(" OK"));
    m_parts.view.plotTrigger(cycle);
    return true;
}

bool CounterCore::SaveSettings() {
    QString error;
    if (SettingsFile::SaveSettings(m_settingsPath, m_state, m_parts.adc.ADInterfaceName,
                                   m_alwaysOnTop, m_locale, &error)) {
        m_saveFailing = false;
        return true;
    }
    if (!m_saveFailing) {
        m_saveFailing = true;
        m_parts.view.reportProblem(
            QStringLiteral("The settings file %1 cannot be written (%2). The count %3 is kept "
                           "and written at the next counted extremum.")
                .arg(m_settingsPath, error)
                .arg(m_state.CycleCount));
    }
    return false;
}
