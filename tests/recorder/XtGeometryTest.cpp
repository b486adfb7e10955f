#include "recorder/XtGeometry.h"
#include "recorder/XtScales.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
using namespace XtGeometry;

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

struct PixelCase {
    float v, Xmin, Xmax;
    int width;
    float column;
};

class VoltageToColumn : public testing::TestWithParam<PixelCase> {};

TEST_P(VoltageToColumn, MapsTheRangeOntoTheWidth) {
    const PixelCase& c = GetParam();
    EXPECT_FLOAT_EQ(ScaleXtoPixel(c.v, c.Xmin, c.Xmax, c.width), c.column);
}

INSTANTIATE_TEST_SUITE_P(Cases, VoltageToColumn,
                         testing::Values(PixelCase{-1.1f, -1.1f, 1.1f, 207, 0.0f},
                                         PixelCase{0.0f, -1.1f, 1.1f, 207, 103.0f},
                                         PixelCase{1.1f, -1.1f, 1.1f, 207, 206.0f},
                                         PixelCase{10.0f, -11.0f, 11.0f, 207, 196.63637f},
                                         PixelCase{0.25f, 0.0f, 1.0f, 101, 25.0f},
                                         PixelCase{5.0f, -1.1f, 1.1f, 207, 571.18182f}));

// Full scale and zero are black, at 1/22, 11/22 and 21/22 of the width.
TEST(Grid, ElevenColumnsWithFullScaleAndZeroInBlack) {
    const auto columns = gridColumns(-11.0f, 11.0f, 207);
    for (size_t n = 0; n < columns.size(); ++n) {
        const int i = static_cast<int>(2 * n + 1);
        EXPECT_NEAR(columns[n].column, 206.0 * i / 22.0, 1e-4) << i;
        EXPECT_EQ(columns[n].black, i == 1 || i == 11 || i == 21) << i;
    }
    EXPECT_EQ(toPixel(columns[0].column), 9);
    EXPECT_EQ(toPixel(columns[5].column), 103);
    EXPECT_EQ(toPixel(columns[10].column), 197);
}

// The row of a sample counts back from the newest, also when the millisecond
// clock wrapped between the two.
struct RowCase {
    const char* name;
    int32_t t0, time, interval;
    double row;
};

class TimeToRow : public testing::TestWithParam<RowCase> {};

TEST_P(TimeToRow, CountsOneRowPerInterval) {
    const RowCase& c = GetParam();
    EXPECT_DOUBLE_EQ(timeToRow(c.t0, c.time, c.interval), c.row);
}

INSTANTIATE_TEST_SUITE_P(Cases, TimeToRow,
                         testing::Values(RowCase{"Newest", 5000, 5000, 500, 20.0},
                                         RowCase{"TenRowsOlder", 5000, 0, 500, 30.0},
                                         RowCase{"PartOfARow", 100, 75, 50, 20.5},
                                         RowCase{"AcrossTheWrap", INT32_MIN + 100, INT32_MAX - 899,
                                                 1000, 21.0},
                                         RowCase{"TenMinutesPerDivision", 600000, 0, 30000, 40.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TimeToRow, NoIntervalGivesNoRow) {
    EXPECT_TRUE(std::isnan(timeToRow(10, 0, 0)));
}

struct LabelCase {
    const char* name;
    int xScale;
    QLocale locale;
    std::array<const char*, 3> texts;
};

class ScaleLabels : public testing::TestWithParam<LabelCase> {};

TEST_P(ScaleLabels, ReadFullScaleAndZero) {
    const LabelCase& c = GetParam();
    const XtScales::XRange range = *XtScales::xRange(c.xScale);
    const auto labels = scaleLabels(range.Xmin, range.Xmax, 207, c.locale);
    for (size_t n = 0; n < 3; ++n)
        EXPECT_EQ(labels[n].text, QLatin1String(c.texts[n])) << n;
    EXPECT_NEAR(labels[1].centre, 103.0, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScaleLabels,
    testing::Values(LabelCase{"TenVolts", 0, QLocale::c(), {"-10", "0", "10"}},
                    LabelCase{"OneVolt", 3, QLocale::c(), {"-1", "0", "1"}},
                    LabelCase{"HalfAVolt", 4, QLocale::c(), {"-0.5", "0.0", "0.5"}},
                    LabelCase{"TenthOfAVolt", 6, QLocale::c(), {"-0.1", "0.0", "0.1"}},
                    LabelCase{"DecimalComma", 4, QLocale(QLocale::German), {"-0,5", "0,0", "0,5"}},
                    // A locale's own minus sign would not match the other labels.
                    LabelCase{"AsciiMinus", 5, QLocale(QLocale::Swedish), {"-0,2", "0,0", "0,2"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScaleLabels, NeverShowAMinusZero) {
    EXPECT_EQ(formatScaleValue(-0.04, 1.1f, QLocale::c()), QStringLiteral("0"));
    EXPECT_EQ(formatScaleValue(-0.04, 0.55f, QLocale::c()), QStringLiteral("0.0"));
}

TEST(ScaleLabels, StayWhollyInsideTheStrip) {
    EXPECT_EQ(labelLeft(103, 10, 207), 98);  // centred where there is room
    EXPECT_EQ(labelLeft(9, 24, 207), 0);     // "-10" at the left edge
    EXPECT_EQ(labelLeft(203, 18, 207), 189); // at the right edge
    EXPECT_EQ(labelLeft(50, 300, 207), 0);   // wider than the strip: its start shows
}

struct ClipCase {
    const char* name;
    QLineF line;
    bool visible;
    QLineF clipped;
};

class Clipping : public testing::TestWithParam<ClipCase> {};

TEST_P(Clipping, KeepsOnlyThePartInsideTheImage) {
    const ClipCase& c = GetParam();
    const std::optional<QLineF> result = clipLine(c.line, QRectF(0, 0, 206, 999));
    ASSERT_EQ(result.has_value(), c.visible);
    if (!c.visible)
        return;
    EXPECT_NEAR(result->x1(), c.clipped.x1(), 1e-9);
    EXPECT_NEAR(result->y1(), c.clipped.y1(), 1e-9);
    EXPECT_NEAR(result->x2(), c.clipped.x2(), 1e-9);
    EXPECT_NEAR(result->y2(), c.clipped.y2(), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Clipping,
    testing::Values(ClipCase{"PenRowPastTheRight", {100, 20, 300, 20}, true, {100, 20, 206, 20}},
                    ClipCase{"FromFarBelow", {50, 20, 50, 4e7}, true, {50, 20, 50, 999}},
                    ClipCase{"AcrossTheCorner", {-10, -10, 300, 300}, true, {0, 0, 206, 206}},
                    ClipCase{"HugeButOutside", {1e30, 20, 2e30, 30}, false, {}},
                    ClipCase{"NaN", {NaN, 20, 10, 20}, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
