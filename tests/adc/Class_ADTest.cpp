// The two backends without hardware: the library placeholder and the
// simulated device.
#include "adc/Class_AD.h"
#include "adc/Class_AD_Dummy.h"
#include "support/ManualClock.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

namespace {

// Function pointers cannot capture, so the fake library answers from here.
struct Library {
    int loads = 0;
    std::string loadedName = "unset";
    std::string text;
    int32_t count = 0;
} lib;

int32_t fakeText(char* buffer) {
    std::memcpy(buffer, lib.text.data(), lib.text.size());
    return lib.count;
}
Class_AD::Exports fakeExports() {
    Class_AD::Exports exports = Class_AD::zr2010();
    exports.AD_load = [](std::string& name) {
        ++lib.loads;
        lib.loadedName = name;
        return 1;
    };
    exports.AD_init = [](int16_t) { return static_cast<int16_t>(0xFFFF); };
    exports.AD_get = [](int32_t) { return static_cast<int16_t>(0xFFFF); };
    exports.AD_channel_name = [](int32_t, char* buffer) { return fakeText(buffer); };
    exports.AD_dll_date = fakeText;
    exports.AD_interface_name = fakeText;
    return exports;
}

// The library is loaded once, at creation, with an empty name; 16-bit answers
// keep their sign (65535 arrives as -1). The library reports how many
// characters it wrote: a count beyond the buffer or below 1 must never make us
// read past it or show garbage.
TEST(Class_AD, LoadsOnceAndKeepsAnswersWithinTheirRange) {
    Class_AD backend(fakeExports());
    EXPECT_EQ(std::tuple(lib.loads, lib.loadedName, backend.AD_get(0), backend.AD_init(0)),
              std::tuple(1, "", -1, -1));
    const std::string full(Class_AD::TextBufferSize, 'x');
    const std::tuple<std::string, int32_t, std::string> cases[] = {
        {"abc", 0, ""}, {"USB-AD", 3, "USB"}, {"abc", -5, ""}, {full, 100000, full}};
    for (const auto& [written, count, expected] : cases) {
        lib.text = written;
        lib.count = count;
        EXPECT_EQ(backend.AD_channel_name(0).toStdString(), expected) << count;
        EXPECT_EQ(backend.AD_dll_date().toStdString(), expected) << count;
        EXPECT_EQ(backend.AD_interface_name().toStdString(), expected) << count;
    }
}

// Readings must match the counts other programs recorded from this device. At
// 0 ms the exact quotient is 32767.5000076, so it must not round down; three
// equal samples must average back to the exact volts.
TEST(Class_AD_Dummy, MatchesTheRecordedCountsAndVolts) {
    // ms, count, volts (NaN: not a worked value)
    const std::tuple<int32_t, int32_t, float> cases[] = {{0, 32768, 0.000152587890625f},
                                                         {2500, 55937, NAN},
                                                         {5000, 65535, 10.0f},
                                                         {15000, 0, -10.0f}};
    for (const auto& [ms, raw, volts] : cases) {
        ManualClock clock(ms);
        Class_AD_Dummy dummy(clock);
        QString name = "DummyAD";
        ASSERT_EQ(dummy.AD_load(name), -1);
        dummy.AD_set_averaging(3);
        EXPECT_EQ(dummy.AD_get(0), raw) << ms;
        EXPECT_TRUE(std::isnan(volts) || dummy.AD_get_voltage(0) == volts) << ms;
    }
}

// Chosen counts through the object's own AD_get, as a derived device would feed them.
class ScriptedDummy : public Class_AD_Dummy {
public:
    using Class_AD_Dummy::Class_AD_Dummy;
    std::vector<int32_t> raws{0, 0, 0, 65535};
    size_t next = 0;
    int32_t AD_get(int32_t) override { return raws.at(next++ % raws.size()); }
};

// Before AD_load and before any averaging is set, and for averaging <= 0, one
// sample is read: never a division by zero.
TEST(Class_AD_Dummy, AveragesTheCountOfSamplesInForce) {
    ManualClock clock;
    ScriptedDummy dummy(clock);
    EXPECT_EQ(dummy.AD_get_voltage(0), -10.0f);
    dummy.AD_set_averaging(3);
    EXPECT_EQ(dummy.AD_get_voltage(0), -10.0f / 3.0f);
    for (const int32_t requested : {0, -1, INT32_MIN})
        EXPECT_EQ(dummy.AD_set_averaging(requested), 1) << requested;
    EXPECT_EQ(dummy.AD_get_voltage(0), -10.0f);
    EXPECT_EQ(dummy.next, 5u);
    // Channels beyond the eight of the record still get a name.
    EXPECT_EQ(dummy.AD_channel_name(8), "AD_8");
}

} // namespace
