#pragma once
// Which counted cycles the cycle log writes: every cycle up to 100, then
// `perDecade` cycles per decade evenly spaced on a logarithmic axis (cycle n
// is logged when it is the first cycle at or after 10^(k/perDecade) for some
// k), and every `everyNth` cycle when that is above 0. After a failure or a
// stall the caller switches to every cycle until the user clears it. A query
// for the next cycle costs a comparison; a jump of the count a few pow().
#include <cstdint>

class CycleLogSchedule {
public:
    static constexpr int32_t EveryCycleUpTo = 100;
    static constexpr int32_t DefaultPerDecade = 20;
    static constexpr int32_t MaxPerDecade = 1000;

    // `perDecade` 1..MaxPerDecade, `everyNth` 0 (off) or more; values
    // outside are clamped, so a caller checks them before (see valid()).
    explicit CycleLogSchedule(int32_t perDecade = DefaultPerDecade, int32_t everyNth = 0);
    static bool valid(int32_t perDecade, int32_t everyNth) {
        return perDecade >= 1 && perDecade <= MaxPerDecade && everyNth >= 0;
    }

    bool logged(int32_t cycle);
    void setEveryCycle(bool on) { m_everyCycle = on; }
    bool everyCycle() const { return m_everyCycle; }
    int32_t perDecade() const { return m_perDecade; }
    int32_t everyNth() const { return m_everyNth; }

private:
    double point(int64_t k) const;
    int64_t firstLoggedFrom(int64_t cycle) const;

    int32_t m_perDecade;
    int32_t m_everyNth;
    bool m_everyCycle = false;
    // The smallest logged cycle at or after m_from, by the decade rule.
    int64_t m_from = 0;
    int64_t m_next = 0;
};
