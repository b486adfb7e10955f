#include "counting/CounterCore.h"

#include "adc/AdcFacade.h"
#include "adc/ExchangeFile.h"
#include "adc/ScanStream.h"
#include "common/NumberText.h"
#include "counting/CoreView.h"
#include "counting/SettingsFile.h"
#include "counting/TriggerFile.h"
#include "counting/WatchListener.h"
#include "platform/MillisecondClock.h"
#include "platform/SettingsStore.h"
#include "recording/XtRecorderModel.h"

#include <algorithm>
#include <span>

namespace {
constexpr int32_t ActivityStep = 8;
constexpr int32_t ActivityEnd = 144;
} // namespace

CounterCore::CounterCore(CountingState& state, Parts parts, std::function<QTime()> timeOfDay,
                         QLocale locale)
    : m_state(state), m_engine(state, m_tracker), m_parts(parts), m_timeOfDay(std::move(timeOfDay)),
      m_locale(std::move(locale)),
      m_cycleLog(state, parts.adc, m_watch, parts.view, &CoreWatch::systemEpochSeconds) {
    if (!m_parts.scheduler)
        m_parts.scheduler = &m_immediate;
    m_parts.exchange.onServed = [this](bool served) { m_parts.view.setActivityLineServed(served); };
    QStringList problems;
    m_watch.load(m_parts.settings.file(), problems);
    for (const QString& problem : problems)
        m_parts.view.reportProblem(problem);
    m_cycleLog.load(m_parts.settings.path(), m_parts.settings.file());
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
    // A stream's first scan stands for the first reading.
    if (m_parts.adc.scanStream())
        return;
    const std::optional<float> voltage = m_parts.adc.readVoltage(m_state.ADChannel);
    if (!voltage) {
        missReading(m_parts.adc.readFailure());
        return;
    }
    PrintVoltage(*voltage);
    m_engine.takeFirstReading(*voltage);
}

void CounterCore::showCounters() {
    SetCount(m_state.CycleCount);
    ShowMinorCount(m_state.MinorCount);
    ShowExtremaPerCycle(m_state.ExtremaPerCycle);
    ShowEvents(m_state.ExtraEvents);
    UpdateNextTrigger();
    showWatch(true);
}

bool CounterCore::resetCount() {
    return changeCount(0);
}

bool CounterCore::setCounter(int32_t count, int32_t extremaPerCycle) {
    m_state.ExtremaPerCycle = std::max(extremaPerCycle, 1);
    ShowExtremaPerCycle(m_state.ExtremaPerCycle);
    return changeCount(count);
}

void CounterCore::applyTriggerSettings(const TriggerSettings& settings) {
    m_state.CountMode = settings.CountMode;
    m_state.ExtremaPerCycle = std::max(settings.ExtremaPerCycle, 1);
    m_state.TriggerEnabled = settings.TriggerEnabled;
    m_state.TriggerSource = settings.TriggerSource;
    m_state.Threshold = settings.Threshold;
    m_state.Hysteresis = settings.Hysteresis;
    m_state.TriggerDelayMs = std::max(settings.TriggerDelayMs, 0);
    CountingEngine::updateNextTrigger(m_state);
    SaveSettings();
    ShowExtremaPerCycle(m_state.ExtremaPerCycle);
    ShowNextTrigger(m_state.NextTriggerCount);
}

void CounterCore::applyProfile(const TriggerProfileSettings& profile) {
    m_state.ProfileRows = std::clamp(profile.Rows, 0, 6);
    for (int i = 0; i < m_state.ProfileRows; ++i)
        m_state.TriggerProfile[i] = profile.TriggerProfile[i];
    m_state.TriggerProfile[6].Every = profile.TriggerProfile[6].Every;
    m_state.ExtraEvents = std::clamp(profile.ExtraEvents, 0, 2);
    CountingEngine::updateNextTrigger(m_state);
    SaveSettings();
    ShowEvents(m_state.ExtraEvents);
    ShowNextTrigger(m_state.NextTriggerCount);
}

void CounterCore::selectChannel(int32_t channel) {
    if (channel >= 0)
        m_state.ADChannel = channel;
}

