#include "adc/Class_AD_Dummy.h"

#include "platform/MillisecondClock.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

struct Worked {
    int32_t ms;
    int32_t raw;
    float volts; // NaN: not a worked value
};

class DummyWorked : public ::testing::TestWithParam<Worked> {};

// 0 ms: the exact quotient is 32767.5000076, so it must not round down.
TEST_P(DummyWorked, MatchesTheRecordedCountsAndVolts) {
    ManualClock clock(GetParam().ms);
    Class_AD_Dummy dummy(clock);
    QString name = QStringLiteral("DummyAD");
    ASSERT_EQ(dummy.AD_load(name), -1);
    dummy.AD_set_averaging(3);
    EXPECT_EQ(dummy.AD_get(0), GetParam().raw);
    EXPECT_EQ(dummy.AD_get(7), GetParam().raw);
    if (!std::isnan(GetParam().volts)) {
        EXPECT_EQ(dummy.AD_get_voltage(0), GetParam().volts);
    }
}

INSTANTIATE_TEST_SUITE_P(Clock, DummyWorked,
                         ::testing::Values(Worked{0, 32768, 0.000152587890625f},
                                           Worked{2500, 55937, NAN}, Worked{5000, 65535, 10.0f},
                                           Worked{15000, 0, -10.0f}));

TEST(Class_AD_Dummy, ReadsBeforeLoadAndAveragingWithoutDividingByZero) {
    ManualClock clock(5000);
    Class_AD_Dummy dummy(clock);
    EXPECT_EQ(dummy.AD_get(0), 65535);
    EXPECT_EQ(dummy.AD_get_voltage(0), 10.0f);
    for (const int32_t requested : {0, -1, INT32_MIN}) {
        EXPECT_EQ(dummy.AD_set_averaging(requested), 1) << requested;
    }
    EXPECT_EQ(dummy.AD_channel_name(3), QStringLiteral("AD_3"));
    EXPECT_EQ(dummy.AD_channel_name(8), QStringLiteral("AD_8"));
}

// Chosen counts through the object's own AD_get, as a derived device would feed them.
class ScriptedDummy : public Class_AD_Dummy {
public:
    using Class_AD_Dummy::Class_AD_Dummy;
    std::vector<int32_t> raws{0, 0, 65535};
    size_t next = 0;
    int32_t AD_get(int32_t) override { return raws.at(next++ % raws.size()); }
};

TEST(Class_AD_Dummy, AveragesTheCountOfSamplesInForce) {
    ManualClock clock;
    ScriptedDummy dummy(clock);
    dummy.AD_set_averaging(3);
    EXPECT_EQ(dummy.AD_get_voltage(0), -10.0f / 3.0f);
    dummy.AD_set_averaging(1);
    EXPECT_EQ(dummy.AD_get_voltage(0), -10.0f);
    EXPECT_EQ(dummy.next, 4u);
}

} // namespace
