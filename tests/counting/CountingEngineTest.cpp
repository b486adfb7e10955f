// The counting engine's arithmetic: which extrema count, when a trigger falls
// due and how long it waits, and that no count or trigger number overflows.
#include "counting/CountingEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();
constexpr int32_t Max = std::numeric_limits<int32_t>::max();
constexpr int32_t Min = std::numeric_limits<int32_t>::min();
constexpr CountedExtrema Minima = CountedExtrema::Minima;

// Hysteresis 0.2 throughout. The exactly-H rows only hold when E+H and E-H are
// rounded to single precision before comparing (in double, 1.8f < 2 - 0.2f).
// The tracker starts seeking a minimum from 0 V, so in mode 1 a first rise
// confirms a starting minimum of 0 V. One mark per sample: '.' nothing
// counted, 'e' an extremum counted, 'C' a cycle completed.
TEST(CountingEngine, CountsConfirmedExtremaPastTheThreshold) {
    const std::tuple<const char*, CountingState, std::vector<float>, std::string> cases[] = {
        {"worked example", {.ExtremaPerCycle = 2}, {0, 1, 0.5f, 0.9f, 0.6f}, "..e.C"},
        {"H below a maximum", {}, {2, 1.8f, 1.79f}, "..C"},
        {"H above a minimum", {.CountMode = Minima, .Threshold = 5}, {3, 1, 1.2f, 1.21f}, "C..C"},
        {"maximum below the threshold", {.Threshold = 2}, {1.9f, 1, 2, 1}, "...C"},
        {"minimum at T", {.CountMode = Minima, .Threshold = -1}, {-1, 0, 1, -0.9f, 0}, ".C..."},
        {"NaN is skipped", {.ExtremaPerCycle = 2}, {0, NaN, 1, NaN, 0.5f, 0.9f, 0.6f}, "....e.C"},
    };
    for (const auto& [name, start, samples, expected] : cases) {
        CountingState state = start;
        ExtremumTracker tracker;
        CountingEngine engine(state, tracker);
        std::string marks;
        for (size_t i = 0; i < samples.size(); ++i) {
            const StepResult r = engine.step(samples[i], static_cast<int32_t>(i + 1) * 40, true);
            marks += r.cycleCompleted ? 'C' : (r.extremumCounted ? 'e' : '.');
        }
        EXPECT_EQ(marks, expected) << name;
    }
}

// Sources 2 and 3 fire on the crossing during the last extremum before X.
// K = 50 and the profile makes X = 51; the stored X is stale, so only a
// decision made after recomputing X can fire. Nothing is confirmed (H = 100).
// Each row's sample follows a first reading `before`.
TEST(TriggerDecision, VoltageSourcesFireOnTheCrossingBeforeCycleX) {
    // source, extrema per cycle, minor count, first reading, sample, due
    const std::tuple<int32_t, int32_t, int32_t, float, float, bool> cases[] = {
        {2, 2, 1, 0.5f, 1.5f, true},  {2, 2, 1, 0.5f, 1.0f, false}, // exactly T is no crossing
        {2, 2, 0, 0.5f, 1.5f, false}, {2, 2, 1, 1.5f, 1.5f, false},
        {2, 2, 1, 1.0f, 1.5f, true}, // a first reading at T is below it
        {2, 0, 0, 0.5f, 1.5f, true}, // P 0 is 1
        {3, 2, 1, 1.5f, 0.5f, true},  {3, 2, 1, 1.5f, 1.0f, false},
    };
    for (const auto& [source, perCycle, minor, before, voltage, due] : cases) {
        CountingState state{.CycleCount = 50,
                            .MinorCount = minor,
                            .ExtremaPerCycle = perCycle,
                            .Threshold = 1.0f,
                            .Hysteresis = 100.0f,
                            .TriggerSource = static_cast<TriggerOn>(source),
                            .NextTriggerCount = 7};
        state.TriggerProfile[6].Every = 51;
        ExtremumTracker tracker;
        CountingEngine engine(state, tracker);
        engine.takeFirstReading(before);
        const StepResult r = engine.step(voltage, 40, true);
        EXPECT_EQ(std::tuple(r.triggerDue, r.dueCycle, state.WasAboveThreshold),
                  std::tuple(due, due ? 50 : 0, voltage > 1.0f))
            << source << ' ' << perCycle << ' ' << minor << ' ' << before << ' ' << voltage;
    }
}

