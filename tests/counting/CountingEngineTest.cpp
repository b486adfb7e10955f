// The counting engine's arithmetic: which extrema count, when a trigger falls
// due and how long it waits, and that no count or trigger number overflows.
#include "counting/CountingEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();
constexpr int32_t Max = std::numeric_limits<int32_t>::max();
constexpr int32_t Min = std::numeric_limits<int32_t>::min();

// Hysteresis 0.2 throughout. The exactly-H rows only hold when E+H and E-H are
// rounded to single precision before comparing (in double, 1.8f < 2 - 0.2f).
// The tracker starts seeking a minimum from 0 V, so in mode 1 a first rise
// confirms a starting minimum of 0 V. One mark per sample: '.' nothing
// counted, 'e' an extremum counted, 'C' a cycle completed.
TEST(CountingEngine, CountsConfirmedExtremaPastTheThreshold) {
    const struct {
        const char* name;
        CountingState state;
        std::vector<float> samples;
        std::string expected;
    } cases[] = {
        {"worked example", {.ExtremaPerCycle = 2}, {0, 1, 0.5f, 0.9f, 0.6f}, "..e.C"},
        {"exactly H below a maximum", {}, {2, 1.8f, 1.79f}, "..C"},
        {"exactly H above a minimum",
         {.CountMode = CountedExtrema::Minima, .Threshold = 5},
         {3, 1, 1.2f, 1.21f},
         "C..C"},
        {"maximum below the threshold", {.Threshold = 2}, {1.9f, 1, 2, 1}, "...C"},
        {"minimum at the threshold",
         {.CountMode = CountedExtrema::Minima, .Threshold = -1},
         {-1, 0, 1, -0.9f, 0},
         ".C..."},
        {"NaN changes nothing",
         {.ExtremaPerCycle = 2},
         {0, NaN, 1, NaN, 0.5f, 0.9f, 0.6f},
         "....e.C"},
    };
    for (const auto& c : cases) {
        CountingState state = c.state;
        ExtremumTracker tracker;
        CountingEngine engine(state, tracker);
        std::string marks;
        for (size_t i = 0; i < c.samples.size(); ++i) {
            const StepResult r = engine.step(c.samples[i], static_cast<int32_t>(i + 1) * 40, true);
            marks += r.cycleCompleted ? 'C' : (r.extremumCounted ? 'e' : '.');
        }
        EXPECT_EQ(marks, c.expected) << c.name;
    }
}

// Sources 2 and 3 fire on the crossing during the last extremum before X.
// K = 50 and the profile makes X = 51; the stored X is stale, so only a
// decision made after recomputing X can fire. Nothing is confirmed (H = 100).
// Each row's sample follows a first reading `before`.
TEST(TriggerDecision, VoltageSourcesFireOnTheCrossingBeforeCycleX) {
    const struct {
        int32_t source, perCycle, minor;
        float before, voltage;
        bool due;
    } cases[] = {
        {2, 2, 1, 0.5f, 1.5f, true},  {2, 2, 1, 0.5f, 1.0f, false}, // exactly T is no crossing
        {2, 2, 0, 0.5f, 1.5f, false}, {2, 2, 1, 1.5f, 1.5f, false},
        {2, 2, 1, 1.0f, 1.5f, true}, // a first reading at T is below it
        {2, 0, 0, 0.5f, 1.5f, true}, // P 0 is 1
        {3, 2, 1, 1.5f, 0.5f, true},  {3, 2, 1, 1.5f, 1.0f, false},
    };
    for (const auto& c : cases) {
        CountingState state{.CycleCount = 50,
                            .MinorCount = c.minor,
                            .ExtremaPerCycle = c.perCycle,
                            .Threshold = 1.0f,
                            .Hysteresis = 100.0f,
                            .TriggerSource = static_cast<TriggerOn>(c.source),
                            .NextTriggerCount = 7};
        state.TriggerProfile[6].Every = 51;
        ExtremumTracker tracker;
        CountingEngine engine(state, tracker);
        engine.takeFirstReading(c.before);
        const StepResult r = engine.step(c.voltage, 40, true);
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        EXPECT_EQ(r.triggerDue, c.due);
        EXPECT_EQ(r.dueCycle, c.due ? 50 : 0);
        EXPECT_EQ(state.WasAboveThreshold, c.voltage > 1.0f);
    }
}

// The voltage sources fire when the threshold was crossed, not when the sample
// came: 0 V -> 2 V over 40 ms crosses 1 V 20 ms ago, so a 100 ms delay leaves
// 80 ms. A wrapped clock, an endless delay and non-finite samples must not
// overflow or wait forever.
TEST(TriggerDecision, DelayIsShortenedByTheTimeSinceTheInterpolatedCrossing) {
    const struct {
        int32_t source;
        float last, voltage;
        int32_t lastTime, now, delaySetting, expected;
    } cases[] = {
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
    for (const auto& c : cases) {
        // K = 0 = X - 1 with P = 1: the crossing is due.
        CountingState state{.Threshold = 1.0f,
                            .Hysteresis = 100.0f,
                            .TriggerSource = static_cast<TriggerOn>(c.source),
                            .TriggerDelayMs = c.delaySetting,
                            .WasAboveThreshold = c.source == 3};
        ExtremumTracker tracker{0, 0.0f, 0, c.lastTime, c.last};
        const StepResult r = CountingEngine(state, tracker).step(c.voltage, c.now, true);
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        ASSERT_TRUE(r.triggerDue);
        EXPECT_EQ(r.delayMs, c.expected);
    }
}

// Counts one cycle at a time from 0, as the maximum source does: a cycle is
// due when it equals the next trigger count, which is then recomputed.
TEST(NextTrigger, DueCyclesFollowTheProfileAndTheExtraEvents) {
    const struct {
        const char* name;
        std::vector<ProfileRow> rows; // rows 0..n-1; n is ProfileRows
        int32_t fallbackEvery;        // row 6
        int32_t extraEvents, upTo;
        std::vector<int32_t> due;
    } cases[] = {
        {"two rows", {{10, 2}, {20, 5}}, 200, 0, 450, {2, 4, 6, 8, 10, 15, 20, 200, 400}},
        {"two extra events", {}, 100, 2, 250, {1, 2, 100, 101, 102, 200, 201, 202}},
        // Intervals below 1 would divide by zero or run backwards.
        {"every 0 falls back", {{10, 0}}, 3, 0, 12, {3, 6, 9, 12}},
        {"negative every acts as 1", {{3, -4}}, 5, 0, 10, {1, 2, 3, 4, 5, 10}},
        {"fallback 0 acts as 1", {}, 0, 0, 4, {1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        CountingState state{.ExtraEvents = c.extraEvents,
                            .ProfileRows = static_cast<int32_t>(c.rows.size())};
        std::copy(c.rows.begin(), c.rows.end(), state.TriggerProfile.begin());
        state.TriggerProfile[6].Every = c.fallbackEvery;
        CountingEngine::updateNextTrigger(state);
        std::vector<int32_t> due;
        for (state.CycleCount = 1; state.CycleCount <= c.upTo; ++state.CycleCount) {
            if (state.CycleCount == state.NextTriggerCount)
                due.push_back(state.CycleCount);
            CountingEngine::updateNextTrigger(state);
        }
        EXPECT_EQ(due, c.due) << c.name;
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
        EXPECT_EQ(state.CycleCount, expectedCount) << count << ' ' << minor << ' ' << perCycle;
        EXPECT_EQ(state.MinorCount, expectedMinor) << count << ' ' << minor << ' ' << perCycle;
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