bool CounterCore::changeCount(int32_t value) {
    const CountingState before = m_state;
    const CoreWatch watchBefore = m_watch;
    m_cycleLog.begin();
    m_state.CycleCount = std::max(value, 0);
    m_state.NextTriggerCount = CountingEngine::nextTriggerCount(m_state);
    m_watch.countSet(m_state.CycleCount, sampleIndex());
    if (!SaveSettings()) {
        m_state = before;
        m_watch = watchBefore;
        return false;
    }
    // A new specimen's log is named in the settings before its rows come.
    if (m_cycleLog.countSet(m_state.CycleCount))
        SaveSettings();
    ShowNextTrigger(m_state.NextTriggerCount);
    SetCount(m_state.CycleCount);
    showWatch(true);
    return true;
}

int64_t CounterCore::sampleIndex() const {
    return m_parts.adc.scanStream() ? std::max<int64_t>(m_nextScan, 0) : m_ticks;
}

void CounterCore::applyWatch(const WatchSettings& settings, const WatchCommands& commands) {
    m_watch.setSettings(settings, commands);
    SaveSettings();
    showWatch(true);
}

bool CounterCore::takeReferenceNow() {
    return changeWatch(&CoreWatch::takeReferenceNow);
}

bool CounterCore::clearFailure() {
    if (!changeWatch(&CoreWatch::clearFailure))
        return false;
    m_cycleLog.failureCleared();
    return true;
}

// A change of the watch that cannot be saved is taken back whole, so the
// window never shows a reference or a cleared failure a restart would undo.
bool CounterCore::changeWatch(bool (CoreWatch::*change)()) {
    const CoreWatch before = m_watch;
    if (!(m_watch.*change)())
        return false;
    if (!SaveSettings()) {
        m_watch = before;
        return false;
    }
    showWatch(true);
    return true;
}

// The cycle log's rows of the tick follow its save, in one write.
void CounterCore::Timer_Cyclomarkator_Timer() {
    m_cycleLog.begin();
    countingTick();
    m_cycleLog.flush();
}

void CounterCore::countingTick() {
    const bool ready = m_parts.adc.ready();
    float voltage = 0.0f;
    int32_t now = 0;
    if (ready) {
        if (ScanStream* stream = m_parts.adc.scanStream()) {
            streamTick(*stream);
            return;
        }
        // A failed read is never a sample: nothing is tracked, counted,
        // recorded or published until the device answers again.
        const std::optional<float> sample = readSample(now);
        if (!sample) {
            missReading(m_parts.adc.readFailure());
            return;
        }
        answeredAgain();
        voltage = *sample;
        PrintVoltage(voltage);
        stepActivityLine();
    } else {
        now = m_parts.clock.timeGetTime();
        m_parts.view.setVoltageText(QStringLiteral("no A/D"), false);
    }
    if (ready) {
        // The clock wraps; its steps do not.
        m_clockMs += static_cast<uint32_t>(now) - m_lastNow;
        m_lastNow = static_cast<uint32_t>(now);
        ++m_ticks;
    }
    const double seconds = static_cast<double>(m_clockMs) / 1000.0;
    // A counted extremum is saved, then shown, before the trigger decision
    // recomputes the next trigger. The watch's news rides on the same save.
    const int32_t direction = m_tracker.Direction;
    const float extreme = m_tracker.TrackedExtreme;
    StepResult result = m_engine.countSample(voltage, ready);
    if (ready && m_tracker.Direction != direction)
        m_watch.extremum(extreme, direction > 0);
    // The sample's index from 0, as a stream numbers its scans and the
    // offline counter its samples, so the first cycle's samples agree.
    const int64_t index = m_ticks - 1;
    if (ready && result.cycleCompleted)
        m_watch.cycleCompleted(m_state.CycleCount, index, seconds);
    m_watch.tick(seconds, ready);
    if (result.extremumCounted || m_watch.pending())
        SaveSettings();
    if (result.extremumCounted)
        showCountedExtremum(result);
    showWatch();
    if (ready && result.cycleCompleted)
        cycleCompleted(index, seconds);
    m_engine.decideTrigger(voltage, now, result);
    if (result.nextTriggerChanged)
        ShowNextTrigger(m_state.NextTriggerCount);
    if (result.triggerDue)
        raiseTrigger(result.delayMs, result.dueCycle);
}

std::optional<float> CounterCore::readSample(int32_t& now) {
    m_parts.adc.beginTick(m_state.ADChannel);
    if (!readChannels())
        return std::nullopt;
    now = m_parts.clock.timeGetTime();
    return m_parts.adc.readVoltage(m_state.ADChannel);
}

