#include "app/CountingEngine.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();
constexpr int32_t Max = std::numeric_limits<int32_t>::max();
constexpr int32_t Min = std::numeric_limits<int32_t>::min();

// One mark per sample: '.' nothing counted, 'e' an extremum counted, 'C' a cycle completed.
std::string countMarks(CountingState& state, const std::vector<float>& samples) {
    ExtremumTracker tracker;
    CountingEngine engine(state, tracker);
    std::string marks;
    int32_t now = 0;
    for (float v : samples) {
        const StepResult r = engine.step(v, now += 40, true);
        marks += r.cycleCompleted ? 'C' : (r.extremumCounted ? 'e' : '.');
    }
    return marks;
}

struct DetectionCase {
    const char* name;
    int32_t mode;
    int32_t perCycle;
    float threshold;
    std::vector<float> samples;
    const char* expected;
};
void PrintTo(const DetectionCase& c, std::ostream* os) {
    *os << c.name;
}

class Detection : public testing::TestWithParam<DetectionCase> {};

TEST_P(Detection, CountsConfirmedExtremaPastTheThreshold) {
    const DetectionCase& c = GetParam();
    CountingState state;
    state.CountMode = c.mode;
    state.ExtremaPerCycle = c.perCycle;
    state.Threshold = c.threshold;
    EXPECT_EQ(countMarks(state, c.samples), c.expected);
}

