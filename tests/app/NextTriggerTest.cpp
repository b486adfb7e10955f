#include "app/CountingEngine.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace {

constexpr int32_t Max = std::numeric_limits<int32_t>::max();

struct ProfileCase {
    const char* name;
    std::vector<ProfileRow> rows; // rows 0..n-1; n is ProfileRows
    int32_t fallbackEvery;        // row 6
    int32_t extraEvents;
    int32_t upTo;
    std::vector<int32_t> due;
};
void PrintTo(const ProfileCase& c, std::ostream* os) {
    *os << c.name;
}

class DueCycles : public testing::TestWithParam<ProfileCase> {};

// Counts one cycle at a time from 0, as the maximum source does: a cycle is
// due when it equals the next trigger count, which is then recomputed.
TEST_P(DueCycles, FollowTheProfile) {
    const ProfileCase& c = GetParam();
    CountingState state;
    state.ProfileRows = static_cast<int32_t>(c.rows.size());
    for (size_t i = 0; i < c.rows.size(); ++i)
        state.TriggerProfile[i] = c.rows[i];
    state.TriggerProfile[6].Every = c.fallbackEvery;
    state.ExtraEvents = c.extraEvents;
    CountingEngine::updateNextTrigger(state);
    std::vector<int32_t> due;
    for (state.CycleCount = 1; state.CycleCount <= c.upTo; ++state.CycleCount) {
        if (state.CycleCount == state.NextTriggerCount)
            due.push_back(state.CycleCount);
        CountingEngine::updateNextTrigger(state);
    }
    EXPECT_EQ(due, c.due);
}

INSTANTIATE_TEST_SUITE_P(
    NextTrigger, DueCycles,
    testing::Values(ProfileCase{"TwoRowsAndFallback",
                                {{10, 2}, {20, 5}},
                                200,
                                0,
                                450,
                                {2, 4, 6, 8, 10, 15, 20, 200, 400}},
                    ProfileCase{
                        "TwoExtraEvents", {}, 100, 2, 250, {1, 2, 100, 101, 102, 200, 201, 202}},
                    ProfileCase{"NoRowsUsesRowSix", {}, 7, 0, 30, {7, 14, 21, 28}},
                    ProfileCase{"EveryZeroFallsBack", {{10, 0}}, 3, 0, 12, {3, 6, 9, 12}},
                    ProfileCase{"NegativeEveryActsAsOne", {{3, -4}}, 5, 0, 10, {1, 2, 3, 4, 5, 10}},
                    ProfileCase{"FallbackZeroActsAsOne", {}, 0, 0, 4, {1, 2, 3, 4}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NextTrigger, NextTriggerSaturatesAtTheLimit) {
    CountingState state;
    state.CycleCount = Max;
    state.TriggerProfile[6].Every = 7;
    EXPECT_EQ(CountingEngine::nextTriggerCount(state), Max); // q + N
    state.TriggerProfile[6].Every = 2;
    state.ExtraEvents = 2;
    EXPECT_EQ(CountingEngine::nextTriggerCount(state), Max); // count + 1
    state.ExtraEvents = 0;
    state.CycleCount = std::numeric_limits<int32_t>::min(); // set by a peer
    EXPECT_EQ(CountingEngine::nextTriggerCount(state), std::numeric_limits<int32_t>::min() + 2);
}

} // namespace
