#include "OfflineCycleLog.h"

#include "OfflineWatch.h"

#include <QDateTime>

#include <limits>

namespace {
constexpr std::size_t BlockBytes = 1 << 16;

QString percent(bool on, double value) {
    return on ? QString::number(value) + " %" : QStringLiteral("off");
}
} // namespace

OfflineCycleLog::OfflineCycleLog(const CountOptions& options, const QString& inputName,
                                 const OfflineWatch* watch)
    : m_options(options), m_inputName(inputName), m_watch(watch), m_log(*this, CycleLogSchedule()) {
    m_log.setSyncSeconds(std::numeric_limits<double>::infinity());
}

QStringList OfflineCycleLog::headerLines() const {
    const CountingState& s = m_options.state;
    QStringList lines{
        QStringLiteral("program: cyclomarkator-count %1.%2.%3")
            .arg(CYCLO_VERSION_MAJOR)
            .arg(CYCLO_VERSION_MINOR)
            .arg(CYCLO_VERSION_PATCH),
        QStringLiteral("converter: recorded history %1").arg(m_inputName),
        QStringLiteral("counting: %1, %2 extrema per cycle, threshold %3 V, hysteresis %4 V")
            .arg(s.CountMode == CountedExtrema::Minima ? "minima" : "maxima")
            .arg(s.ExtremaPerCycle)
            .arg(static_cast<double>(s.Threshold))
            .arg(static_cast<double>(s.Hysteresis)),
        QStringLiteral("schedule: every cycle up to %1, then %2 per decade")
            .arg(CycleLogSchedule::EveryCycleUpTo)
            .arg(m_log.schedule().perDecade())};
    if (m_watch) {
        const WatchSettings& w = m_options.watchSettings;
        lines << QStringLiteral("watch: settle %1, reference %2 cycles, drop %3, band %4, "
                                "confirm %5, stall %6 s")
                     .arg(w.settlingCycles)
                     .arg(w.referenceCycles)
                     .arg(percent(w.amplitudeCheck, w.amplitudeDropPercent),
                          percent(w.peakCheck, w.bandPercent))
                     .arg(w.confirmCycles)
                     .arg(w.stallSeconds);
    }
    return lines;
}

bool OfflineCycleLog::open(QString& error) {
    return m_log.createAt(m_options.cyclesPath, QDateTime::currentMSecsSinceEpoch(), headerLines(),
                          error);
}

void OfflineCycleLog::extremum(const ExtremumEvent& event) {
    m_recorder.extremum(event.value, event.maximum);
    if (event.completed) {
        const CycleRecord& r = m_recorder.cycleCompleted(event.cycle, event.index, event.seconds);
        m_log.cycle({r.number, r.endSeconds, r.peak, r.valley, r.mean, r.amplitude, r.samples});
    }
    if (m_watch)
        followWatch();
    if (m_log.waitingBytes() >= BlockBytes)
        m_log.flush(event.seconds);
}

// The flag rows of what the watch found since the last event; a failure or a
// stall writes every cycle of the ring not yet logged, then every cycle.
void OfflineCycleLog::followWatch() {
    const WatchState& s = m_watch->state();
    if (s.reference.taken && !m_referenceSeen) {
        const WatchReference& ref = s.reference;
        m_log.flagRow({ref.toCycle, ref.takenSeconds, ref.peak, ref.valley,
                       (ref.peak + ref.valley) / 2.0f, ref.amplitude,
                       ref.toCycle - ref.fromCycle + 1},
                      CycleLogFlag::Reference);
    }
    m_referenceSeen = s.reference.taken;
    if (m_watch->stalls().size() > m_stallsSeen) {
        const OfflineWatch::Stall& stall = m_watch->stalls().back();
        m_log.writeBacklog();
        m_log.flagRow({stall.afterCycle, stall.stalledSeconds, 0, 0, 0, 0, 0, false},
                      CycleLogFlag::Stall);
        m_log.schedule().setEveryCycle(true);
        m_stallsSeen = m_watch->stalls().size();
    }
    if (s.failure.failed && !m_failureSeen) {
        const WatchFailure& f = s.failure;
        m_log.writeBacklog();
        m_log.flagRow({f.cycle, f.seconds, f.peak, f.valley, (f.peak + f.valley) / 2.0f,
                       f.amplitude, f.confirmedCycle - f.cycle + 1},
                      CycleLogFlag::Failure);
        m_log.schedule().setEveryCycle(true);
    }
    m_failureSeen = s.failure.failed;
}

bool OfflineCycleLog::finish(QString& error) {
    if (m_log.close())
        return true;
    error =
        m_problem.isEmpty()
            ? QStringLiteral("Cycle log \"%1\": not every row could be written").arg(m_log.path())
            : m_problem;
    return false;
}