// The voltage sources fire when the threshold was crossed, not when the sample
// came: 0 V -> 2 V over 40 ms crosses 1 V 20 ms ago, so a 100 ms delay leaves
// 80 ms. A wrapped clock, an endless delay and non-finite samples must not
// overflow or wait forever.
TEST(TriggerDecision, DelayIsShortenedByTheTimeSinceTheInterpolatedCrossing) {
    // source, last sample, sample, their times, delay setting, delay
    const std::tuple<int32_t, float, float, int32_t, int32_t, int32_t, int32_t> cases[] = {
        {2, 0.0f, 2.0f, 1000, 1040, 100, 80},
        {3, 2.0f, 0.0f, 1000, 1040, 100, 80},
        {2, 0.0f, 2.0f, 1000, 1041, 100, 80},        // 79.5 to even
        {2, 0.0f, 2.0f, 1000, 1043, 100, 78},        // 78.5 to even
        {2, 0.0f, 2.0f, 1040, 1040, 100, 0},         // no time passed
        {2, 0.0f, 2.0f, Max - 10, Min + 29, 100, 0}, // clock wrapped
        {2, 0.0f, 2.0f, -2000000000, 2000000000, Max, Max},
        {2, 0.0f, Inf, 1000, 1040, 100, 100},
        {2, NaN, 2.0f, 1000, 1040, 100, 0},
    };
    for (const auto& [source, last, voltage, lastTime, now, delaySetting, expected] : cases) {
        // K = 0 = X - 1 with P = 1: the crossing is due.
        CountingState state{.Threshold = 1.0f,
                            .Hysteresis = 100.0f,
                            .TriggerSource = static_cast<TriggerOn>(source),
                            .TriggerDelayMs = delaySetting,
                            .WasAboveThreshold = source == 3};
        ExtremumTracker tracker{0, 0.0f, 0, lastTime, last};
        const StepResult r = CountingEngine(state, tracker).step(voltage, now, true);
        EXPECT_EQ(std::pair(r.triggerDue, r.delayMs), std::pair(true, expected))
            << source << ' ' << last << ' ' << voltage << ' ' << lastTime << ' ' << now;
    }
}

// Counts one cycle at a time from 0, as the maximum source does: a cycle is
// due when it equals the next trigger count, which is then recomputed.
TEST(NextTrigger, DueCyclesFollowTheProfileAndTheExtraEvents) {
    // Rows 0..n-1 (n is ProfileRows), row 6's interval, extra events, last cycle, due cycles.
    const std::tuple<const char*, std::vector<ProfileRow>, int32_t, int32_t, int32_t,
                     std::vector<int32_t>>
        cases[] = {
            {"two rows", {{10, 2}, {20, 5}}, 200, 0, 450, {2, 4, 6, 8, 10, 15, 20, 200, 400}},
            {"two extra events", {}, 100, 2, 250, {1, 2, 100, 101, 102, 200, 201, 202}},
            // Intervals below 1 would divide by zero or run backwards.
            {"every 0 falls back", {{10, 0}}, 3, 0, 12, {3, 6, 9, 12}},
            {"negative every acts as 1", {{3, -4}}, 5, 0, 10, {1, 2, 3, 4, 5, 10}},
            {"fallback 0 acts as 1", {}, 0, 0, 4, {1, 2, 3, 4}},
        };
    for (const auto& [name, rows, fallbackEvery, extraEvents, upTo, expected] : cases) {
        CountingState state{.ExtraEvents = extraEvents,
                            .ProfileRows = static_cast<int32_t>(rows.size())};
        std::copy(rows.begin(), rows.end(), state.TriggerProfile.begin());
        state.TriggerProfile[6].Every = fallbackEvery;
        CountingEngine::updateNextTrigger(state);
        std::vector<int32_t> due;
        for (state.CycleCount = 1; state.CycleCount <= upTo; ++state.CycleCount) {
            if (state.CycleCount == state.NextTriggerCount)
                due.push_back(state.CycleCount);
            CountingEngine::updateNextTrigger(state);
        }
        EXPECT_EQ(due, expected) << name;
    }
}

// A run of years must neither wrap the count negative nor divide by a bad
// extrema-per-cycle value, and the next trigger saturates instead of wrapping.
// Each row: count, minor, extrema per cycle before and count, minor after.
TEST(CountingEngine, CountingAndTheNextTriggerNeverOverflow) {
    const std::array<int32_t, 5> cases[] = {
        {Max, 0, 1, Max, 0}, {5, Max - 1, Max, 6, 0}, {5, 0, 0, 6, 0}, {5, 3, -4, 6, 0}};
    for (const auto& [count, minor, perCycle, expectedCount, expectedMinor] : cases) {
        CountingState state{.CycleCount = count, .MinorCount = minor, .ExtremaPerCycle = perCycle};
        CountingEngine::countExtremum(state);
        EXPECT_EQ(std::pair(state.CycleCount, state.MinorCount),
                  std::pair(expectedCount, expectedMinor))
            << count << ' ' << minor << ' ' << perCycle;
    }
    CountingState state{.CycleCount = Max};
    state.TriggerProfile[6].Every = 7;
    EXPECT_EQ(CountingEngine::nextTriggerCount(state), Max); // q + N
    state.TriggerProfile[6].Every = 2;
    state.ExtraEvents = 2;
    EXPECT_EQ(CountingEngine::nextTriggerCount(state), Max); // count + 1
    state.ExtraEvents = 0;
    state.CycleCount = Min; // set by a peer
    EXPECT_EQ(CountingEngine::nextTriggerCount(state), Min + 2);
}

} // namespace
