#pragma once
// The specimen watch over a recorded history (--watch): the program's cycle
// recorder and watch, fed from the counter's events like the picture and the
// summary file (no second pass over the samples). The history's time is the
// clock: a tick at its first sample, at every confirmed extreme and at its
// end, so a stall is found wherever the signal stood still for T seconds.
#include "CountOptions.h"
#include "OfflineCounter.h"
#include "counting/CycleRecorder.h"
#include "counting/SpecimenWatch.h"

#include <QJsonObject>

#include <string>
#include <vector>

class OfflineWatch : public CountObserver {
public:
    struct Stall {
        int32_t afterCycle = 0;
        double sinceSeconds = 0;   // the last cycle, or the start of the history
        double stalledSeconds = 0; // since + T: from here it was a stall
        double endedSeconds = -1;  // the next counted cycle; < 0: not before the end
    };

    explicit OfflineWatch(const CountOptions& options);

    // Every batch of samples, for the times of the first and the last.
    void addSamples(const double* times, size_t count, int64_t firstIndex);
    void extremum(const ExtremumEvent& event) override;
    void trigger(const TriggerEvent&) override {}
    bool wantsPeaks() const override { return false; }
    // The end of the history: a last tick at its last sample.
    void finish();

    const WatchState& state() const { return m_watch.state(); }
    const std::vector<Stall>& stalls() const { return m_stalls; }
    // The "watch" object of the summaries.
    QJsonObject json() const;
    // " n_f=... criterion=... reference=... stalls=N" for the summary line.
    std::string summaryText() const;

private:
    void take(WatchEvents events);
    double secondsOf(const double* times, size_t i, int64_t index) const;

    CountOptions m_options;
    CycleRecorder m_recorder;
    SpecimenWatch m_watch;
    std::vector<Stall> m_stalls;
    bool m_started = false;
    double m_lastSeconds = 0;
};
