// The picture report: its arithmetic, its columns that never lose a sample,
// and what the drawn picture shows (read back from its pixels, not its bytes).
#include "OfflineCounter.h"
#include "PlotReport.h"
#include "ToolRun.h"
#include "recording/PlotScale.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {
// Runs the counter over `values` with a picture report, as the tool does.
QImage draw(const std::vector<float>& values, const QStringList& arguments) {
    const CountOptions o = parse(arguments + QStringList{"--plot", "unused.png"});
    std::FILE* sink = std::tmpfile();
    OfflineCounter counter(o.state, o.intervalMs, OfflineCounter::Format::Text, sink);
    PlotReport plot(o, "test");
    counter.addObserver(&plot);
    for (size_t i = 0; i < values.size(); i += 4096) {
        const size_t n = std::min<size_t>(4096, values.size() - i);
        plot.addSamples(values.data() + i, nullptr, n, static_cast<int64_t>(i));
        counter.process(values.data() + i, nullptr, n);
    }
    counter.finish(0, 0);
    std::fclose(sink);
    return plot.render();
}

// Centres of the runs of image columns holding `colour` in the plot area, or
// in its upper `share`.
std::vector<double> columnsWith(const QImage& image, QRgb colour, double share = 1.0) {
    const QRect area = PlotScale::plotArea(image.size());
    const int bottom = area.top() + static_cast<int>(area.height() * share) - 1;
    std::vector<double> centres;
    int runStart = -1;
    for (int x = area.left(); x <= area.right() + 1; ++x) {
        bool found = false;
        for (int y = area.top(); y <= bottom && x <= area.right() && !found; ++y)
            found = image.pixel(x, y) == colour;
        if (found && runStart < 0)
            runStart = x;
        if (!found && runStart >= 0) {
            centres.push_back((runStart + x - 1) / 2.0);
            runStart = -1;
        }
    }
    return centres;
}

// A triangle wave of `periods` periods of 100 samples between -2 and 2 V:
// maxima at samples 50, 150, 250, ...
std::vector<float> triangle(int periods) {
    std::vector<float> values;
    for (int i = 0; i < periods * 100; ++i)
        values.push_back(static_cast<float>(2.0 - std::fabs((i % 100) - 50) / 12.5));
    return values;
}

// Where `x` of the shown stretch from..to lies across the plot area.
double pixelOf(const QImage& image, double x, double from, double to) {
    const QRect area = PlotScale::plotArea(image.size());
    return area.left() + area.width() * (x - from) / (to - from);
}
} // namespace

// Ticks are round numbers inside the range; a stretch narrower than a pixel
// still gets a pixel; a constant signal still gets a range.
TEST(PlotScale, TicksPixelsAndRanges) {
    const std::tuple<double, double, std::vector<double>> cases[] = {
        {0, 10, {0, 2, 4, 6, 8, 10}},
        {-4.63, 4.64, {-4, -2, 0, 2, 4}},
        {0.0012, 0.0031, {0.0015, 0.002, 0.0025, 0.003}},
        {5, 5, {}}};
    for (const auto& [min, max, ticks] : cases)
        EXPECT_EQ(PlotScale::ticks(min, max, 6), ticks) << min << ".." << max;
    EXPECT_EQ(PlotScale::tickLabel(0.0025, 0.0005), "0.0025");
    EXPECT_EQ(PlotScale::tickLabel(-4, 2), "-4");
    const PlotAxis x{0.0, 1000.0, 100.0, 1100.0};
    EXPECT_EQ(PlotScale::pixelColumns(x, 10.2, 10.3), (std::pair<int, int>{110, 110}));
    EXPECT_EQ(PlotScale::pixelColumns(x, 10.0, 13.0), (std::pair<int, int>{110, 112}));
    EXPECT_EQ(PlotScale::paddedRange(3, 3), (std::pair<double, double>{2, 4}));
}

