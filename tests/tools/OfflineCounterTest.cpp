// The offline counter: the same counting and triggers as the program on a
// recorded signal, and its flags.
#include "OfflineCounter.h"
#include "ToolRun.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

// 100 periods of a 2 V sine, 50 samples each: every flag must reach the count
// (--extrema-per-cycle, --threshold and --profile do so in the tool's runs).
TEST(OfflineCounter, CountsGeneratedSignals) {
    const struct {
        QStringList flags;
        int32_t cycles;
        int64_t triggers;
    } cases[] = {
        {{}, 100, 100}, // every maximum, trigger every cycle
        {{"--mode", "min", "--threshold", "-1"}, 100, 100},
        {{"--hysteresis", "5"}, 0, 0}, // swing smaller than hysteresis
        {{"--triggers", "off"}, 100, 0},
        {{"--start-count", "1000", "--profile", "100"}, 1100, 1},
    };
    for (const auto& c : cases) {
        std::FILE* sink = std::tmpfile();
        OfflineCounter counter(parse(c.flags).state, 40, OfflineCounter::Format::Text, sink);
        for (int i = 0; i < 100 * 50; ++i)
            counter.process(static_cast<float>(2.0 * std::sin(2 * M_PI * i / 50)));
        std::fclose(sink);
        EXPECT_EQ(counter.state().CycleCount, c.cycles) << c.flags.join(' ').toStdString();
        EXPECT_EQ(counter.triggersFired(), c.triggers) << c.flags.join(' ').toStdString();
    }
}

// The program takes the side of the threshold from its first reading, so a
// history that starts beyond the threshold has not crossed it at sample 0.
TEST(OfflineCounter, VoltageSourcesStartOnTheSideOfTheFirstSample) {
    const struct {
        const char* source;
        float first, second;
        int64_t triggers;
    } cases[] = {
        {"rising", 1, 1, 0}, {"rising", -1, 1, 1}, {"falling", -1, -1, 0}, {"falling", 1, -1, 1}};
    for (const auto& c : cases) {
        std::FILE* sink = std::tmpfile();
        OfflineCounter counter(parse({"--trigger-source", c.source}).state, 40,
                               OfflineCounter::Format::Text, sink);
        counter.process(c.first);
        counter.process(c.second);
        std::fclose(sink);
        EXPECT_EQ(counter.triggersFired(), c.triggers) << c.source << " " << c.first;
    }
}

// A bad flag must be refused with the flag named, never counted with a guess.
TEST(OfflineCounter, BadFlagsAreRefusedWithAReason) {
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
    };
    for (const auto& [arguments, reason] : cases) {
        CountOptions options;
        QString error;
        EXPECT_FALSE(parseCountOptions(arguments, options, error)) << reason;
        EXPECT_TRUE(error.contains(QLatin1String(reason))) << error.toStdString();
    }
}

// A flag wins over the settings file; the rest comes from the file, decimal
// commas included.
TEST(OfflineCounter, FlagsOverrideTheSettingsFile) {
    QTemporaryDir dir;
    const QString file = dir.filePath("Cyclomarkator.INI");
    writeFile(file, "[Cyclomarkator]\nValue=500\nPeriodizitaet=3\n[Trigger]\nHysterese=0,5\n"
                    "ADthreshold=1\n");
    const CountOptions options = parse({"--threshold", "0,25", "--settings", file});
    EXPECT_EQ(options.state.CycleCount, 500);
    EXPECT_EQ(options.state.ExtremaPerCycle, 3);
    EXPECT_FLOAT_EQ(options.state.Hysteresis, 0.5f);
    EXPECT_FLOAT_EQ(options.state.Threshold, 0.25f);
}
