#include "recorder/XtPlotImage.h"
#include "recorder/XtRedrawPlan.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace {
using XtGeometry::ScaleXtoPixel;

constexpr float Xmin = -1.1f; // the +-1 V scale
constexpr float Xmax = 1.1f;
constexpr int Width = 207;
constexpr int Height = 120;

QRgb pixel(const XtPlotImage& image, int x, int y) {
    return image.image().pixel(x, y);
}

bool sameRow(const QImage& a, int rowA, const QImage& b, int rowB) {
    return std::memcmp(a.constScanLine(rowA), b.constScanLine(rowB),
                       static_cast<size_t>(a.bytesPerLine())) == 0;
}

class PlotImage : public testing::Test {
protected:
    PlotImage() {
        image.resize(QSize(Width, Height));
        image.drawGrid(columns);
    }
    void penTo(float volts) {
        const float to = ScaleXtoPixel(volts, Xmin, Xmax, Width);
        image.drawPenMove(pen, to);
        pen = to;
    }

    XtPlotImage image;
    XtPlotImage::GridColumns columns = XtGeometry::gridColumns(Xmin, Xmax, Width);
    float pen = ScaleXtoPixel(0.0f, Xmin, Xmax, Width); // the pen rests at 0 V
};

struct PenCase {
    float volts;
    int column;
};

class PenPixel : public PlotImage, public testing::WithParamInterface<PenCase> {};

TEST_P(PenPixel, TheSampleIsRedOnThePenRowAtItsColumn) {
    penTo(0.0f);
    penTo(GetParam().volts);
    EXPECT_EQ(pixel(image, GetParam().column, 20), XtPlotImage::TraceColour);
    // The pen's move stays on its row.
    EXPECT_NE(pixel(image, GetParam().column, 19), XtPlotImage::TraceColour);
    EXPECT_NE(pixel(image, GetParam().column, 21), XtPlotImage::TraceColour);
}

INSTANTIATE_TEST_SUITE_P(Cases, PenPixel,
                         testing::Values(PenCase{1.0f, 197}, PenCase{-1.0f, 9}, PenCase{0.5f, 150},
                                         PenCase{1.1f, 206}));

TEST_F(PlotImage, ThePenDrawsTheWholeMoveAndNothingBeyond) {
    penTo(0.0f);
    penTo(0.5f);
    for (int x = 103; x <= 150; ++x)
        EXPECT_EQ(pixel(image, x, 20), XtPlotImage::TraceColour) << x;
    EXPECT_NE(pixel(image, 102, 20), XtPlotImage::TraceColour);
    EXPECT_NE(pixel(image, 151, 20), XtPlotImage::TraceColour);
}

TEST_F(PlotImage, APenOffTheScaleOrNotANumberDrawsOnlyWhatIsOnTheImage) {
    penTo(0.0f);
    penTo(50.0f); // far to the right: the row up to the edge
    EXPECT_EQ(pixel(image, 206, 20), XtPlotImage::TraceColour);
    penTo(std::numeric_limits<float>::quiet_NaN());
    penTo(-1.0f);
    EXPECT_EQ(pixel(image, 9, 20), XtPlotImage::TraceColour);
    EXPECT_NE(pixel(image, 10, 20), XtPlotImage::TraceColour);
}

TEST_F(PlotImage, GridHasBlackFullScaleAndZeroAndGreyDivisions) {
    for (const int x : {9, 103, 197})
        for (const int y : {0, 20, 57, Height - 1})
            EXPECT_EQ(pixel(image, x, y), XtPlotImage::GridBlack) << x << "," << y;
    EXPECT_EQ(pixel(image, 28, 33), XtPlotImage::GridGrey); // i = 3
    EXPECT_EQ(pixel(image, 50, 40), XtPlotImage::GridGrey); // horizontal line
    EXPECT_EQ(pixel(image, 50, 41), XtPlotImage::Background);
}

