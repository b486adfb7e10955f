// Streams: every scan counted on its own with its time on the converter's
// clock, however the scans are split into ticks, and once a tick a single
// save before the count, the exchange file, the chart and the triggers show it.
#include "counting/CycleSampling.h"
#include "counting/ScanCounting.h"

#include "support/CoreRig.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <numbers>
#include <stdexcept>
#include <tuple>

namespace {

// Blocks the test queues, handed out one a take; an empty queue has nothing new.
class ScriptedStream final : public ScanStream {
public:
    std::deque<ScanBlock> blocks;
    const char* failure = nullptr;
    double rate() const override { return 1000.0; }
    int32_t channels() const override { return 2; }
    void takeScans(ScanBlock& block, int64_t) override {
        if (failure)
            throw std::runtime_error(failure);
        block.clear();
        block.channels = 2;
        if (blocks.empty())
            return;
        block = blocks.front();
        blocks.pop_front();
    }
};

// Two channels: channel 1 (from 0) counts a 1 V sine of `period` scans.
ScanBlock sineBlock(int64_t first, int64_t scans, int64_t period, int64_t lost = 0) {
    ScanBlock block{first, 2, {}, lost};
    for (int64_t i = first; i < first + scans; ++i) {
        block.values.push_back(7.0f);
        block.values.push_back(
            static_cast<float>(std::sin(2.0 * std::numbers::pi * static_cast<double>(i) / period)));
    }
    return block;
}

struct Outcome {
    CountingState state;
    std::vector<std::tuple<int32_t, int32_t, int64_t>> triggers; // cycle, delay, scan
    bool operator==(const Outcome&) const = default;
};

Outcome countInBlocks(const ScanBlock& whole, const std::vector<int64_t>& splits, double rate) {
    Outcome outcome;
    outcome.state.ExtremaPerCycle = 2;
    outcome.state.TriggerSource = TriggerOn::RisingThroughThreshold;
    outcome.state.Threshold = 0.3f;
    outcome.state.TriggerDelayMs = 25;
    outcome.state.TriggerProfile[6].Every = 3;
    ExtremumTracker tracker;
    CountingEngine engine(outcome.state, tracker);
    ScanCounting counting(engine, tracker);
    int64_t start = 0;
    for (const int64_t end : splits) {
        ScanBlock part{whole.firstIndex + start, 2, {}, 0};
        part.values.assign(whole.values.begin() + start * 2, whole.values.begin() + end * 2);
        for (const DueTrigger& t : counting.run(part, 1, rate).triggers)
            outcome.triggers.emplace_back(t.dueCycle, t.delayMs, t.scanIndex);
        start = end;
    }
    return outcome;
}

// However the ticks split a stream, the engine sees the same samples at the
// same converter times: the same count, the same triggers at the same scans
// with the same interpolated delays, as one block taken at once.
TEST(StreamCounting, TheSplitIntoTicksChangesNothing) {
    const ScanBlock whole = sineBlock(5, 3000, 37);
    const Outcome once = countInBlocks(whole, {3000}, 1500.0);
    EXPECT_EQ(once.state.CycleCount, 40);
    EXPECT_EQ(once.triggers.size(), 13u);
    for (const auto& splits : std::vector<std::vector<int64_t>>{
             {1, 2, 3000}, {37, 38, 1000, 2999, 3000}, {500, 1500, 1501, 3000}})
        EXPECT_EQ(countInBlocks(whole, splits, 1500.0), once);
}

TEST(StreamCounting, ConverterTimeAndWhatIsLeftOfADelay) {
    EXPECT_EQ(ScanCounting::millisecondsAt(0, 20000.0), 0);
    EXPECT_EQ(ScanCounting::millisecondsAt(20001, 20000.0), 1000);
    // 2^32 ms and 1 ms later: the clock wraps as the program's tick does.
    EXPECT_EQ(ScanCounting::millisecondsAt(4294967297LL, 1000.0), 1);
    for (const auto& [delay, scan, last, left] : std::vector<std::tuple<int, int, int, int>>{
             {0, 10, 90, 0}, {100, 10, 90, 20}, {100, 10, 10, 100}, {50, 0, 200, -150}})
        EXPECT_EQ(ScanCounting::remainingDelay({1, delay, scan}, last, 1000.0), left)
            << delay << " " << scan << " " << last;
}

class StreamCoreTest : public testing::Test {
protected:
    StreamCoreTest() {
        rig.backend->voltages = {0.0f, 0.0f};
        rig.backend->stream = &stream;
        rig.state.ADChannel = 1;
        rig.state.TriggerProfile[6].Every = 1;
        EXPECT_TRUE(rig.exchange.ADCFile_open());
        EXPECT_TRUE(rig.trigger.OpenTriggerFile());
    }
    void tick(ScanBlock block) {
        stream.blocks.push_back(std::move(block));
        rig.clock.advance(40);
        rig.core->Timer_Cyclomarkator_Timer();
    }
    ScriptedStream stream;
    CoreRig rig;
};

// Three cycles in one tick: one count shown (after it is saved), every
// trigger raised in order, the exchange file holds the saved count and the
// newest scan, and the chart keeps the band of the tick.
TEST_F(StreamCoreTest, ATickCountsEveryScanAndShowsOnlyWhatIsSaved) {
    tick(sineBlock(0, 3 * 40, 40));
    EXPECT_EQ(rig.shownBeforeSaved, 0);
    EXPECT_EQ(std::tuple(rig.state.CycleCount, rig.view.count, rig.saved("Cyclomarkator", "Value")),
              std::tuple(3, QStringLiteral("3"), QStringLiteral("3")));
    EXPECT_EQ(rig.view.titles,
              QList<QString>({"Trigger (1) at 14:03:27 OK", "Trigger (2) at 14:03:27 OK",
                              "Trigger (3) at 14:03:27 OK"}));
    const ScanBlock last = sineBlock(3 * 40 - 1, 1, 40);
    EXPECT_EQ(fileBytes(rig.exchange.path()),
              littleEndianFloats({3, last.values[1], 0, 0, 0, 0, 0, 0}));
    const XtRecording& chart = rig.recorder.recording();
    ASSERT_EQ(chart.SampleCount, 2);
    EXPECT_EQ(std::pair(chart.SampleRing[0].Value, chart.SampleRing[1].Value),
              std::pair(1.0f, -1.0f));
    EXPECT_EQ(chart.MarkCount, 3);
    EXPECT_EQ(rig.backend->reads, std::vector<int32_t>{});
}

// Lost scans are said once an episode with their number, and counting goes
// on from the next scan; a stream that fails is a failed read; a counted
// channel the stream does not have is told, never read as another.
TEST_F(StreamCoreTest, LossFailureAndAMissingChannelAreTold) {
    tick(sineBlock(0, 100, 40));
    tick(sineBlock(150, 100, 40));    // 50 scans never arrived
    tick(sineBlock(250, 100, 40, 7)); // the stream says 7 more were lost
    tick(sineBlock(350, 100, 40));
    tick(sineBlock(450, 100, 40, 3));
    const QString lost = " scans of the stream were lost (a buffer ran over); counting goes on "
                         "from the next scan.";
    EXPECT_EQ(rig.view.problems, QList<QString>({"50" + lost, "3" + lost}));
    EXPECT_EQ(rig.core->lostScans(), 60);
    const int32_t counted = rig.state.CycleCount;
    EXPECT_EQ(counted, 13);

    rig.view.problems.clear();
    stream.failure = "no scans for 2 s";
    tick({});
    tick({});
    stream.failure = nullptr;
    rig.state.ADChannel = 2;
    tick(sineBlock(560, 100, 40));
    EXPECT_EQ(rig.view.problems,
              QList<QString>({"BMC Messsysteme: USB-AD:0 does not answer: no scans for 2 s. "
                              "Counting waits and goes on by itself when it answers again."}));
    EXPECT_EQ(rig.state.CycleCount, counted);
}

// Too few samples a cycle read the peaks low: said once with how low, and
// once again when the rate is enough. Cycles per second on the samples' clock.
TEST(CycleSampling, TooFewSamplesACycleAreToldOnceAndTheirEnd) {
    CycleSampling sampling;
    std::vector<QString> told;
    int64_t index = 0;
    const auto cycles = [&](int n, int64_t samples, double rate) {
        for (int i = 0; i < n; ++i) {
            index += samples;
            if (const auto change = sampling.cycleCompleted(index, index / rate))
                told.push_back((change->tooFew ? "problem: " : "recovery: ") + change->text);
        }
    };
    cycles(10, 10, 25.0);
    EXPECT_EQ(sampling.samplesPerCycle(), 10);
    EXPECT_DOUBLE_EQ(sampling.cyclesPerSecond(), 2.5);
    cycles(20, 50, 25.0);
    sampling.restart();
    cycles(3, 10, 25.0); // two short cycles among the last fifteen: no news
    EXPECT_EQ(told, (std::vector<QString>{
                        "problem: Only 10 samples a cycle: peaks can be read up to 4.9 % low "
                        "(1 - cos(pi/10)) and cycles may be missed; a faster rate is needed "
                        "(rate= on the device address).",
                        "recovery: 50 samples a cycle again: peaks are read within 0.2 %."}));
}

} // namespace
