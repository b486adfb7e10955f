// The recorder window over its model and the settings store, and the picture
// it draws: scales, scrolling, marks, redraws, its place and its section of
// the settings file.
#include "platform/SettingsStore.h"
#include "recorder/Form_Xt_Recorder.h"
#include "recorder/XtPlotImage.h"
#include "recorder/XtPlotView.h"
#include "recorder/XtRedrawPlan.h"
#include "recorder/XtScaleView.h"
#include "recording/RecorderDataFile.h"
#include "recording/XtRecorderModel.h"
#include "support/ManualClock.h"
#include "support/RecordingCoreView.h"

#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace {
constexpr int Width = 207;
constexpr int Height = 120;

class RecorderWindow : public testing::Test {
protected:
    void writeSettings(const QByteArray& text) {
        QFile file(settings.path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    }
    // Reads the settings as the program does at start-up and loads the window
    // on a 1280 x 1024 screen.
    Form_Xt_Recorder& load(XtRecorderModel* over = nullptr) {
        settings.load();
        window = std::make_unique<Form_Xt_Recorder>(over ? *over : model, settings);
        window->Form_Load(QRect(0, 0, 1280, 1024));
        return *window;
    }
    QRgb plotPixel(int x, int y) const { return window->plotView().image().image().pixel(x, y); }
    // The checked items of both menus, then the scale labels: "t3 x0 -10 0 10".
    QString scales() const {
        QStringList shown;
        for (QMenu* menu : {window->timeMenu(), window->xMenu()})
            for (qsizetype n = 0; n < menu->actions().size(); ++n)
                if (menu->actions()[n]->isChecked())
                    shown << (menu == window->xMenu() ? u'x' : u't') + QString::number(n);
        for (const XtGeometry::ScaleLabel& label : window->scaleView().labels())
            shown << label.text;
        return shown.join(u' ');
    }

    QTemporaryDir dir;
    ManualClock clock{1000};
    RecordingCoreView problems;
    XtRecorderModel model{clock, dir.filePath(QStringLiteral("Data.dat")), problems};
    XtRecorderModel nextRun{clock, model.DataFileName(), problems}; // the next start's
    SettingsStore settings{dir.filePath(QStringLiteral("Cyclomarkator.INI")), problems};
    std::unique_ptr<Form_Xt_Recorder> window;
};

// Without settings the window loads hidden and scrolling, flush right and as
// tall as the screen, at 10 s / DIV and +-10 V. A menu item sets its scale,
// the check mark and the menu title: 10 min / DIV scrolls one row per 30 s,
// and below 1 V the labels show one decimal. Samples and triggers draw on the
// pen row as they come and scroll down; a change of scale redraws the stored
// trace in the new scale, and the pen goes on from the newest sample's new
// column. A saved index outside a menu, even one that would wrap into it as a
// 16-bit number, becomes item 3.
TEST_F(RecorderWindow, LoadsAndDrawsInTheScalesOfItsMenus) {
    Form_Xt_Recorder& w = load();
    EXPECT_TRUE(!w.isVisible() && w.scrolling());
    EXPECT_EQ(std::pair(w.pos(), w.height()), std::pair(QPoint(1073, 0), 1024));
    EXPECT_EQ(scales(), QStringLiteral("t3 x0 -10 0 10"));
    w.timeMenu()->actions()[8]->trigger();
    w.xMenu()->actions()[4]->trigger();
    EXPECT_EQ(w.scrollIntervalMs(), 30000);
    EXPECT_EQ(w.timeMenu()->title() + w.xMenu()->title(), "&t [10 min / DIV]&X [-0.5 ... +0.5 V]");
    const QString point = QLocale::system().decimalPoint();
    EXPECT_EQ(scales(), "t8 x4 -0" + point + "5 0" + point + "0 0" + point + "5");

    w.mnuXScaling_Click(3); // +-1 V
    w.mnutScaling_Click(0); // 50 ms per row
    model.PlotX(-0.5f);
    clock.advance(250);
    model.PlotTrigger(77);
    EXPECT_EQ(plotPixel(0, 20), XtPlotImage::ForegroundColour);
    w.Timer1_Timer();
    EXPECT_EQ(plotPixel(0, 21), XtPlotImage::ForegroundColour);
    clock.advance(250);
    model.PlotX(0.5f);
    EXPECT_EQ(plotPixel(150, 20), XtPlotImage::TraceColour);
    EXPECT_NE(plotPixel(150, 21), XtPlotImage::TraceColour);

    w.mnuXScaling_Click(4); // +-0.5 V
    EXPECT_EQ(plotPixel(197, 20), XtPlotImage::TraceColour);
    EXPECT_EQ(plotPixel(9, 30), XtPlotImage::TraceColour);
    EXPECT_EQ(plotPixel(0, 25), XtPlotImage::ForegroundColour); // the stored mark
    EXPECT_NEAR(w.plotView().penColumn(), 196.636, 0.001);

    writeSettings("[Recorder]\nTimeScaleIndex=1e99\nXScaleIndex=65536\n");
    load();
    EXPECT_EQ(scales(), QStringLiteral("t3 x3 -1 0 1"));
}

// At program end the window writes its section beside the others, so that the
// next start finds it where it was, and has the model save the chart; after
// that it may close. At the next start the chart comes back from the data file
// and is drawn.
TEST_F(RecorderWindow, UnloadWritesItsSectionAndTheChartThatTheNextStartDraws) {
    writeSettings("[Cyclomarkator]\r\nValue=1234\r\n");
    load().move(100, 200);
    window->resize(207, 400);
    window->mnutScaling_Click(6);
    window->mnuXScaling_Click(2);
    model.PlotX(1.25f);
    window->Form_Unload();
    EXPECT_EQ(QFile(model.DataFileName()).size(), RecorderDataFile::FileSize);
    EXPECT_TRUE(!window->scrolling() && window->close());

    Form_Xt_Recorder& next = load(&nextRun);
    EXPECT_EQ(std::pair(next.pos(), next.height()), std::pair(QPoint(100, 200), 400));
    EXPECT_EQ(scales(), QStringLiteral("t6 x2 -2 0 2"));
    EXPECT_EQ(settings.file().readString("Cyclomarkator", "Value", {}), QStringLiteral("1234"));
    next.enableTimerInit();
    ASSERT_TRUE(QTest::qWaitFor([&] { return nextRun.recording().SampleCount == 1; }, 2000));
    EXPECT_EQ(plotPixel(162, 20), XtPlotImage::TraceColour); // 1.25 V of +-2.2 V
    EXPECT_TRUE(problems.problems.isEmpty());
}

bool sameRow(const QImage& a, int rowA, const QImage& b, int rowB) {
    return std::memcmp(a.constScanLine(rowA), b.constScanLine(rowB),
                       static_cast<size_t>(a.bytesPerLine())) == 0;
}

// A picture of the +-1 V scale with its grid drawn.
class XtPicture : public testing::Test {
protected:
    XtPicture() {
        image.resize(QSize(Width, Height));
        image.drawGrid(columns);
    }
    QRgb pixel(int x, int y) const { return image.image().pixel(x, y); }

