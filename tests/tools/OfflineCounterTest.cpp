// The offline counter: the same counting and triggers as the program on a
// recorded signal, and its flags.
#include "OfflineCounter.h"
#include "ToolRun.h"

#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

// 100 periods of a 2 V sine, 50 samples each: every flag must reach the count
// (--extrema-per-cycle, --threshold and --profile do so in the tool's runs).
// The program takes the side of the threshold from its first reading, so a
// history that starts beyond the threshold has not crossed it at sample 0.
TEST(OfflineCounter, CountsGeneratedSignals) {
    std::vector<float> sine;
    for (int i = 0; i < 100 * 50; ++i)
        sine.push_back(static_cast<float>(2.0 * std::sin(2 * M_PI * i / 50)));
    // The flags, the signal, the cycles counted and the triggers fired.
    const std::tuple<QStringList, std::vector<float>, int32_t, int64_t> cases[] = {
        {{}, sine, 100, 100}, // every maximum, trigger every cycle
        {{"--mode", "min", "--threshold", "-1"}, sine, 100, 100},
        {{"--hysteresis", "5"}, sine, 0, 0}, // swing smaller than hysteresis
        {{"--triggers", "off"}, sine, 100, 0},
        {{"--start-count", "1000", "--profile", "100"}, sine, 1100, 1},
        {{"--trigger-source", "rising"}, {1, 1}, 0, 0},
        {{"--trigger-source", "rising"}, {-1, 1}, 0, 1},
        {{"--trigger-source", "falling"}, {-1, -1}, 0, 0},
        {{"--trigger-source", "falling"}, {1, -1}, 1, 1}, // the maximum at 1 V counts
    };
    for (const auto& [flags, signal, cycles, triggers] : cases) {
        SCOPED_TRACE(flags.join(' ').toStdString() + ' ' + std::to_string(signal[0]));
        std::FILE* sink = std::tmpfile();
        OfflineCounter counter(parse(flags).state, 40, OfflineCounter::Format::Text, sink);
        counter.process(signal.data(), nullptr, signal.size());
        std::fclose(sink);
        EXPECT_EQ(std::pair(counter.state().CycleCount, counter.triggersFired()),
                  std::pair(cycles, triggers));
    }
}

// A bad flag must be refused with the flag named, never counted with a guess.
// A good one wins over the settings file; the rest comes from the file,
// decimal commas included.
TEST(OfflineCounter, BadFlagsAreRefusedAndFlagsOverrideTheSettingsFile) {
    const std::pair<QStringList, const char*> cases[] = {
        {{"--mode", "both"}, "--mode"},
        {{"--extrema-per-cycle", "0"}, "--extrema-per-cycle"},
        {{"--hysteresis", "-0.1"}, "--hysteresis"},
        {{"--profile", "10:2,5:3,100"}, "row 2"},
        {{"--profile", "10:2"}, "--profile"},
        {{"--profile", "0"}, "final interval"},
        {{"--frobnicate", "1"}, "Unknown option"},
        {{"--threshold"}, "needs a value"},
        {{"--settings", "/nonexistent/x.INI"}, "Cannot read"},
        {{"a.txt", "b.txt"}, "Only one input file"},
        {{"--format", "f16le"}, "--format"},
        {{"--delimiter", "5"}, "--delimiter"},
        {{"--gaps", "fill"}, "--gaps"},
        {{"--scale", "0", "--format", "i16le"}, "--scale"},
        {{"--scale", "2"}, "for binary input"},
        {{"--format", "f32le", "--column", "2"}, "for text input"},
        {{"--time-column", "1"}, "needs --column"},
        {{"--column", "2", "--time-column", "2"}, "same column"},
        {{"--column", "2", "--time-column", "1", "--interval-ms", "5"}, "exclude each other"},
        {{"--plot", "count.jpg"}, "--plot"},
        {{"--plot", "p.png", "--plot-size", "100x100"}, "--plot-size"},
        {{"--plot", "p.png", "--from", "-3"}, "--from"},
        {{"--plot", "p.png", "--from", "1000", "--to", "39s"}, "after"},
        {{"--from", "12.5s"}, "is for --plot"},
        {{"--rate", "0"}, "--rate"},
        {{"--rate", "2e6"}, "--rate"},
        {{"--rate", "500", "--interval-ms", "5"}, "--rate excludes"},
        {{"--column", "2", "--time-column", "1", "--rate", "5"}, "--rate excludes"},
        {{"--watch", "--drop", "100"}, "--drop"},
        {{"--watch", "--band", "0"}, "--band"},
        {{"--watch", "--confirm", "0"}, "--confirm"},
        {{"--watch", "--stall-seconds", "-1"}, "--stall-seconds"},
        {{"--settle", "5"}, "is for --watch"},
    };
    for (const auto& [arguments, reason] : cases) {
        CountOptions options;
        QString error;
        EXPECT_FALSE(parseCountOptions(arguments, options, error)) << reason;
        EXPECT_TRUE(error.contains(QLatin1String(reason))) << error.toStdString();
    }
    QTemporaryDir dir;
    const QString file = dir.filePath("Cyclomarkator.INI");
    putFile(file, "[Cyclomarkator]\nValue=500\nPeriodizitaet=3\n[Trigger]\nHysterese=0,5\n"
                  "ADthreshold=1\n");
    const CountOptions options = parse({"--threshold", "0,25", "--settings", file});
    const CountingState& s = options.state;
    EXPECT_EQ(std::tuple(s.CycleCount, s.ExtremaPerCycle, s.Hysteresis, s.Threshold),
              std::tuple(500, 3, 0.5f, 0.25f));
}