// Channels beyond the eighth have no place in the record and are not read.
// The record is published only when every channel answered, so readers of
// the exchange file keep the last whole record while the device is silent.
bool CounterCore::readChannels() {
    const int32_t channels =
        std::clamp<int32_t>(m_parts.adc.ADC_channels(), 0, static_cast<int32_t>(m_record.size()));
    SampleRecord record = m_record;
    for (int32_t ch = 0; ch < channels; ++ch) {
        const std::optional<float> voltage = m_parts.adc.readVoltage(ch);
        if (!voltage)
            return false;
        record[ch] = *voltage;
    }
    record[0] = static_cast<float>(m_state.CycleCount);
    m_record = record;
    m_parts.exchange.ADCFile_write(m_record);
    return true;
}

// Every scan that arrived since the last tick is counted on its own, on the
// converter's clock. Then, once for the tick: a durable save of what was
// counted, before the labels, the exchange file, the chart or the triggers
// show any of it; the triggers in the order they fell due.
void CounterCore::streamTick(ScanStream& stream) {
    const double rate = stream.rate();
    try {
        // A late tick takes what waited, up to a few seconds of scans.
        stream.takeScans(m_scans, std::max<int64_t>(4096, static_cast<int64_t>(rate * 4.0)));
    } catch (const std::exception& failure) {
        missReading(QString::fromUtf8(failure.what()));
        return;
    }
    if (m_scans.scans() == 0)
        return;
    if (m_state.ADChannel >= m_scans.channels) {
        missReading(QStringLiteral("the counted channel %1 is not among the %2 channels of the "
                                   "stream")
                        .arg(m_state.ADChannel + 1)
                        .arg(m_scans.channels));
        return;
    }
    answeredAgain();
    takeLoss(m_scans);
    const ScanTickResult result = m_scanCounting.run(
        m_scans, m_state.ADChannel, rate,
        [this, rate](int64_t index) {
            const double seconds = static_cast<double>(index) / rate;
            m_watch.cycleCompleted(m_state.CycleCount, index, seconds);
            cycleCompleted(index, seconds);
        },
        [this](float extreme, bool maximum) { m_watch.extremum(extreme, maximum); });
    m_watch.tick(static_cast<double>(result.lastIndex) / rate, true);
    if (result.extremaCounted > 0 || m_watch.pending())
        SaveSettings();
    if (result.extremaCounted > 0) {
        StepResult shown;
        shown.cycleCompleted = result.cycleCompleted;
        showCountedExtremum(shown);
    }
    showWatch();
    if (result.nextTriggerChanged)
        ShowNextTrigger(m_state.NextTriggerCount);
    SampleRecord record = m_record;
    const int64_t last = m_scans.scans() - 1;
    for (int32_t ch = 0; ch < std::min<int32_t>(m_scans.channels, 8); ++ch)
        record[static_cast<size_t>(ch)] = m_scans.value(last, ch);
    record[0] = static_cast<float>(m_state.CycleCount);
    m_record = record;
    m_parts.exchange.ADCFile_write(m_record);
    showVoltage(result.last);
    // The chart keeps the band of the tick, so a fast signal is drawn as its
    // envelope instead of aliasing into a slow wave.
    m_parts.recorder.PlotX(result.first);
    if (result.second != result.first)
        m_parts.recorder.PlotX(result.second);
    stepActivityLine();
    for (const DueTrigger& trigger : result.triggers)
        raiseTrigger(ScanCounting::remainingDelay(trigger, result.lastIndex, rate),
                     trigger.dueCycle);
}

// Scans the converter delivered but nobody read are never invented: the count
// goes on from the next scan, and the loss is said once an episode.
void CounterCore::takeLoss(const ScanBlock& block) {
    int64_t lost = block.lost;
    if (m_nextScan >= 0 && block.firstIndex > m_nextScan)
        lost = std::max(lost, block.firstIndex - m_nextScan);
    m_nextScan = block.firstIndex + block.scans();
    if (lost <= 0) {
        m_losing = false;
        return;
    }
    m_lostScans += lost;
    m_sampling.restart();
    if (m_losing)
        return;
    m_losing = true;
    m_parts.view.reportProblem(QStringLiteral("%1 scans of the stream were lost (a buffer ran "
                                              "over); counting goes on from the next scan.")
                                   .arg(lost));
}

// As the status line names it at start-up.
QString CounterCore::interfaceName() const {
    return m_parts.adc.ADC_catalogue_name(m_parts.adc.interfaceNumber());
}

