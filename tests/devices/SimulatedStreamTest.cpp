// The simulated box with a rate: hardware-timed scans on the program's clock,
// each numbered, none invented or doubled, and an overrun of its buffer told
// as lost scans.
#include "devices/SimulatedBox.h"

#include "support/ManualClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

TEST(SimulatedStream, ScansFollowTheClockAndARunOverBufferLosesTheOldest) {
    ManualClock clock{-5}; // the clock wraps during the run
    SimulatedBox box(clock, SimulatedBox::parse("rate=1000,frequency=2.5,amplitude=2"));
    SimulatedBox plain(clock, SimulatedBox::parse("frequency=2.5"));
    ASSERT_TRUE(box.open("usbbase:0") && plain.open("usbbase:0"));
    EXPECT_EQ(plain.scanStream(), nullptr);
    SimulatedBox one(clock, SimulatedBox::parse("rate=10,channels=1"));
    ASSERT_TRUE(one.open("usbbase:0"));
    EXPECT_EQ(std::tuple(one.channels(), one.scanStream()->channels(), plain.channels()),
              std::tuple(1, 1, 0));
    ScanStream* stream = box.scanStream();
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(std::tuple(stream->rate(), stream->channels()), std::tuple(1000.0, 8));

    ScanBlock block;
    const auto take = [&](int32_t ms, int64_t most) {
        clock.advance(ms);
        stream->takeScans(block, most);
        return std::tuple(block.firstIndex, block.scans(), block.lost);
    };
    EXPECT_EQ(take(1000, 600), std::tuple(0, 600, 0));
    // Scan 100 is 0.1 s in: a quarter of the 2.5 Hz sine, its crest.
    EXPECT_FLOAT_EQ(block.value(100, 0), 2.0f);
    EXPECT_FLOAT_EQ(block.value(100, 1),
                    static_cast<float>(0.8 * std::sin(std::numbers::pi * 0.05)));
    EXPECT_EQ(take(0, 10000), std::tuple(600, 401, 0));
    // 6000 scans wait, the buffer holds 4 s of them.
    EXPECT_EQ(take(6000, 100000), std::tuple(3001, 4000, 2000));
}

// An injected silence throws (a failed read) and its scans are never handed
// out afterwards as if they had arrived.
TEST(SimulatedStream, ASilentSpellIsAFailedReadAndIsSkipped) {
    ManualClock clock{0};
    SimulatedBox box(clock, SimulatedBox::parse("rate=100,fail_after=1,recover_after=1,scans=35"));
    ASSERT_TRUE(box.open("usbbase:0"));
    ScanBlock block;
    const auto take = [&](int32_t ms) {
        clock.advance(ms);
        box.scanStream()->takeScans(block, 1000);
        return std::tuple(block.firstIndex, block.scans());
    };
    EXPECT_EQ(take(100), std::tuple(0, 11));
    EXPECT_THROW(take(100), std::exception);
    EXPECT_EQ(take(100), std::tuple(21, 10));
    // A stream of a fixed length ends like a device that stops answering.
    EXPECT_EQ(take(1000), std::tuple(31, 4));
    EXPECT_THROW(take(0), std::exception);
}

} // namespace
