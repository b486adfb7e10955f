// A history replayed as a stream and counted as the program counts a stream
// gives the offline counter's count, extrema and triggers on the same file,
// however the ticks fall: the same start-up rule, the same gaps, and the same
// times on the engine's clock, so that a delayed voltage-crossing trigger is
// decided alike.
#include "OfflineCounter.h"
#include "ToolRun.h"
#include "adc/ScanStream.h"
#include "counting/ScanCounting.h"
#include "devices/ConverterControl.h"
#include "devices/DeviceTransports.h"
#include "support/ManualClock.h"

#include <QTemporaryDir>

#include <cmath>
#include <tuple>
#include <vector>

namespace {

struct Counted {
    CountingState state;
    std::vector<int64_t> cycles; // the sample that completed each cycle
    std::vector<std::tuple<int64_t, int32_t, int32_t>> triggers; // sample, cycle, delay
    bool operator==(const Counted&) const = default;
};

CountingState settings() {
    CountingState state;
    state.Threshold = 0.4f;
    state.Hysteresis = 0.15f;
    state.TriggerSource = TriggerOn::RisingThroughThreshold;
    state.TriggerDelayMs = 9;
    state.ProfileRows = 1;
    state.TriggerProfile[0] = {12, 2};
    state.TriggerProfile[6].Every = 5;
    CountingEngine::updateNextTrigger(state);
    return state;
}

// The program's way: the replay's stream taken in ticks of uneven length.
Counted program(const QString& address) {
    ManualClock clock;
    const DeviceTransports transports(clock);
    const auto control = transports.createConverter(25, address);
    EXPECT_TRUE(control->open(QStringLiteral("replay"))) << control->openError().toStdString();
    Counted counted{settings(), {}, {}};
    ExtremumTracker tracker;
    CountingEngine engine(counted.state, tracker);
    ScanCounting counting(engine, tracker);
    ScanBlock block;
    for (int tick = 0; tick < 10000 && control->scanStream(); ++tick) {
        clock.advance(tick % 7 == 3 ? 900 : 40 + tick % 5);
        try {
            control->scanStream()->takeScans(block, 4096);
        } catch (const std::exception&) {
            break;
        }
        const double rate = control->scanStream()->rate();
        const ScanTickResult result =
            counting.run(block, 0, rate, [&](int64_t index) { counted.cycles.push_back(index); });
        for (const DueTrigger& due : result.triggers)
            counted.triggers.emplace_back(due.scanIndex, due.dueCycle, due.delayMs);
    }
    return counted;
}

// The offline counter's way, told of every counted extremum and trigger.
struct OfflineRun final : CountObserver {
    Counted counted;
    void extremum(const ExtremumEvent& event) override {
        if (event.counted)
            counted.cycles.push_back(event.index);
    }
    void trigger(const TriggerEvent& event) override {
        counted.triggers.emplace_back(event.index, event.cycle, event.delayMs);
    }
};

Counted offline(const QString& path, SampleReader::Options options, double rate) {
    std::FILE* input = std::fopen(QFile::encodeName(path).constData(), "rb");
    std::FILE* sink = std::tmpfile();
    SampleReader reader(input, options);
    OfflineCounter counter(settings(), 40, OfflineCounter::Format::Text, sink);
    counter.setRate(rate);
    OfflineRun run;
    counter.addObserver(&run);
    SampleReader::Batch batch;
    while (reader.nextBatch(batch) == SampleReader::Status::Sample)
        counter.process(batch.values, batch.times, batch.size);
    std::fclose(sink);
    std::fclose(input);
    run.counted.state = counter.state();
    return run.counted;
}

TEST(ReplayAgreement, TheProgramsStreamCountsAsTheOfflineCounter) {
    QTemporaryDir dir;
    const QString path = dir.filePath("history.csv");
    // Sub-millisecond times with gaps (empty or NaN): a gap takes its time
    // in the time column, none at a rate.
    QByteArray text = "t;load\n";
    for (int i = 0; i < 30000; ++i) {
        const double swing = 0.3 + std::fabs(std::sin(i / 900.0));
        const double value = swing * std::sin(i * 2 * M_PI / 53) + 0.2 * std::sin(i / 7.0);
        text += QByteArray::number(i * 0.0007, 'f', 4) + ';' +
                (i % 997 == 5    ? ""
                 : i % 1409 == 8 ? "nan"
                                 : QByteArray::number(value, 'f', 4)) +
                '\n';
    }
    putFile(path, text);
    // The address's options, the time column the offline counter reads, its rate.
    const std::tuple<const char*, int, double> cases[] = {{"rate=1428.5&speed=3", 0, 1428.5},
                                                          {"time_column=1&speed=7", 1, 0.0}};
    for (const auto& [stream, timeColumn, rate] : cases) {
        SCOPED_TRACE(stream);
        const Counted replayed =
            program(QStringLiteral("replay:%1?column=2&%2").arg(path, QLatin1String(stream)));
        const Counted counted = offline(path,
                                        {.column = 2,
                                         .delimiter = SampleReader::Detect,
                                         .timeColumn = timeColumn,
                                         .skipGaps = true},
                                        rate);
        EXPECT_GT(counted.cycles.size(), 200u);
        EXPECT_GT(counted.triggers.size(), 40u);
        EXPECT_EQ(replayed, counted);
    }
}

} // namespace