// Hysteresis 0.2 throughout. The exactly-H rows only hold when E+H and E-H are
// rounded to single precision before comparing (in double, 1.8f < 2 - 0.2f).
INSTANTIATE_TEST_SUITE_P(
    CountingEngine, Detection,
    testing::Values(
        DetectionCase{"WorkedExample", 0, 2, 0.0f, {0, 1, 0.5f, 0.9f, 0.6f}, "..e.C"},
        DetectionCase{"ExactlyHBelowMaximum", 0, 1, 0.0f, {2, 1.8f, 1.79f}, "..C"},
        DetectionCase{"ExactlyHAboveMinimum", 1, 1, 5.0f, {3, 1, 1.2f, 1.21f}, "C..C"},
        DetectionCase{"MaximumBelowThreshold", 0, 1, 2.0f, {1.9f, 1, 2, 1}, "...C"},
        DetectionCase{"MinimumExactlyAtThreshold", 1, 1, -1.0f, {-1, 0, 1, -0.9f, 0}, ".C..."},
        DetectionCase{"StartMinimumCounted", 1, 1, 0.0f, {0.5f}, "C"},
        DetectionCase{"StartMinimumAboveThreshold", 1, 1, -0.1f, {0.5f}, "."},
        DetectionCase{"FlatSignal", 0, 1, 0.0f, std::vector<float>(12, 0.0f), "............"},
        DetectionCase{"NoiseBelowH", 0, 1, 0.0f, {3, 3.1f, 2.95f, 3.05f, 2.92f, 3.08f}, "......"},
        DetectionCase{"OnePerCycle", 0, 1, 0.0f, {1, -1, 1, -1, 1}, ".C.C."},
        DetectionCase{
            "NaNChangesNothing", 0, 2, 0.0f, {0, NaN, 1, NaN, 0.5f, 0.9f, 0.6f}, "....e.C"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CountingEngine, WithoutConverterTheExtremeIsPulledToZeroAndNothingCounts) {
    CountingState state;
    state.CountMode = 1;
    ExtremumTracker tracker{0, 5.0f, 1, 0, 0.0f};
    CountingEngine engine(state, tracker);
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(engine.step(7.0f, i, false).extremumCounted);
    EXPECT_EQ(tracker.TrackedExtreme, 0.0f);
    EXPECT_EQ(tracker.LastSampleVoltage, 0.0f);
}

// A square wave counts one maximum per cycle; the trigger is tested against the
// next trigger count before that is recomputed.
TEST(TriggerDecision, MaxSourceFiresOnTheExtremumThatCompletesCycleX) {
    CountingState state;
    state.ExtremaPerCycle = 2;
    state.TriggerProfile[6].Every = 3;
    state.TriggerDelayMs = 250;
    CountingEngine::updateNextTrigger(state);
    ExtremumTracker tracker;
    CountingEngine engine(state, tracker);
    std::vector<int32_t> due;
    for (int i = 0; i < 40; ++i) {
        const StepResult r = engine.step(i % 2 == 0 ? 1.0f : -1.0f, i * 40, true);
        if (r.triggerDue) {
            EXPECT_TRUE(r.cycleCompleted);
            EXPECT_EQ(r.delayMs, 250);
            due.push_back(r.dueCycle);
        }
    }
    EXPECT_EQ(due, (std::vector<int32_t>{3, 6, 9}));
}

struct CrossingCase {
    int32_t source;
    int32_t perCycle;
    int32_t minor;
    int16_t wasAbove;
    float voltage;
    bool due;
};
void PrintTo(const CrossingCase& c, std::ostream* os) {
    *os << "source " << c.source << " P " << c.perCycle << " M " << c.minor << " above "
        << c.wasAbove << " V " << c.voltage;
}

class Crossing : public testing::TestWithParam<CrossingCase> {};

// K = 50 and the profile makes X = 51; the stored X is stale, so only a
// decision made after recomputing X can fire.
TEST_P(Crossing, VoltageSourcesFireOnTheCrossingDuringTheLastExtremumBeforeX) {
    const CrossingCase& c = GetParam();
    CountingState state;
    state.TriggerSource = c.source;
    state.ExtremaPerCycle = c.perCycle;
    state.MinorCount = c.minor;
    state.CycleCount = 50;
    state.NextTriggerCount = 7;
    state.TriggerProfile[6].Every = 51;
    state.Threshold = 1.0f;
    state.Hysteresis = 100.0f; // nothing is confirmed
    state.WasAboveThreshold = c.wasAbove;
    ExtremumTracker tracker;
    const StepResult r = CountingEngine(state, tracker).step(c.voltage, 40, true);
    EXPECT_EQ(r.triggerDue, c.due);
    EXPECT_EQ(r.dueCycle, c.due ? 50 : 0);
    EXPECT_EQ(state.WasAboveThreshold, c.voltage > 1.0f ? -1 : 0);
}

INSTANTIATE_TEST_SUITE_P(TriggerDecision, Crossing,
                         testing::Values(CrossingCase{2, 2, 1, 0, 1.5f, true},
                                         CrossingCase{2, 2, 1, 0, 1.0f, false}, // exactly T
                                         CrossingCase{2, 2, 0, 0, 1.5f, false},
                                         CrossingCase{2, 2, 1, -1, 1.5f, false},
                                         CrossingCase{2, 0, 0, 0, 1.5f, true}, // P 0 acts as 1
                                         CrossingCase{3, 2, 1, -1, 0.5f, true},
                                         CrossingCase{3, 2, 1, -1, 1.0f, false},
                                         CrossingCase{3, 2, 1, 0, 0.5f, false}));

struct DelayCase {
    int32_t source;
    float last;
    float voltage;
    int32_t lastTime;
    int32_t now;
    int32_t delaySetting;
    int32_t expected;
};
void PrintTo(const DelayCase& c, std::ostream* os) {
    *os << "source " << c.source << " " << c.last << "V@" << c.lastTime << " -> " << c.voltage
        << "V@" << c.now << " delay " << c.delaySetting;
}

class Delay : public testing::TestWithParam<DelayCase> {};

TEST_P(Delay, IsShortenedByTheTimeSinceTheInterpolatedCrossing) {
    const DelayCase& c = GetParam();
    CountingState state;
    state.TriggerSource = c.source;
    state.Threshold = 1.0f;
    state.Hysteresis = 100.0f;
    state.TriggerDelayMs = c.delaySetting;
    state.WasAboveThreshold = c.source == 3 ? -1 : 0;
    state.NextTriggerCount = 1; // K = 0 = X - 1 with P = 1: the crossing is due
    ExtremumTracker tracker{0, 0.0f, 0, c.lastTime, c.last};
    const StepResult r = CountingEngine(state, tracker).step(c.voltage, c.now, true);
    ASSERT_TRUE(r.triggerDue);
    EXPECT_EQ(r.delayMs, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    TriggerDecision, Delay,
    testing::Values(DelayCase{2, 0.0f, 2.0f, 1000, 1040, 100, 80},
                    DelayCase{3, 2.0f, 0.0f, 1000, 1040, 100, 80},
                    DelayCase{2, 0.0f, 2.0f, 1000, 1041, 100, 80},        // 79.5 to even
                    DelayCase{2, 0.0f, 2.0f, 1000, 1043, 100, 78},        // 78.5 to even
                    DelayCase{2, 0.0f, 2.0f, 1040, 1040, 100, 0},         // no time passed
                    DelayCase{2, 0.0f, 2.0f, Max - 10, Min + 29, 100, 0}, // clock wrapped
                    DelayCase{2, 0.0f, 2.0f, -2000000000, 2000000000, Max, Max},
                    DelayCase{2, 0.0f, Inf, 1000, 1040, 100, 100},
                    DelayCase{2, NaN, 2.0f, 1000, 1040, 100, 0},
                    DelayCase{2, -Inf, 2.0f, 1000, 1040, 100, 0}));

struct LimitCase {
    const char* name;
    int32_t count;
    int32_t minor;
    int32_t perCycle;
    int32_t expectedCount;
    int32_t expectedMinor;
};
void PrintTo(const LimitCase& c, std::ostream* os) {
    *os << c.name;
}

class Limits : public testing::TestWithParam<LimitCase> {};

TEST_P(Limits, CountingNeverOverflows) {
    const LimitCase& c = GetParam();
    CountingState state;
    state.CycleCount = c.count;
    state.MinorCount = c.minor;
    state.ExtremaPerCycle = c.perCycle;
    CountingEngine::countExtremum(state);
    EXPECT_EQ(state.CycleCount, c.expectedCount);
    EXPECT_EQ(state.MinorCount, c.expectedMinor);
    EXPECT_GT(CountingEngine::nextTriggerCount(state), Min);
}

INSTANTIATE_TEST_SUITE_P(CountingEngine, Limits,
                         testing::Values(LimitCase{"CountStaysAtLimit", Max, 0, 1, Max, 0},
                                         LimitCase{"MinorNearLimit", 5, Max - 1, Max, 6, 0},
                                         LimitCase{"PerCycleZero", 5, 0, 0, 6, 0},
                                         LimitCase{"PerCycleNegative", 5, 3, -4, 6, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