// Told once when an episode starts; the tick keeps trying at its pace.
void CounterCore::missReading(const QString& why) {
    m_watch.tick(0.0, false);
    if (m_missedReadings++ > 0)
        return;
    m_parts.view.setVoltageText(QStringLiteral("-----"), false);
    m_parts.view.reportProblem(QStringLiteral("%1 does not answer: %2. Counting waits and goes on "
                                              "by itself when it answers again.")
                                   .arg(interfaceName(), why));
    // The cycle around the silence is not a measure of the rate.
    m_sampling.restart();
}

void CounterCore::cycleCompleted(int64_t index, double seconds) {
    m_cycleLog.cycle(m_watch.lastCycle());
    const std::optional<CycleSampling::Change> change = m_sampling.cycleCompleted(index, seconds);
    if (change && change->tooFew)
        m_parts.view.reportProblem(change->text);
    else if (change)
        m_parts.view.reportRecovery(change->text);
}

void CounterCore::answeredAgain() {
    if (m_missedReadings == 0)
        return;
    m_parts.view.reportRecovery(
        QStringLiteral("%1 answers again after %2 missed readings; counting goes on.")
            .arg(interfaceName())
            .arg(m_missedReadings));
    m_missedReadings = 0;
}

void CounterCore::stepActivityLine() {
    int32_t& x = m_tracker.ActivityX;
    m_parts.view.moveActivityLine(x, x + ActivityStep);
    x += ActivityStep;
    if (x > ActivityEnd)
        x = ActivityStep;
}

void CounterCore::showCountedExtremum(const StepResult& result) {
    if (result.cycleCompleted)
        SetCount(m_state.CycleCount);
    ShowMinorCount(m_state.MinorCount);
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
    StepResult result;
    result.extremumCounted = true;
    result.cycleCompleted = CountingEngine::countExtremum(m_state);
    SaveSettings();
    showCountedExtremum(result);
}

// Shows and publishes a count that is already saved. Only the first element
// of the exchange file changes, so readers always see the newest count.
void CounterCore::SetCount(int32_t value) {
    m_state.CycleCount = value;
    m_parts.view.setCountText(QString::number(value));
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
    m_parts.view.setNextTriggerText(m_state.TriggerEnabled ? QString::number(value)
                                                           : QStringLiteral("Trigger off"));
}

void CounterCore::ShowEvents(int32_t value) {
    m_state.ExtraEvents = value;
    m_parts.view.setEventsText(QString::number(static_cast<int64_t>(value) + 1) + u'x');
}

// Red marks the side of the threshold on which the chosen trigger acts; the
// recording takes every sample.
void CounterCore::PrintVoltage(float voltage) {
    showVoltage(voltage);
    m_parts.recorder.PlotX(voltage);
}

void CounterCore::showVoltage(float voltage) {
    const float threshold = m_state.Threshold;
    const bool actsBelow = m_state.TriggerSource == TriggerOn::MinVoltage ||
                           m_state.TriggerSource == TriggerOn::FallingThroughThreshold;
    const bool red = actsBelow ? voltage < threshold : voltage > threshold;
    m_parts.view.setVoltageText(NumberText::threeDecimals(voltage, m_locale), red);
}

void CounterCore::FireTrigger(int32_t dueCycle) {
    if (!m_state.TriggerEnabled)
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
    const bool wasOpen = m_parts.trigger.isOpen();
    if (!m_parts.trigger.writeFlag(flag)) {
        // Without a flag file the trigger is still shown, without OK or ERROR.
        if (!wasOpen) {
            m_parts.view.setTitle(message);
            m_parts.recorder.PlotTrigger(cycle);
            return false;
        }
        m_parts.view.setTitle(message + QStringLiteral(" ERROR"));
        return false;
    }
    m_parts.view.setTitle(message + QStringLiteral(" OK"));
    m_parts.recorder.PlotTrigger(cycle);
    return true;
}

bool CounterCore::SaveSettings() {
    return m_parts.settings.save([this](ProfileFile& file) {
        SettingsFile::writeSettings(file, m_state, m_parts.adc.interfaceName(), m_alwaysOnTop,
                                    m_locale);
        SettingsFile::writeDevice(file, m_parts.adc.deviceAddress());
        m_watch.write(file, m_locale);
        m_cycleLog.write(file);
    });
}

void CounterCore::showWatch(bool always) {
    const WatchEvents events = m_watch.show(m_parts.view, m_parts.recorder, always);
    if (m_watchListener && (always || events.any()))
        m_watchListener->watchShown(events);
}

bool CounterCore::markWatchCommand(uint32_t event) {
    m_watch.markCommand(event);
    return SaveSettings();
}