// Ten million samples into 1432 columns: the columns merge, memory stays
// fixed, and every sample that stands out is still its column's extreme.
TEST(PlotColumns, NoSampleIsLostWhenTenMillionShareTheColumns) {
    const std::map<int64_t, float> spikes = {
        {123, -3.0f},       {6'553'723, 9.5f}, {6'553'724, -7.0f}, {7'000'001, 4.0f},
        {9'999'998, -1.0f}, {65'537, 2.0f},    {5'000'001, -2.0f}};
    constexpr int64_t Samples = 10'000'000;
    std::vector<float> values(Samples, 0.25f);
    for (const auto& [index, value] : spikes)
        values[size_t(index)] = value;
    // In blocks of 10 000 samples, which the power-of-two columns do not
    // divide: columns span two blocks, and the spikes at 5 000 001 and
    // 7 000 001 stand in the second part of one.
    PlotColumns columns(1432, true);
    for (int64_t start = 0; start < Samples; start += 10'000)
        columns.addSamples(double(start), 1.0, values.data() + start,
                           size_t(std::min<int64_t>(Samples - start, 10'000)));
    columns.addExtremum(6'553'723, 9.5f);
    columns.addExtremum(6'553'900, 3.0f);
    ASSERT_LE(columns.used(), 1432);
    ASSERT_GE(columns.used(), 716);
    const double span = columns.span();
    int64_t samples = 0;
    for (int c = 0; c < columns.used(); ++c) {
        const PlotColumns::Column& column = columns.at(c);
        const auto [low, high] = std::minmax_element(
            values.begin() + int64_t(std::ceil(c * span)),
            values.begin() + std::min(Samples, int64_t(std::ceil((c + 1) * span))));
        EXPECT_EQ(std::pair(column.min, column.max), std::pair(*low, *high)) << c;
        EXPECT_TRUE(column.extrema == 0 || (column.extrema == 2 && column.extreme == 9.5f)) << c;
        samples += column.samples;
    }
    EXPECT_EQ(samples, Samples);
}

// A gap in the sample times leaves columns empty; merging them into their
// neighbours takes nothing from them (no 0 V, no last sample of nothing).
TEST(PlotColumns, EmptyColumnsOfAGapAddNothingWhenMerged) {
    PlotColumns columns(4, true);
    for (const auto& [x, value] : {std::pair(0.0, 5.0f), {1.0, 6.0f}, {4.0, 7.0f}, {9.0, 8.0f}})
        columns.addSample(x, value);
    ASSERT_EQ(columns.span(), 4.0);
    const PlotColumns::Column& merged = columns.at(0); // 0..4: 5 and 6, then the empty 2..4
    EXPECT_EQ(std::tuple(merged.samples, merged.min, merged.max, merged.first, merged.last),
              std::tuple(int64_t(2), 5.0f, 6.0f, 5.0f, 6.0f));
}

// Every counted maximum of a triangle wave gets its mark above its peak, every
// trigger its line, at the columns where they happened. A zoom shows the
// marks of its stretch, and only those, across the width. Degenerate
// histories draw without marks but with their signal. In the drawn picture,
// the one sample in ten million that stands out still colours a pixel at its
// height, far above the rest of the signal: the voltage axis spans -1..6 V
// padded by 5 %, so 3 V lies well below 6 V.
TEST(PlotReport, SpikesMarksAndTriggersStandWhereTheyHappened) {
    const QImage image = draw(triangle(10), {"--threshold", "1", "--profile", "3:1,4"});
    const std::vector<double> marks = columnsWith(image, PlotColors::Extremum);
    ASSERT_EQ(marks.size(), 10u);
    for (size_t k = 0; k < marks.size(); ++k)
        EXPECT_NEAR(marks[k], pixelOf(image, (50 + 100 * k) * 0.04, 0, 999 * 0.04), 2.0) << k;
    // Triggers at cycles 1, 2, 3, 4, 8, confirmed a hysteresis after each peak.
    const std::vector<double> triggers = columnsWith(image, PlotColors::Trigger);
    ASSERT_EQ(triggers.size(), 5u);
    EXPECT_NEAR(triggers[4], pixelOf(image, 753 * 0.04, 0, 999 * 0.04), 2.0);
    EXPECT_FALSE(columnsWith(image, PlotColors::Count).empty());
    for (const QStringList& zoom : {QStringList{"--from", "1000", "--to", "1400"},
                                    QStringList{"--from", "40s", "--to", "56s"}}) {
        const QImage zoomed = draw(triangle(50), zoom);
        const std::vector<double> shown = columnsWith(zoomed, PlotColors::Extremum);
        ASSERT_EQ(shown.size(), 4u) << zoom.join(' ').toStdString();
        EXPECT_NEAR(shown[0], pixelOf(zoomed, 1050, 1000, 1400), 2.0);
        EXPECT_NEAR(shown[3], pixelOf(zoomed, 1350, 1000, 1400), 2.0);
    }
    for (const std::vector<float>& values :
         {std::vector<float>{1.5f}, std::vector<float>(100000, -0.5f)}) {
        const QImage degenerate = draw(values, {});
        EXPECT_FALSE(columnsWith(degenerate, PlotColors::Signal).empty()) << values.size();
        EXPECT_TRUE(columnsWith(degenerate, PlotColors::Extremum).empty()) << values.size();
    }
    std::vector<float> values(10'000'000);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<float>(std::sin(double(i) * 0.001));
    values[5'047'049] = 6.0f;
    const QImage spiky = draw(values, {});
    const std::vector<double> spike = columnsWith(spiky, PlotColors::Signal, 0.35);
    ASSERT_EQ(spike.size(), 1u);
    EXPECT_NEAR(spike[0], pixelOf(spiky, 5'047'049, 0, 9'999'999), 2.0);
}

// Five minutes of a 4 Hz history have fewer samples than the picture has
// columns: the signal still reads as one line. A threshold far above it is
// marked at the edge and leaves the signal the whole height.
TEST(PlotReport, SparseSamplesJoinAndAFarThresholdLeavesTheSignalItsHeight) {
    std::vector<float> values;
    for (int i = 0; i < 1200; ++i)
        values.push_back(static_cast<float>(2.0 * std::sin(i * 0.0785)));
    const QImage image =
        draw(values, {"--interval-ms", "250", "--from", "0s", "--to", "300s", "--threshold", "50"});
    EXPECT_EQ(columnsWith(image, PlotColors::Signal).size(), 1u);
    const QRect area = PlotScale::plotArea(image.size());
    int top = area.bottom(), bottom = area.top();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) == PlotColors::Signal)
                std::tie(top, bottom) = std::pair(std::min(top, y), std::max(bottom, y));
    EXPECT_GT(bottom - top, area.height() * 0.8);
}

// The tool writes PNG and SVG pictures with the same marks and a summary whose
// numbers agree with the count; a bad input or output path writes nothing.
TEST(PlotReport, ToolWritesPicturesAndSummaryOrNothing) {
    QTemporaryDir dir;
    const QString wave = dir.filePath("wave.txt");
    QByteArray text;
    for (const float v : triangle(12))
        text += QByteArray::number(v) + "\n";
    putFile(wave, text);
    putFile(dir.filePath("nan.txt"), "1\n2\nNaN\n3\n");
    const auto run = [](const QStringList& arguments) {
        return runTool(QStringList{"--threshold", "1"} + arguments).exitCode;
    };
    ASSERT_EQ(run({"--plot", dir.filePath("w.png"), "--plot-size", "800x500", "--summary-json",
                   dir.filePath("w.json"), wave}),
              0);
    ASSERT_EQ(run({"--plot", dir.filePath("w.svg"), wave}), 0);
    const QImage png(dir.filePath("w.png"));
    EXPECT_EQ(png.size(), QSize(800, 500));
    EXPECT_EQ(columnsWith(png.convertToFormat(QImage::Format_RGB32), PlotColors::Extremum).size(),
              12u);
    QSvgRenderer svg(dir.filePath("w.svg"));
    ASSERT_TRUE(svg.isValid());
    QImage fromSvg(1600, 900, QImage::Format_RGB32);
    QPainter painter(&fromSvg);
    svg.render(&painter);
    painter.end();
    EXPECT_EQ(columnsWith(fromSvg, PlotColors::Extremum).size(), 12u);
    const QJsonObject summary = QJsonDocument::fromJson(fileBytes(dir.filePath("w.json"))).object();
    EXPECT_EQ(std::tuple(summary["cycles"].toInt(),
                         summary["extrema"]["maxima"]["at_or_above_threshold"].toInt(),
                         summary["signal"]["max"].toDouble(),
                         summary["settings"]["threshold"].toDouble()),
              std::tuple(12, 12, 2.0, 1.0));
    EXPECT_EQ(run({"--plot", dir.filePath("n.png"), "--summary-json", dir.filePath("n.json"),
                   dir.filePath("nan.txt")}),
              1);
    EXPECT_EQ(run({"--plot", wave + "/x.png", wave}), 2);
    EXPECT_EQ(run({"--summary-json", dir.filePath("no/such/x.json"), wave}), 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 5); // inputs, w.png/svg/json
    // A picture the disk does not take is a failed run, not a success.
    if (QFile::link("/dev/full", dir.filePath("full.png"))) {
        EXPECT_EQ(run({"--plot", dir.filePath("full.png"), wave}), 3);
    }
}

// An output that is no regular file (a FIFO, a device, also behind a link) is
// written in place, never replaced by a file, and a FIFO nobody reads is
// refused at once; a link to a regular file stays a link to the new picture.
TEST(PlotReport, OutputsThatAreNoRegularFilesAreNeverReplaced) {
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    const auto local = [&](const char* name) { return QFile::encodeName(path(name)); };
    const auto kind = [&](const char* name) {
        struct stat st {};
        return ::lstat(local(name).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0u;
    };
    const auto run = [&](const char* json, const char* picture) {
        return runTool({"--summary-json", path(json), "--plot", path(picture), path("wave.txt")})
            .exitCode;
    };
    putFile(path("wave.txt"), "0\n2\n0\n2\n0\n");
    putFile(path("real.png"), "old");
    ASSERT_TRUE(QFile::link(QStringLiteral("real.png"), path("link.png")));
    ASSERT_EQ(::mkfifo(local("fifo").constData(), 0600), 0);
    EXPECT_EQ(runTool({"--summary-json", path("fifo"), path("wave.txt")}).exitCode, 2);
    const int reader = ::open(local("fifo").constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(run("fifo", "link.png"), 0);
    char json[4096] = {};
    const ssize_t got = ::read(reader, json, sizeof json - 1);
    ::close(reader);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray(json, std::max<ssize_t>(got, 0)))["samples"], 5);
    EXPECT_EQ(std::tuple(kind("fifo"), kind("link.png")), std::tuple(S_IFIFO, S_IFLNK));
    EXPECT_FALSE(QImage(path("real.png")).isNull());

    if (::getuid() != 0)
        GTEST_SKIP() << "device nodes need root";
    ASSERT_EQ(::mknod(local("null").constData(), S_IFCHR | 0600, makedev(1, 3)), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("null"), path("null.png")));
    EXPECT_EQ(run("null", "null.png"), 0);
    EXPECT_EQ(std::tuple(kind("null"), kind("null.png")), std::tuple(S_IFCHR, S_IFLNK));
}
