#pragma once
// Counts one tick's worth of a stream: the engine's per-sample steps run on
// the counted channel of every scan in order, each with its time on the
// converter's clock (index / rate), and what the caller must then do once for
// the whole tick is gathered: whether anything was counted (one durable save
// before anything is shown), every trigger that fell due in order with the
// scan that made it due, and the lowest and highest sample for the chart.
// No Qt, no I/O: the counting core applies the result.
#include "adc/ScanStream.h"
#include "counting/CountingEngine.h"
#include "counting/CountingState.h"

#include <cstdint>
#include <functional>
#include <vector>

struct SampleEvent;

struct DueTrigger {
    int32_t dueCycle = 0;
    int32_t delayMs = 0;   // as the engine decided it at the scan
    int64_t scanIndex = 0; // the scan that made it due
};

struct ScanTickResult {
    int64_t scans = 0;
    int64_t extremaCounted = 0;
    bool cycleCompleted = false;
    bool nextTriggerChanged = false;
    std::vector<DueTrigger> triggers;
    // The band of the counted channel in this tick, in the order it was
    // reached: `first` came before `second` (equal for a single scan).
    float first = 0.0f;
    float second = 0.0f;
    float last = 0.0f; // the newest sample
    int64_t lastIndex = 0;
};

class ScanCounting {
public:
    // The engine and its tracker must outlive this object.
    ScanCounting(CountingEngine& engine, const ExtremumTracker& tracker)
        : m_engine(engine), m_tracker(tracker) {}

    // Runs every scan of `block` on `channel` (from 0, below block.channels),
    // at the block's own times where it has them.
    // The first scan ever stands for the reading taken at start-up.
    // `onCycle(scanIndex)` is told of every completed stress cycle, and
    // `onConfirmed(extreme, maximum)` of every confirmed extreme, counted or
    // not (before the cycle it completed).
    ScanTickResult run(const ScanBlock& block, int32_t channel, double rate,
                       const std::function<void(int64_t scanIndex)>& onCycle = nullptr,
                       const std::function<void(float, bool)>& onConfirmed = nullptr);

    // The engine's millisecond clock at scan `index`: the converter's time,
    // wrapped to 32 bits like the program's tick.
    static int32_t millisecondsAt(int64_t index, double rate);
    // The engine's millisecond clock at a time stamped in seconds (a time
    // column), rounded to the nearest millisecond and wrapped the same way.
    static int32_t millisecondsOf(double seconds);
    // What is left of a due trigger's delay once the newest scan is reached:
    // the delay runs on the converter's clock from the scan that made it due.
    static int32_t remainingDelay(const DueTrigger& trigger, int64_t lastIndex, double rate);

private:
    CountingEngine& m_engine;
    const ExtremumTracker& m_tracker;
    bool m_started = false;
};