    XtPlotImage image;
    XtPlotImage::GridColumns columns = XtGeometry::gridColumns(-1.1f, 1.1f, Width);
};

// Vertical lines at i/22 of the width for odd i, black at full scale and zero,
// grey horizontal lines every 20 rows. A trigger mark is a line across the
// width with "Counter = n" above it. One scroll step moves the picture down
// by one row; the new top row is blank but for the vertical lines, and every
// 20th step it is a grid line again.
TEST_F(XtPicture, GridMarksAndScrolling) {
    for (const int x : {9, 103, 197})
        EXPECT_EQ(pixel(x, 57), XtPlotImage::GridBlack) << x;
    for (const int x : {28, 47, 66, 84, 122, 140, 159, 178})
        EXPECT_EQ(pixel(x, 57), XtPlotImage::GridGrey) << x;
    EXPECT_EQ(pixel(50, 40), XtPlotImage::GridGrey);
    EXPECT_EQ(pixel(50, 41), XtPlotImage::Background);

    for (int step = 0; step < 7; ++step) // a redraw between grid lines restarts the count
        image.scrollStep(columns);
    image.drawGrid(columns);
    const QImage grid = image.image().copy();
    image.drawTriggerMark(60, 1200);
    EXPECT_EQ(XtPlotImage::markText(1200), QStringLiteral("Counter = 1200"));
    EXPECT_NE(image.image().copy(0, 40, Width, 20), grid.copy(0, 40, Width, 20)); // the label
    for (int x = 0; x < Width; ++x)
        ASSERT_EQ(pixel(x, 60), XtPlotImage::ForegroundColour) << x;

    const QImage before = image.image().copy();
    image.scrollStep(columns);
    const QImage& after = image.image();
    for (int row = 1; row < Height; ++row)
        ASSERT_TRUE(sameRow(after, row, before, row - 1)) << row;
    EXPECT_TRUE(sameRow(after, 0, grid, 1));
    for (int step = 2; step <= 20; ++step)
        image.scrollStep(columns);
    EXPECT_TRUE(sameRow(after, 0, grid, 0));
}

// A redraw of points that came from a damaged file: whatever is finite and on
// the image is drawn, lines leaving or entering the image up to its edge, and
// the rest is left out without any conversion of it.
TEST_F(XtPicture, ARedrawSkipsPointsThatAreNotFiniteOrFarAway) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    XtRedrawPlan plan;
    plan.trace = {{103, 20}, {150, 30}, {nan, 40},  {inf, 50}, {1e30, -1e30},
                  {60, 70},  {60, 90},  {260, 290}, {160, 90}};
    plan.marks = {{nan, 1}, {-1e300, 2}, {4e9, 3}, {100, 4}};
    image.drawPlan(plan);
    for (const auto& [x, y] : {std::pair{103, 20}, {150, 30}, {60, 80}, {75, 105}, {170, 110}})
        EXPECT_EQ(pixel(x, y), XtPlotImage::TraceColour) << x << ',' << y;
    EXPECT_NE(pixel(60, 69), XtPlotImage::TraceColour);
    for (int y = 0; y < Height; ++y) // only the finite mark on the image is drawn
        EXPECT_EQ(pixel(0, y) == XtPlotImage::ForegroundColour, y == 100) << y;
}

} // namespace
