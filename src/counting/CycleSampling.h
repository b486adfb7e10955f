#pragma once
// Watches how many samples each counted stress cycle took. A sine sampled at
// N points a cycle can have its peak read low by up to 1 - cos(pi / N), and
// too few points a cycle let the count go wrong; below MinimumSamples the
// counter says so once, and once more when the rate is enough again. Also
// gives the cycles per second measured on the samples' own clock. Fed with
// the index of the sample that completed each cycle (a stream's scan index,
// or the tick number of a device read once a tick) and its time in seconds.
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

class CycleSampling {
public:
    static constexpr int64_t MinimumSamples = 20;

    struct Change {
        bool tooFew = false; // a problem (else a recovery)
        QString text;
    };

    // A stress cycle was completed by sample `index` at `seconds`. Returns the
    // message to show when the judgement changed.
    std::optional<Change> cycleCompleted(int64_t index, double seconds);
    // Forgets the last cycle (after a pause or a gap of lost samples): the
    // next cycle only starts the measurement again.
    void restart() { m_hasLast = false; }

    // The median samples of the recent cycles; 0 before two cycles were seen.
    int64_t samplesPerCycle() const;
    // Cycles per second of the recent cycles; 0 before two were seen.
    double cyclesPerSecond() const;
    // How low a peak can be read at `samples` a cycle: 1 - cos(pi / samples).
    static double peakShortfall(int64_t samples);

private:
    static constexpr size_t Window = 15;
    std::array<int64_t, Window> m_samples{};
    std::array<double, Window> m_seconds{};
    size_t m_filled = 0;
    size_t m_next = 0;
    bool m_hasLast = false;
    int64_t m_lastIndex = 0;
    double m_lastSeconds = 0.0;
    bool m_tooFew = false;
};
