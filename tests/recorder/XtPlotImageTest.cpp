#include "recorder/XtPlotImage.h"
#include "recorder/XtRedrawPlan.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace {
constexpr int Width = 207;
constexpr int Height = 120;

bool sameRow(const QImage& a, int rowA, const QImage& b, int rowB) {
    return std::memcmp(a.constScanLine(rowA), b.constScanLine(rowB),
                       static_cast<size_t>(a.bytesPerLine())) == 0;
}

// A picture of the +-1 V scale with its grid drawn.
class PlotImage : public testing::Test {
protected:
    PlotImage() {
        image.resize(QSize(Width, Height));
        image.drawGrid(columns);
    }
    QRgb pixel(int x, int y) const { return image.image().pixel(x, y); }
    static float column(float volts) {
        return XtGeometry::ScaleXtoPixel(volts, -1.1f, 1.1f, Width);
    }

    XtPlotImage image;
    XtPlotImage::GridColumns columns = XtGeometry::gridColumns(-1.1f, 1.1f, Width);
};

// The pen's move is drawn on the pen row 20 from column to column, both
// included, and nowhere else; off the scale it ends at the edge, and a NaN
// sample is never converted to a pixel.
TEST_F(PlotImage, APenMoveDrawsTheColumnsBetweenTheSamplesOnThePenRow) {
    constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float from, to;  // volts
        int first, last; // the columns drawn red
    } cases[] = {{0.0f, 0.5f, 103, 150},
                 {1.0f, -1.0f, 9, 197},
                 {0.5f, 50.0f, 150, 206},
                 {NaN, -1.0f, 9, 9},
                 {0.0f, NaN, 1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " to " << c.to);
        image.drawGrid(columns);
        image.drawPenMove(column(c.from), column(c.to));
        for (int x = 0; x < Width; ++x) {
            EXPECT_EQ(pixel(x, 20) == XtPlotImage::TraceColour, x >= c.first && x <= c.last) << x;
            EXPECT_NE(pixel(x, 19), XtPlotImage::TraceColour) << x;
            EXPECT_NE(pixel(x, 21), XtPlotImage::TraceColour) << x;
        }
    }
}

// Vertical lines at i/22 of the width for odd i, black at full scale and
// zero and unbroken by the grey horizontal lines every 20 rows.
TEST_F(PlotImage, GridLinesLieAtTheDivisions) {
    for (const int x : {9, 103, 197})
        for (const int y : {0, 20, 57, Height - 1})
            EXPECT_EQ(pixel(x, y), XtPlotImage::GridBlack) << x << "," << y;
    for (const int x : {28, 47, 66, 84, 122, 140, 159, 178})
        EXPECT_EQ(pixel(x, 57), XtPlotImage::GridGrey) << x;
    EXPECT_EQ(pixel(50, 40), XtPlotImage::GridGrey);
    EXPECT_EQ(pixel(50, 41), XtPlotImage::Background);
}

// One step moves the picture down by one row; the new top row is blank but
// for the vertical grid lines, and every 20th step it is a grid line.
TEST_F(PlotImage, AScrollStepMovesThePictureDownAndContinuesTheGrid) {
    for (int step = 0; step < 7; ++step) // a redraw between grid lines restarts the count
        image.scrollStep(columns);
    image.drawGrid(columns);
    const QImage grid = image.image().copy();
    image.drawTriggerMark(60, 42);
    const QImage before = image.image().copy();
    image.scrollStep(columns);
    const QImage& after = image.image();
    for (int row = 1; row < Height; ++row)
        ASSERT_TRUE(sameRow(after, row, before, row - 1)) << row;
    EXPECT_TRUE(sameRow(after, 0, grid, 1));
    for (int step = 2; step <= 20; ++step)
        image.scrollStep(columns);
    EXPECT_TRUE(sameRow(after, 0, grid, 0));
    EXPECT_TRUE(sameRow(after, 1, grid, 1));
}

// A trigger mark is a line across the width with its label centred just
// above it, and nothing drawn below.
TEST_F(PlotImage, ATriggerMarkIsALineWithItsLabelCentredAbove) {
    const QImage grid = image.image().copy();
    image.drawTriggerMark(50, 1200);
    for (int x = 0; x < Width; ++x)
        ASSERT_EQ(pixel(x, 50), XtPlotImage::ForegroundColour) << x;
    // The label: whatever changed above the line (its glyphs are smoothed).
    const QFontMetrics metrics(QFont{});
    const int textWidth = metrics.horizontalAdvance(XtPlotImage::markText(1200));
    int left = Width, right = -1, top = Height, bottom = -1;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < Width; ++x)
            if (pixel(x, y) != grid.pixel(x, y)) {
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
// the image is drawn, lines leaving or entering the image up to its edge, and
// the rest is left out without any conversion of it.
TEST_F(PlotImage, ARedrawSkipsPointsThatAreNotFiniteOrFarAway) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    XtRedrawPlan plan;
    plan.trace = {{103, 20}, {150, 30}, {nan, 40},  {inf, 50}, {1e30, -1e30},
                  {60, 70},  {60, 90},  {260, 290}, {160, 90}};
    plan.marks = {{nan, 1}, {-1e300, 2}, {4e9, 3}, {100, 4}};
    image.drawPlan(plan);
    EXPECT_EQ(pixel(103, 20), XtPlotImage::TraceColour);
    EXPECT_EQ(pixel(150, 30), XtPlotImage::TraceColour);
    EXPECT_EQ(pixel(60, 80), XtPlotImage::TraceColour);
    EXPECT_NE(pixel(60, 69), XtPlotImage::TraceColour);
    EXPECT_EQ(pixel(75, 105), XtPlotImage::TraceColour); // out through the bottom edge
    EXPECT_EQ(pixel(89, 119), XtPlotImage::TraceColour);
    EXPECT_EQ(pixel(170, 110), XtPlotImage::TraceColour); // and in again
    for (int y = 0; y < Height; ++y) // only the finite mark on the image is drawn
        EXPECT_EQ(pixel(0, y) == XtPlotImage::ForegroundColour, y == 100) << y;
}

} // namespace
