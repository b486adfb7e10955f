#include "recording/CycleLogSchedule.h"

#include <algorithm>
#include <cmath>

CycleLogSchedule::CycleLogSchedule(int32_t perDecade, int32_t everyNth)
    : m_perDecade(std::clamp(perDecade, 1, MaxPerDecade)), m_everyNth(std::max(everyNth, 0)) {}

// 10^(k / perDecade); whole decades exactly, since a rounded 1000 would move
// the logged cycle by one.
double CycleLogSchedule::point(int64_t k) const {
    if (k % m_perDecade == 0) {
        double value = 1.0;
        for (int64_t i = 0; i < k / m_perDecade; ++i)
            value *= 10.0;
        return value;
    }
    return std::pow(10.0, static_cast<double>(k) / m_perDecade);
}

// Cycle n is logged when a point lies in (n - 1, n]; the first logged cycle
// at or after `cycle` is the ceiling of the first point above cycle - 1.
int64_t CycleLogSchedule::firstLoggedFrom(int64_t cycle) const {
    const double below = static_cast<double>(cycle - 1);
    auto k = static_cast<int64_t>(std::floor(m_perDecade * std::log10(below))) + 1;
    while (k > 0 && point(k - 1) > below)
        --k;
    while (point(k) <= below)
        ++k;
    return static_cast<int64_t>(std::ceil(point(k)));
}

bool CycleLogSchedule::logged(int32_t cycle) {
    if (m_everyCycle || cycle <= EveryCycleUpTo)
        return true;
    if (m_everyNth > 0 && cycle % m_everyNth == 0)
        return true;
    if (cycle < m_from || cycle > m_next) {
        m_from = cycle;
        m_next = firstLoggedFrom(cycle);
    }
    return cycle == m_next;
}
