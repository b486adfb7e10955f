#include "counting/CoreCycleLog.h"

#include "adc/AdcFacade.h"
#include "common/ProfileReader.h"
#include "counting/CoreWatch.h"
#include "counting/CountingState.h"
#include "platform/ProblemSink.h"
#include "platform/ProfileFile.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <utility>

namespace {
const QString Section = QStringLiteral("CycleLog");
const QString FileKey = QStringLiteral("File");

QString percent(bool on, double value) {
    return on ? QString::number(value) + " %" : QStringLiteral("off");
}
} // namespace

CoreCycleLog::CoreCycleLog(const CountingState& state, const AdcFacade& adc, const CoreWatch& watch,
                           ProblemSink& problems, std::function<double()> epochSeconds)
    : m_state(state), m_adc(adc), m_watch(watch), m_problems(problems),
      m_epochSeconds(std::move(epochSeconds)) {}

CoreCycleLog::~CoreCycleLog() = default;

void CoreCycleLog::load(const QString& settingsPath, const ProfileReader& file) {
    const QFileInfo settings(settingsPath);
    m_folder = settings.absolutePath();
    m_base = settings.completeBaseName();
    m_storedName = file.rawValue(Section, FileKey).value_or(QString()).trimmed();
}

void CoreCycleLog::write(ProfileFile& file) const {
    if (m_file && !m_file->path().isEmpty())
        file.writeString(Section, FileKey, QFileInfo(m_file->path()).fileName());
}

const QString& CoreCycleLog::path() const {
    static const QString none;
    return m_file ? m_file->path() : none;
}

void CoreCycleLog::begin() {
    if (m_file || m_folder.isEmpty())
        return;
    const WatchState& watch = m_watch.watch().state();
    m_referenceSeen = watch.reference.taken;
    m_failureSeen = watch.failure.failed;
    const QString stored = std::exchange(m_storedName, QString());
    if (stored.isEmpty())
        return startNew();
    QString error;
    auto file = std::make_unique<CycleLogFile>(m_problems, CycleLogSchedule());
    if (stored.contains(u'/') || stored == u".." ||
        !file->resume(QDir(m_folder).filePath(stored), error)) {
        m_problems.reportProblem(
            (error.isEmpty() ? QStringLiteral("[CycleLog] File=%1 is refused: it must be a plain "
                                              "file name")
                                   .arg(stored)
                             : error) +
            QStringLiteral("; a new cycle log is started."));
        return startNew();
    }
    m_file = std::move(file);
    m_startEpoch = static_cast<double>(m_file->startUtcMs()) / 1000.0;
    followWatch();
    flagNow(m_state.CycleCount, CycleLogFlag::Restart);
}

void CoreCycleLog::startNew() {
    m_hasRows = false;
    m_file = std::make_unique<CycleLogFile>(m_problems, CycleLogSchedule());
    const double now = m_epochSeconds();
    m_startEpoch = std::floor(now * 1000.0) / 1000.0;
    m_file->create(m_folder, m_base, static_cast<int64_t>(std::floor(now * 1000.0)), headerLines());
    followWatch();
}

QStringList CoreCycleLog::headerLines() const {
    const CountingState& s = m_state;
    const WatchSettings& w = m_watch.watch().settings();
    QStringList lines{
        QStringLiteral("program: Cyclomarkator %1.%2.%3")
            .arg(CYCLO_VERSION_MAJOR)
            .arg(CYCLO_VERSION_MINOR)
            .arg(CYCLO_VERSION_PATCH),
        QStringLiteral("converter: %1, channel %2").arg(m_adc.interfaceName()).arg(s.ADChannel + 1),
        QStringLiteral("counting: %1, %2 extrema per cycle, threshold %3 V, hysteresis %4 V")
            .arg(s.CountMode == CountedExtrema::Minima ? "minima" : "maxima")
            .arg(s.ExtremaPerCycle)
            .arg(static_cast<double>(s.Threshold))
            .arg(static_cast<double>(s.Hysteresis)),
        QStringLiteral("schedule: every cycle up to %1, then %2 per decade%3")
            .arg(CycleLogSchedule::EveryCycleUpTo)
            .arg(w.logPerDecade)
            .arg(w.logEveryNth > 0 ? QStringLiteral(", every %1th").arg(w.logEveryNth) : ""),
        w.armed ? QStringLiteral("watch: settle %1, reference %2 cycles, drop %3, band %4, "
                                 "confirm %5, stall %6 s")
                      .arg(w.settlingCycles)
                      .arg(w.referenceCycles)
                      .arg(percent(w.amplitudeCheck, w.amplitudeDropPercent),
                           percent(w.peakCheck || w.valleyCheck, w.bandPercent))
                      .arg(w.confirmCycles)
                      .arg(w.stallSeconds)
                : QStringLiteral("watch: off")};
    const WatchReference& r = m_watch.watch().state().reference;
    if (r.taken)
        lines << QStringLiteral("reference: peak %1 V, valley %2 V, amplitude %3 V, cycles %4-%5")
                     .arg(static_cast<double>(r.peak))
                     .arg(static_cast<double>(r.valley))
                     .arg(static_cast<double>(r.amplitude))
                     .arg(r.fromCycle)
                     .arg(r.toCycle);
    return lines;
}

