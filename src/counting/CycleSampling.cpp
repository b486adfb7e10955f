#include "counting/CycleSampling.h"

#include <algorithm>
#include <cmath>
#include <numbers>

std::optional<CycleSampling::Change> CycleSampling::cycleCompleted(int64_t index, double seconds) {
    if (m_hasLast && index > m_lastIndex) {
        m_samples[m_next] = index - m_lastIndex;
        m_seconds[m_next] = seconds - m_lastSeconds;
        m_next = (m_next + 1) % Window;
        m_filled = std::min(m_filled + 1, Window);
    }
    m_hasLast = true;
    m_lastIndex = index;
    m_lastSeconds = seconds;
    if (m_filled == 0)
        return std::nullopt;
    const int64_t samples = samplesPerCycle();
    const bool tooFew = samples < MinimumSamples;
    if (tooFew == m_tooFew)
        return std::nullopt;
    m_tooFew = tooFew;
    const QString percent = QString::number(100.0 * peakShortfall(samples), 'f', 1);
    if (tooFew)
        return Change{true, QStringLiteral("Only %1 samples a cycle: peaks can be read up to %2 % "
                                           "low (1 - cos(pi/%1)) and cycles may be missed; a "
                                           "faster rate is needed (rate= on the device address).")
                                .arg(samples)
                                .arg(percent)};
    return Change{false, QStringLiteral("%1 samples a cycle again: peaks are read within %2 %.")
                             .arg(samples)
                             .arg(percent)};
}

int64_t CycleSampling::samplesPerCycle() const {
    if (m_filled == 0)
        return 0;
    std::array<int64_t, Window> sorted = m_samples;
    std::sort(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(m_filled));
    return sorted[m_filled / 2];
}

double CycleSampling::cyclesPerSecond() const {
    double total = 0.0;
    for (size_t i = 0; i < m_filled; ++i)
        total += m_seconds[i];
    return total > 0.0 ? static_cast<double>(m_filled) / total : 0.0;
}

double CycleSampling::peakShortfall(int64_t samples) {
    return samples > 0 ? 1.0 - std::cos(std::numbers::pi / static_cast<double>(samples)) : 1.0;
}
