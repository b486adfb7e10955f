// The offline counter: the same counting and triggers as the program on a
// recorded signal, its flags, and the command-line tool's output.
#include "OfflineCounter.h"
#include "CountOptions.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {
CountOptions parse(const QStringList& arguments) {
    CountOptions options;
    QString error;
    EXPECT_TRUE(parseCountOptions(arguments, options, error)) << error.toStdString();
    return options;
}
QString parseError(const QStringList& arguments) {
    CountOptions options;
    QString error;
    EXPECT_FALSE(parseCountOptions(arguments, options, error)) << arguments.join(' ').toStdString();
    return error;
}
} // namespace

// 100 periods of a 2 V sine, 50 samples each: every flag must reach the count.
TEST(OfflineCounter, CountsGeneratedSignals) {
    const struct {
        QStringList flags;
        int32_t cycles;
        int64_t triggers;
    } cases[] = {
        {{}, 100, 100},                         // every maximum, trigger every cycle
        {{"--extrema-per-cycle", "2"}, 50, 50}, // two maxima a cycle
        {{"--mode", "min", "--threshold", "-1"}, 100, 100},
        {{"--threshold", "2.5"}, 0, 0},          // maxima never reach the gate
        {{"--hysteresis", "5"}, 0, 0},           // swing smaller than hysteresis
        {{"--profile", "10:2,20:5,40"}, 100, 9}, // 2..10, 15, 20, 40, 80
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
    EXPECT_TRUE(parseError({"--mode", "both"}).contains("--mode"));
    EXPECT_TRUE(parseError({"--extrema-per-cycle", "0"}).contains("--extrema-per-cycle"));
    EXPECT_TRUE(parseError({"--hysteresis", "-0.1"}).contains("--hysteresis"));
    EXPECT_TRUE(parseError({"--profile", "10:2,5:3,100"}).contains("row 2"));
    EXPECT_TRUE(parseError({"--profile", "10:2"}).contains("--profile"));
    EXPECT_TRUE(parseError({"--profile", "0"}).contains("final interval"));
    EXPECT_TRUE(parseError({"--frobnicate", "1"}).contains("Unknown option"));
    EXPECT_TRUE(parseError({"--threshold"}).contains("needs a value"));
    EXPECT_TRUE(parseError({"--settings", "/nonexistent/x.INI"}).contains("Cannot read"));
    EXPECT_TRUE(parseError({"a.txt", "b.txt"}).contains("Only one input file"));
    EXPECT_TRUE(parseError({"--format", "f16le"}).contains("--format"));
    EXPECT_TRUE(parseError({"--delimiter", "5"}).contains("--delimiter"));
    EXPECT_TRUE(parseError({"--delimiter", "-"}).contains("--delimiter"));
    EXPECT_TRUE(parseError({"--gaps", "fill"}).contains("--gaps"));
    EXPECT_TRUE(parseError({"--scale", "0", "--format", "i16le"}).contains("--scale"));
    EXPECT_TRUE(parseError({"--scale", "2"}).contains("for binary input"));
    EXPECT_TRUE(parseError({"--format", "f32le", "--column", "2"}).contains("for text input"));
    EXPECT_TRUE(parseError({"--time-column", "1"}).contains("needs --column"));
    EXPECT_TRUE(parseError({"--column", "2", "--time-column", "2"}).contains("same column"));
    EXPECT_TRUE(parseError({"--column", "2", "--time-column", "1", "--interval-ms", "5"})
                    .contains("exclude each other"));
    EXPECT_TRUE(parseError({"--plot", "count.jpg"}).contains("--plot"));
    EXPECT_TRUE(parseError({"--plot", "p.png", "--plot-size", "100x100"}).contains("--plot-size"));
    EXPECT_TRUE(parseError({"--plot", "p.png", "--from", "1.5"}).contains("--from"));
    EXPECT_TRUE(parseError({"--plot", "p.png", "--from", "-3"}).contains("--from"));
    EXPECT_TRUE(parseError({"--plot", "p.png", "--from", "9s", "--to", "2s"}).contains("after"));
    EXPECT_TRUE(parseError({"--plot", "p.png", "--from", "1000", "--to", "39s"}).contains("after"));
    EXPECT_TRUE(parseError({"--from", "12.5s"}).contains("is for --plot"));
}

// A flag wins over the settings file; the rest comes from the file, decimal
// commas included.
TEST(OfflineCounter, FlagsOverrideTheSettingsFile) {
    QTemporaryDir dir;
    QFile file(dir.filePath("Cyclomarkator.INI"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Cyclomarkator]\nValue=500\nPeriodizitaet=3\n[Trigger]\nHysterese=0,5\n"
               "ADthreshold=1\n");
    file.close();
    const CountOptions options = parse({"--threshold", "0,25", "--settings", file.fileName()});
    EXPECT_EQ(options.state.CycleCount, 500);
    EXPECT_EQ(options.state.ExtremaPerCycle, 3);
    EXPECT_FLOAT_EQ(options.state.Hysteresis, 0.5f);
    EXPECT_FLOAT_EQ(options.state.Threshold, 0.25f);
}

// The tool's JSON events and summary, its exit code and the exact message for
// a bad line, whose samples before it still count.
TEST(OfflineCounter, ToolReportsEventsAndStopsAtABadLine) {
    QTemporaryDir dir;
    QFile file(dir.filePath("load.csv"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("time;load\n0;0\n40;1\n80;0,5\n120;0,9\n160;0,6\n200;oops\n");
    file.close();
    QProcess tool;
    tool.start(COUNT_TOOL_PATH, {"--column", "2", "--delimiter", ";", "--extrema-per-cycle", "2",
                                 "--json", file.fileName()});
    ASSERT_TRUE(tool.waitForFinished(10000));
    EXPECT_EQ(tool.exitCode(), 1);
    const QString out = QString::fromUtf8(tool.readAllStandardOutput());
    EXPECT_TRUE(out.contains("\"event\":\"extremum\",\"sample\":2,")) << out.toStdString();
    EXPECT_TRUE(out.contains("\"event\":\"summary\",\"samples\":5,\"header_lines\":1,\"gaps\":0,"
                             "\"extrema\":2,\"cycles\":1"))
        << out.toStdString();
    EXPECT_EQ(QString::fromUtf8(tool.readAllStandardError()).trimmed(),
              QStringLiteral("cyclomarkator-count: line 7: \"oops\" is not a number"));
}
