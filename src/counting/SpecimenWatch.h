#pragma once
// The specimen watch: fed with every counted cycle's record and with the time
// of every tick, it takes a reference after the settling cycles, confirms a
// failure when M consecutive cycles break the same criterion (N_f is the
// first of them), and notices a stall: no counted cycle for T seconds while
// the device answers. It only reads: it never changes the count. A cycle costs
// a few comparisons and no allocation (the history of the last R cycles is
// allocated when the settings are applied).
//
// Stall time T: the setting, or when that is 0 the larger of 10 s and 20 times
// the median time of the last 100 cycles. Grace: after start and after a
// pause (ticks where the device did not answer) the clock starts at the first
// answering tick, and the first cycle may take T + 60 s (a machine is started
// and run up by hand); its time counts from that tick.
#include "counting/CycleRecorder.h"
#include "counting/WatchState.h"

#include <array>
#include <cstddef>
#include <vector>

class SpecimenWatch {
public:
    static constexpr double MinimumStallSeconds = 10.0;
    static constexpr double GraceSeconds = 60.0;

    explicit SpecimenWatch(const WatchSettings& settings = {});

    // Arming starts the settling cycles anew, unless a reference is kept.
    // Disarming keeps reference and failure and ends a stall without a word.
    void setSettings(const WatchSettings& settings);
    // Reference and failure read back from the settings file after a restart
    // (a stall is not kept: the clock starts again at the first tick).
    void restore(const WatchReference& reference, const WatchFailure& failure);

    // One counted cycle (records that are not complete are not judged).
    WatchEvents cycle(const CycleRecord& record);
    // One tick at `seconds` (any clock that does not jump), `answering`: the
    // device gave a sample. Only a tick can begin a stall.
    WatchEvents tick(double seconds, bool answering);
    // "Take reference now": the mean of the last R complete cycles (fewer
    // when fewer were seen); nothing when none was seen.
    WatchEvents takeReferenceNow(double seconds);
    // The count was set or reset to `count`: a reference whose last cycle
    // lies beyond it is forgotten and the runs of breaking cycles start anew.
    WatchEvents countSet(int32_t count);
    // The failure is forgotten, and so are the runs of breaking cycles that
    // confirmed it: a new failure needs M cycles of its own.
    void clearFailure() {
        m_state.failure = {};
        m_runs = {};
    }

    const WatchSettings& settings() const { return m_settings; }
    const WatchState& state() const { return m_state; }
    // Reference cycles taken so far while settling is over (0..R), for
    // "taking reference 37/50"; 0 while settling or with a reference.
    int32_t referenceProgress() const;
    // Complete cycles kept for "take reference now" (0..R).
    int32_t keptCycles() const { return static_cast<int32_t>(m_historySize); }
    // The stall time T in effect now (without the grace).
    double stallLimit() const;

private:
    struct Run {
        int32_t length = 0;
        CycleRecord first; // the cycle that started it
    };
    void judge(const CycleRecord& record, WatchEvents& events);
    bool breaks(Run& run, bool enabled, bool broken, const CycleRecord& record,
                WatchCriterion criterion, WatchEvents& events);
    void keepHistory(const CycleRecord& record);
    void noteCycleTime(const CycleRecord& record);
    void takeReference(double peakSum, double valleySum, int32_t cycles, int32_t from, int32_t to,
                       double seconds);
    void startSettling();

    WatchSettings m_settings;
    WatchState m_state;
    // Settling and the running reference.
    int32_t m_sinceArmed = 0;
    double m_peakSum = 0;
    double m_valleySum = 0;
    int32_t m_referenceFrom = 0;
    std::array<Run, 3> m_runs{};
    // The last R complete cycles, for "take reference now".
    struct Kept {
        float peak;
        float valley;
        int32_t number;
    };
    std::vector<Kept> m_history;
    std::size_t m_historyNext = 0;
    std::size_t m_historySize = 0;
    // Stall: the last 100 cycle times and where the clock runs from.
    std::array<double, 100> m_cycleTimes{};
    std::size_t m_cycleTimesNext = 0;
    std::size_t m_cycleTimesSize = 0;
    mutable double m_medianLimit = MinimumStallSeconds;
    mutable bool m_medianStale = false;
    bool m_paused = true; // before the first answering tick, or in a pause
    bool m_grace = true;
    double m_since = 0;
    int32_t m_lastCycle = 0;
};
