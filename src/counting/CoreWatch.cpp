#include "counting/CoreWatch.h"

#include "common/ProfileReader.h"
#include "counting/CoreView.h"
#include "platform/ProfileFile.h"
#include "recording/XtRecorderModel.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace {
QString volts(float value) {
    return QString::number(value, 'g', 4) + QStringLiteral(" V");
}

QString timeOfDay(double epochSeconds) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(epochSeconds * 1000.0))
        .toLocalTime()
        .toString(QStringLiteral("HH:mm:ss"));
}
} // namespace

CoreWatch::CoreWatch(std::function<double()> epochSeconds)
    : m_epochSeconds(std::move(epochSeconds)) {}

double CoreWatch::systemEpochSeconds() {
    return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

void CoreWatch::load(const ProfileReader& file, QStringList& problems) {
    const WatchFileContents contents = WatchSettingsFile::load(file, problems);
    m_watch.setSettings(contents.settings);
    m_watch.restore(contents.reference, contents.failure);
    m_commands = contents.commands;
    m_marks = contents.marks;
}

void CoreWatch::write(ProfileFile& file, const QLocale& locale) const {
    const WatchState& state = m_watch.state();
    WatchSettingsFile::write(
        file, {m_watch.settings(), state.reference, state.failure, m_commands, m_marks}, locale);
}

double CoreWatch::epoch(double runSeconds) {
    if (!m_anchored) {
        m_anchored = true;
        m_offset = m_epochSeconds() - runSeconds;
    }
    return m_offset + runSeconds;
}

void CoreWatch::cycleCompleted(int32_t number, int64_t sampleIndex, double runSeconds) {
    note(m_watch.cycle(m_recorder.cycleCompleted(number, sampleIndex, epoch(runSeconds))));
}

void CoreWatch::tick(double runSeconds, bool answering) {
    note(m_watch.tick(answering ? epoch(runSeconds) : 0.0, answering));
}

// An event without a command is marked with the save that keeps it.
void CoreWatch::note(WatchEvents events) {
    m_events.bits |= events.bits;
    for (const uint32_t event :
         {uint32_t(WatchEvents::FailureConfirmed), uint32_t(WatchEvents::StallBegun)}) {
        const QString& command =
            event == WatchEvents::FailureConfirmed ? m_commands.onFailure : m_commands.onStall;
        if (events.has(event) && command.isEmpty())
            markCommand(event);
    }
}

bool CoreWatch::commandDue(uint32_t event) const {
    const WatchState& s = m_watch.state();
    if (event == WatchEvents::FailureConfirmed)
        return s.failure.failed && !m_commands.onFailure.isEmpty() &&
               m_marks.failureRun != s.failure.cycle;
    if (event == WatchEvents::StallBegun)
        return s.stall.stalled && !m_commands.onStall.isEmpty() &&
               m_marks.stallRun != s.stall.sinceSeconds;
    return false;
}

void CoreWatch::markCommand(uint32_t event) {
    const WatchState& s = m_watch.state();
    if (event == WatchEvents::FailureConfirmed && s.failure.failed)
        m_marks.failureRun = s.failure.cycle;
    else if (event == WatchEvents::StallBegun && s.stall.stalled)
        m_marks.stallRun = s.stall.sinceSeconds;
}

void CoreWatch::countSet(int32_t count, int64_t sampleIndex) {
    const WatchReference before = m_watch.state().reference;
    m_recorder.restart(sampleIndex);
    const WatchEvents events = m_watch.countSet(count);
    if (events.has(WatchEvents::ReferenceForgotten)) {
        m_forgottenFrom = before.fromCycle;
        m_forgottenTo = before.toCycle;
        m_forgottenAt = count;
    }
    m_events.bits |= events.bits;
}

void CoreWatch::setSettings(const WatchSettings& settings, const WatchCommands& commands) {
    m_watch.setSettings(settings);
    m_commands = commands;
}

bool CoreWatch::takeReferenceNow() {
    const WatchEvents events = m_watch.takeReferenceNow(m_epochSeconds());
    m_events.bits |= events.bits;
    return events.has(WatchEvents::ReferenceTaken);
}

bool CoreWatch::clearFailure() {
    if (!m_watch.state().failure.failed)
        return false;
    m_watch.clearFailure();
    return true;
}

WatchEvents CoreWatch::takeEvents() {
    const WatchEvents events = m_events;
    m_events = {};
    return events;
}

QString CoreWatch::eventText(uint32_t event) const {
    const WatchState& s = m_watch.state();
    switch (event) {
    case WatchEvents::FailureConfirmed: {
        const WatchFailure& f = s.failure;
        const WatchReference& r = s.reference;
        const double band = r.amplitude * m_watch.settings().bandPercent / 100.0;
        QString what;
        if (f.criterion == WatchCriterion::Amplitude)
            what = QStringLiteral("its amplitude %1 fell below %2 % of the reference %3")
                       .arg(volts(f.amplitude))
                       .arg(100.0 - m_watch.settings().amplitudeDropPercent)
                       .arg(volts(r.amplitude));
        else
            what = QStringLiteral("its %1 %2 left the reference %3 ± %4")
                       .arg(QLatin1String(criterionName(f.criterion)))
                       .arg(volts(f.criterion == WatchCriterion::Peak ? f.peak : f.valley))
                       .arg(volts(f.criterion == WatchCriterion::Peak ? r.peak : r.valley))
                       .arg(volts(static_cast<float>(band)));
        return QStringLiteral("The specimen failed at N_f = %1: %2 (confirmed at cycle %3). "
                              "Counting goes on.")
            .arg(f.cycle)
            .arg(what)
            .arg(f.confirmedCycle);
    }
    case WatchEvents::StallBegun:
        return QStringLiteral("No cycle counted for %1 s since %2 (last cycle %3) while the "
                              "device answers: the machine may have stopped.")
            .arg(std::round(s.stall.limitSeconds))
            .arg(timeOfDay(s.stall.sinceSeconds))
            .arg(s.stall.lastCycle);
    case WatchEvents::StallEnded:
        return QStringLiteral("Cycles are counted again (cycle %1) after the stall since %2.")
            .arg(m_recorder.last().number)
            .arg(timeOfDay(s.stall.sinceSeconds));
    case WatchEvents::ReferenceForgotten:
        return QStringLiteral("The count was set to %1, below the watch's reference (cycles %2 to "
                              "%3): the reference is forgotten and a new one is taken.")
            .arg(m_forgottenAt)
            .arg(m_forgottenFrom)
            .arg(m_forgottenTo);
    default:
        return {};
    }
}

// The largest departure of the last cycle from the reference, in % of the
// reference amplitude (the scale of the band).
double CoreWatch::departurePercent() const {
    const WatchReference& r = m_watch.state().reference;
    const CycleRecord& c = m_recorder.last();
    if (!c.complete || c.number <= r.toCycle || !(r.amplitude > 0))
        return 0;
    const double worst =
        std::max({std::fabs(double(c.amplitude) - r.amplitude), std::fabs(double(c.peak) - r.peak),
                  std::fabs(double(c.valley) - r.valley)});
    return worst / r.amplitude * 100.0;
}

QString CoreWatch::stateText() const {
    const WatchState& s = m_watch.state();
    if (s.failure.failed)
        return QStringLiteral("FAILED at N_f %1").arg(s.failure.cycle);
    if (!m_watch.settings().armed)
        return QStringLiteral("off");
    if (s.stall.stalled)
        return QStringLiteral("stalled since %1").arg(timeOfDay(s.stall.sinceSeconds));
    if (s.reference.taken)
        return QStringLiteral("watching ±%1 %").arg(departurePercent(), 0, 'f', 1);
    const int32_t progress = m_watch.referenceProgress();
    if (progress > 0)
        return QStringLiteral("taking reference %1/%2")
            .arg(progress)
            .arg(m_watch.settings().referenceCycles);
    return QStringLiteral("armed");
}

// The watch's news, once saved: a failure and a stall are problems (red), the
// end of a stall a recovery (green), each with a title and a mark on the chart;
// the one-line state when it changed. Events that were not saved (the save
// reports its own problem) are shown anyway, like the count.
WatchEvents CoreWatch::show(CoreView& view, XtRecorderModel& recorder, bool always) {
    const WatchEvents events = takeEvents();
    if (events.has(WatchEvents::ReferenceForgotten))
        view.reportProblem(eventText(WatchEvents::ReferenceForgotten));
    if (events.has(WatchEvents::StallEnded)) {
        view.reportRecovery(eventText(WatchEvents::StallEnded));
        view.setTitle(QStringLiteral("Counting again at cycle %1").arg(m_recorder.last().number));
    }
    if (events.has(WatchEvents::FailureConfirmed)) {
        const WatchFailure& failure = m_watch.state().failure;
        view.reportProblem(eventText(WatchEvents::FailureConfirmed));
        view.setTitle(QStringLiteral("FAILED at N_f %1").arg(failure.cycle));
        recorder.PlotTrigger(failure.cycle);
    }
    if (events.has(WatchEvents::StallBegun)) {
        const WatchStall& stall = m_watch.state().stall;
        view.reportProblem(eventText(WatchEvents::StallBegun));
        view.setTitle(QStringLiteral("Stalled after cycle %1").arg(stall.lastCycle));
        recorder.PlotTrigger(stall.lastCycle);
    }
    if (always || events.any() || m_recorder.last().number != m_shownCycle) {
        m_shownCycle = m_recorder.last().number;
        QString text = stateText();
        if (text != m_shownText) {
            m_shownText = std::move(text);
            view.setWatchText(m_shownText);
        }
    }
    return events;
}