double CoreCycleLog::secondsOf(double epochSeconds) const {
    return epochSeconds - m_startEpoch;
}

void CoreCycleLog::flagNow(int32_t count, CycleLogFlag flag) {
    m_hasRows = true;
    m_file->flagRow({count, secondsOf(m_epochSeconds()), 0, 0, 0, 0, 0, false}, flag);
}

void CoreCycleLog::cycle(const CycleRecord& r) {
    if (!m_file)
        return;
    m_hasRows = true;
    m_file->cycle(
        {r.number, secondsOf(r.endSeconds), r.peak, r.valley, r.mean, r.amplitude, r.samples});
    followWatch();
}

// The rows of what the watch found since it was last looked at, in the order
// the offline counter writes them; the schedule follows the watch's settings.
void CoreCycleLog::followWatch() {
    const WatchState& s = m_watch.watch().state();
    const WatchSettings& w = m_watch.watch().settings();
    CycleLogSchedule& schedule = m_file->schedule();
    if (schedule.perDecade() != w.logPerDecade || schedule.everyNth() != w.logEveryNth) {
        const bool every = schedule.everyCycle();
        schedule = CycleLogSchedule(w.logPerDecade, w.logEveryNth);
        schedule.setEveryCycle(every);
    }
    if (s.reference.taken && !m_referenceSeen) {
        const WatchReference& ref = s.reference;
        m_file->flagRow({ref.toCycle, secondsOf(ref.takenSeconds), ref.peak, ref.valley,
                         (ref.peak + ref.valley) / 2.0f, ref.amplitude,
                         ref.toCycle - ref.fromCycle + 1},
                        CycleLogFlag::Reference);
    }
    m_referenceSeen = s.reference.taken;
    const bool newStall =
        s.stall.stalled && (!m_stalledSeen || s.stall.sinceSeconds != m_stallSince);
    if (newStall) {
        m_file->writeBacklog();
        m_file->flagRow({s.stall.lastCycle, secondsOf(s.stall.sinceSeconds + s.stall.limitSeconds),
                         0, 0, 0, 0, 0, false},
                        CycleLogFlag::Stall);
        m_stallSince = s.stall.sinceSeconds;
    }
    m_stalledSeen = s.stall.stalled;
    if (s.failure.failed && !m_failureSeen) {
        const WatchFailure& f = s.failure;
        m_file->writeBacklog();
        m_file->flagRow({f.cycle, secondsOf(f.seconds), f.peak, f.valley,
                         (f.peak + f.valley) / 2.0f, f.amplitude, f.confirmedCycle - f.cycle + 1},
                        CycleLogFlag::Failure);
    }
    m_failureSeen = s.failure.failed;
    schedule.setEveryCycle(m_failureSeen || m_stalledSeen);
}

bool CoreCycleLog::countSet(int32_t count) {
    begin();
    if (!m_file)
        return false;
    // A reset of a log without rows (a fresh start) is that new test already.
    if (count == 0 && !m_hasRows)
        return false;
    flagNow(count, CycleLogFlag::Set);
    if (count != 0)
        return false;
    // A new specimen: the old file is written out and closed, never cut.
    m_file.reset();
    startNew();
    return true;
}

void CoreCycleLog::failureCleared() {
    if (m_file)
        followWatch();
}

void CoreCycleLog::flush() {
    if (!m_file)
        return;
    followWatch();
    m_file->flush(secondsOf(m_epochSeconds()));
}
