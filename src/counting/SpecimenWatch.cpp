#include "counting/SpecimenWatch.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr const char* CriterionNames[] = {"", "amplitude", "peak", "valley"};
} // namespace

const char* criterionName(WatchCriterion criterion) {
    const auto at = static_cast<size_t>(criterion);
    return at < std::size(CriterionNames) ? CriterionNames[at] : "";
}

WatchCriterion criterionFromName(const char* name) {
    for (size_t i = 1; i < std::size(CriterionNames); ++i) {
        if (std::strcmp(name, CriterionNames[i]) == 0)
            return static_cast<WatchCriterion>(i);
    }
    return WatchCriterion::None;
}

SpecimenWatch::SpecimenWatch(const WatchSettings& settings) {
    setSettings(settings);
}

void SpecimenWatch::setSettings(const WatchSettings& settings) {
    const bool arming = settings.armed && !m_settings.armed;
    const bool newWindow = settings.referenceCycles != m_settings.referenceCycles;
    m_settings = settings;
    m_settings.referenceCycles =
        std::clamp(settings.referenceCycles, 1, WatchSettings::MaxReferenceCycles);
    m_settings.confirmCycles = std::max(settings.confirmCycles, 1);
    if (newWindow || m_history.empty()) {
        m_history.assign(static_cast<size_t>(m_settings.referenceCycles), Kept{});
        m_historyNext = m_historySize = 0;
    }
    if (arming || newWindow)
        startSettling();
    if (!m_settings.armed) {
        m_state.stall = {};
        m_paused = true;
    }
    m_runs = {};
    m_medianStale = true;
}

void SpecimenWatch::restore(const WatchReference& reference, const WatchFailure& failure) {
    m_state.reference = reference;
    m_state.failure = failure;
    m_runs = {};
    startSettling();
}

void SpecimenWatch::startSettling() {
    m_sinceArmed = 0;
    m_peakSum = m_valleySum = 0;
}

int32_t SpecimenWatch::referenceProgress() const {
    if (m_state.reference.taken)
        return 0;
    return std::clamp(m_sinceArmed - m_settings.settlingCycles, 0, m_settings.referenceCycles);
}

WatchEvents SpecimenWatch::cycle(const CycleRecord& record) {
    WatchEvents events;
    noteCycleTime(record);
    if (m_state.stall.stalled) {
        m_state.stall.stalled = false;
        m_state.stall.endedSeconds = record.endSeconds;
        events.bits |= WatchEvents::StallEnded;
    }
    if (!record.complete)
        return events;
    keepHistory(record);
    if (!m_settings.armed)
        return events;
    if (m_state.reference.taken) {
        if (!m_state.failure.failed)
            judge(record, events);
        return events;
    }
    // Settling: cycles S+1 .. S+R after arming make the reference.
    ++m_sinceArmed;
    if (m_sinceArmed <= m_settings.settlingCycles)
        return events;
    if (m_sinceArmed == m_settings.settlingCycles + 1)
        m_referenceFrom = record.number;
    m_peakSum += record.peak;
    m_valleySum += record.valley;
    if (m_sinceArmed - m_settings.settlingCycles == m_settings.referenceCycles) {
        takeReference(m_peakSum, m_valleySum, m_settings.referenceCycles, m_referenceFrom,
                      record.number, record.endSeconds);
        events.bits |= WatchEvents::ReferenceTaken;
    }
    return events;
}

void SpecimenWatch::keepHistory(const CycleRecord& record) {
    m_history[m_historyNext] = {record.peak, record.valley, record.number};
    m_historyNext = m_historyNext + 1 == m_history.size() ? 0 : m_historyNext + 1;
    m_historySize = std::min(m_historySize + 1, m_history.size());
}

// The cycle's time counts from the previous cycle, or for the first cycle
// after start or a pause from the tick that started the clock.
void SpecimenWatch::noteCycleTime(const CycleRecord& record) {
    if (!m_paused || !m_grace) {
        m_cycleTimes[m_cycleTimesNext] = record.endSeconds - m_since;
        m_cycleTimesNext = (m_cycleTimesNext + 1) % m_cycleTimes.size();
        m_cycleTimesSize = std::min(m_cycleTimesSize + 1, m_cycleTimes.size());
        m_medianStale = true;
    }
    m_paused = false; // a cycle without a tick before it (the offline counter's first)
    m_grace = false;
    m_since = record.endSeconds;
    m_lastCycle = record.number;
}

void SpecimenWatch::takeReference(double peakSum, double valleySum, int32_t cycles, int32_t from,
                                  int32_t to, double seconds) {
    WatchReference& r = m_state.reference;
    r.taken = true;
    r.peak = static_cast<float>(peakSum / cycles);
    r.valley = static_cast<float>(valleySum / cycles);
    r.amplitude = static_cast<float>((peakSum - valleySum) / cycles / 2.0);
    r.fromCycle = from;
    r.toCycle = to;
    r.takenSeconds = seconds;
    m_runs = {};
}