// One step: the picture moves down by one row, the new top row is blank but
// for the 11 grid pixels, and every 20th step it is a grid line.
TEST_F(PlotImage, AScrollStepMovesThePictureDownAndContinuesTheGrid) {
    for (int step = 0; step < 7; ++step) // a redraw between grid lines restarts the count
        image.scrollStep(columns);
    image.drawGrid(columns);
    penTo(0.7f);
    image.drawTriggerMark(60, 42);
    const QImage before = image.image().copy();
    image.scrollStep(columns);
    const QImage& after = image.image();
    for (int row = 1; row < Height; ++row)
        ASSERT_TRUE(sameRow(after, row, before, row - 1)) << row;
    int grey = 0;
    for (int x = 0; x < Width; ++x) {
        const QRgb c = after.pixel(x, 0);
        if (x == 9 || x == 103 || x == 197)
            EXPECT_EQ(c, XtPlotImage::GridBlack) << x;
        else if (c == XtPlotImage::GridGrey)
            ++grey;
        else
            EXPECT_EQ(c, XtPlotImage::Background) << x;
    }
    EXPECT_EQ(grey, 8);
    EXPECT_EQ(image.GridRowCounter(), 1);

    for (int step = 2; step <= 20; ++step)
        image.scrollStep(columns);
    EXPECT_EQ(image.GridRowCounter(), 0);
    EXPECT_EQ(after.pixel(50, 0), XtPlotImage::GridGrey);
    EXPECT_EQ(after.pixel(103, 0), XtPlotImage::GridBlack);
    EXPECT_EQ(after.pixel(50, 20), XtPlotImage::GridGrey); // the grid's row 0, moved
    EXPECT_EQ(after.pixel(50, 19), XtPlotImage::Background);
}

TEST_F(PlotImage, ATriggerMarkIsALineWithItsLabelCentredAbove) {
    const QImage grid = image.image().copy();
    image.drawTriggerMark(50, 1200);
    for (int x = 0; x < Width; ++x)
        ASSERT_EQ(pixel(image, x, 50), XtPlotImage::ForegroundColour) << x;
    // The label: whatever changed above the line (its glyphs are smoothed).
    const QFontMetrics metrics(QFont{});
    const int textWidth = metrics.horizontalAdvance(XtPlotImage::markText(1200));
    int left = Width, right = -1, top = Height, bottom = -1;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < Width; ++x)
            if (pixel(image, x, y) != grid.pixel(x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    ASSERT_GE(right, 0) << "no label";
    EXPECT_GE(top, 50 - metrics.height());
    EXPECT_GE(bottom, 50 - metrics.height() / 2); // it stands on the line, not far above
    EXPECT_GE(left, (Width - textWidth) / 2 - 1);
    EXPECT_LE(right, (Width + textWidth) / 2 + 1);
    EXPECT_NEAR((left + right) / 2.0, Width / 2.0, 4.0);
    EXPECT_TRUE(sameRow(image.image(), 51, grid, 51));
}

// A redraw of points that came from a damaged file: whatever is finite and on
// the image is drawn, the rest is left out without any conversion of it.
TEST_F(PlotImage, ARedrawSkipsPointsThatAreNotFiniteOrFarAway) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    XtRedrawPlan plan;
    plan.trace = {{103, 20}, {150, 30}, {nan, 40}, {inf, 50}, {1e30, -1e30}, {60, 70}, {60, 90}};
    plan.marks = {{nan, 1}, {-1e300, 2}, {4e9, 3}, {100, 4}};
    image.drawPlan(plan);
    EXPECT_EQ(pixel(image, 103, 20), XtPlotImage::TraceColour);
    EXPECT_EQ(pixel(image, 150, 30), XtPlotImage::TraceColour);
    EXPECT_EQ(pixel(image, 60, 80), XtPlotImage::TraceColour);
    EXPECT_NE(pixel(image, 60, 69), XtPlotImage::TraceColour);
    EXPECT_EQ(pixel(image, 0, 100), XtPlotImage::ForegroundColour);
    EXPECT_NE(pixel(image, 0, 99), XtPlotImage::ForegroundColour);
}

} // namespace
