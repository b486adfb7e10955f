// cyclomarkator-count --trend: the picture of a log with a failure (its
// title, N_f and curves, read back from the SVG text and the PNG's pixels),
// and the exit codes of a log that is missing, empty or damaged.
#include "ToolRun.h"
#include "recording/CycleLogFile.h"
#include "recording/TrendPicture.h"
#include "support/ProblemLog.h"

#include <QImage>
#include <QTemporaryDir>

#include <tuple>

namespace {
// Cycles 1 to 5000, a reference at 150 and a failure at 4000.
void writeLog(const QString& path) {
    ProblemLog problems;
    CycleLogFile log(problems, CycleLogSchedule());
    QString error;
    ASSERT_TRUE(log.createAt(path, 0,
                             {"converter: recorded history rig7.txt",
                              "watch: settle 100, reference 50 cycles, drop 10 %, band 20 %"},
                             error));
    for (int32_t n = 1; n <= 5000; ++n) {
        const float a = n < 4000 ? 1.0f : 0.85f;
        log.cycle({n, n * 0.8, 1.0f + a, 1.0f - a, 1.0f, a, 20});
        if (n == 150)
            log.flagRow({n, n * 0.8, 2.0f, 0.0f, 1.0f, 1.0f, 50}, CycleLogFlag::Reference);
    }
    log.flagRow({4000, 3200.0, 1.85f, 0.15f, 1.0f, 0.85f, 3}, CycleLogFlag::Failure);
    ASSERT_TRUE(log.close());
    EXPECT_TRUE(problems.problems.isEmpty());
}

// How many columns of the plot area hold at least `least` pixels of
// `colour`, or of it at least half blended with the white behind it (the
// curves are drawn smoothed).
int columnsWith(const QImage& image, QRgb colour, int least = 1) {
    const QRect area = TrendPicture::plotArea(image.size());
    const auto near = [colour](QRgb p) {
        const int pixel[] = {qRed(p), qGreen(p), qBlue(p)};
        const int want[] = {qRed(colour), qGreen(colour), qBlue(colour)};
        int ink = 0;
        int full = 0;
        for (int i = 0; i < 3; ++i) {
            if (pixel[i] < want[i] - 30)
                return false;
            ink += 255 - pixel[i];
            full += 255 - want[i];
        }
        return 2 * ink >= full;
    };
    int columns = 0;
    for (int x = area.left() + 1; x < area.right(); ++x) {
        int found = 0;
        for (int y = area.top() + 1; y < area.bottom(); ++y)
            found += near(image.pixel(x, y));
        columns += found >= least;
    }
    return columns;
}
} // namespace

TEST(Trend, LogWithAFailureGivesPngAndSvg) {
    QTemporaryDir dir;
    writeLog(dir.filePath("log.csv"));
    const ToolRun svg =
        runTool({"--trend", dir.filePath("log.csv"), "--plot", dir.filePath("t.svg")});
    ASSERT_EQ(svg.exitCode, 0) << svg.err.toStdString();
    const QByteArray text = fileBytes(dir.filePath("t.svg"));
    for (const char* part : {"N_f = 4000", "recorded history rig7.txt", "amplitude drop 10 %"})
        EXPECT_TRUE(text.contains(part)) << part;
    for (const QStringList& axis : {QStringList(), QStringList{"--linear"}}) {
        SCOPED_TRACE(axis.join(' ').toStdString());
        const ToolRun png = runTool(QStringList{"--trend", dir.filePath("log.csv"), "--plot",
                                                dir.filePath("t.png"), "--plot-size", "900x500"} +
                                    axis);
        ASSERT_EQ(png.exitCode, 0) << png.err.toStdString();
        const QImage image(dir.filePath("t.png"));
        ASSERT_EQ(image.size(), QSize(900, 500));
        const int width = TrendPicture::plotArea(image.size()).width();
        // The curves run across the whole cycle axis, N_f is one line.
        for (const QRgb colour : {TrendColors::Peak, TrendColors::Valley, TrendColors::Amplitude})
            EXPECT_GT(columnsWith(image, colour), width * 9 / 10);
        const int tall = TrendPicture::plotArea(image.size()).height() * 9 / 10;
        EXPECT_EQ(columnsWith(image, TrendColors::Failure, tall), 2);
    }
}

TEST(Trend, BadLogsHaveTheirExitCodes) {
    QTemporaryDir dir;
    writeLog(dir.filePath("good.csv"));
    const QByteArray good = fileBytes(dir.filePath("good.csv"));
    const qsizetype columnRow = good.indexOf("cycle,");
    const QString damaged = QStringLiteral("line %1: peak").arg(good.count('\n') + 1);
    // content (null: no file), exit code, message, picture written
    const std::tuple<QByteArray, int, QString, bool> rows[] = {
        {QByteArray(), 2, "cannot open the cycle log", false},
        {QByteArray(""), 1, "is empty", false},
        {"cycle,time\n1,2\n", 1, "is no cycle log", false},
        {good.left(good.indexOf('\n', columnRow) + 1), 1, "holds no cycle rows", false},
        {good + "77,t,1,zz,0,0,1,20,\n", 1, damaged, true},
    };
    for (const auto& [content, code, message, drawn] : rows) {
        const QString log = dir.filePath("log.csv");
        const QString picture = dir.filePath("t.png");
        QFile::remove(log);
        QFile::remove(picture);
        if (!content.isNull())
            putFile(log, content);
        const ToolRun run = runTool({"--trend", log, "--plot", picture});
        EXPECT_EQ(run.exitCode, code) << message.toStdString();
        EXPECT_TRUE(run.err.contains(message)) << run.err.toStdString();
        EXPECT_EQ(QFile::exists(picture), drawn) << message.toStdString();
    }
    EXPECT_EQ(runTool({"--trend", dir.filePath("good.csv")}).exitCode, 2); // no --plot
}