// Each criterion keeps its own run of breaking cycles; a cycle that keeps to
// a criterion ends that criterion's run only.
void SpecimenWatch::judge(const CycleRecord& record, WatchEvents& events) {
    const WatchReference& r = m_state.reference;
    const double floor = r.amplitude * (1.0 - m_settings.amplitudeDropPercent / 100.0);
    const double band = r.amplitude * m_settings.bandPercent / 100.0;
    // Written as "not within", so that a NaN value breaks its criterion.
    const bool low = !(record.amplitude >= floor);
    const bool peakOut = !(std::fabs(double(record.peak) - r.peak) <= band);
    const bool valleyOut = !(std::fabs(double(record.valley) - r.valley) <= band);
    breaks(m_runs[0], m_settings.amplitudeCheck, low, record, WatchCriterion::Amplitude, events) ||
        breaks(m_runs[1], m_settings.peakCheck, peakOut, record, WatchCriterion::Peak, events) ||
        breaks(m_runs[2], m_settings.valleyCheck, valleyOut, record, WatchCriterion::Valley,
               events);
}

// True when this criterion's run confirmed the failure.
bool SpecimenWatch::breaks(Run& run, bool enabled, bool broken, const CycleRecord& record,
                           WatchCriterion criterion, WatchEvents& events) {
    if (!enabled || !broken) {
        run.length = 0;
        return false;
    }
    if (run.length++ == 0)
        run.first = record;
    if (run.length < m_settings.confirmCycles)
        return false;
    m_state.failure = {true,           run.first.number,    criterion,
                       run.first.peak, run.first.valley,    run.first.amplitude,
                       record.number,  run.first.endSeconds};
    events.bits |= WatchEvents::FailureConfirmed;
    return true;
}

WatchEvents SpecimenWatch::tick(double seconds, bool answering) {
    if (!m_settings.armed)
        return {};
    if (!answering) {
        m_paused = true;
        return {};
    }
    if (m_paused) {
        m_paused = false;
        m_grace = true;
        m_since = seconds;
    }
    const double elapsed = seconds - m_since;
    const double floor =
        m_settings.stallSeconds > 0 ? m_settings.stallSeconds : MinimumStallSeconds;
    // Most ticks end here, without looking at the cycle times.
    if (m_state.stall.stalled || elapsed < floor)
        return {};
    const double limit = stallLimit();
    if (elapsed < limit + (m_grace ? GraceSeconds : 0.0))
        return {};
    m_state.stall = {true, m_lastCycle, m_since, limit, 0.0};
    WatchEvents events;
    events.bits = WatchEvents::StallBegun;
    return events;
}

double SpecimenWatch::stallLimit() const {
    if (m_settings.stallSeconds > 0)
        return m_settings.stallSeconds;
    if (m_medianStale) {
        m_medianStale = false;
        std::array<double, 100> times = m_cycleTimes;
        const auto n = static_cast<std::ptrdiff_t>(m_cycleTimesSize);
        double median = 0;
        if (n > 0) {
            std::nth_element(times.begin(), times.begin() + n / 2, times.begin() + n);
            median = times[static_cast<size_t>(n / 2)];
            if (n % 2 == 0)
                median = (median + *std::max_element(times.begin(), times.begin() + n / 2)) / 2;
        }
        m_medianLimit = std::max(MinimumStallSeconds, 20 * median);
    }
    return m_medianLimit;
}

WatchEvents SpecimenWatch::takeReferenceNow(double seconds) {
    if (m_historySize == 0)
        return {};
    double peaks = 0;
    double valleys = 0;
    const size_t oldest = (m_historyNext + m_history.size() - m_historySize) % m_history.size();
    for (size_t i = 0; i < m_historySize; ++i) {
        const Kept& kept = m_history[(oldest + i) % m_history.size()];
        peaks += kept.peak;
        valleys += kept.valley;
    }
    const size_t newest = (m_historyNext + m_history.size() - 1) % m_history.size();
    takeReference(peaks, valleys, static_cast<int32_t>(m_historySize), m_history[oldest].number,
                  m_history[newest].number, seconds);
    WatchEvents events;
    events.bits = WatchEvents::ReferenceTaken;
    return events;
}

WatchEvents SpecimenWatch::countSet(int32_t count) {
    WatchEvents events;
    m_runs = {};
    m_historyNext = m_historySize = 0;
    if (m_state.reference.taken && count < m_state.reference.toCycle) {
        m_state.reference = {};
        startSettling();
        events.bits = WatchEvents::ReferenceForgotten;
    }
    m_lastCycle = count;
    return events;
}
