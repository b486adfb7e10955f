#include "recorder/XtGeometry.h"
#include "recorder/XtScales.h"

#include <gtest/gtest.h>

namespace {
using namespace XtGeometry;

// The plot image tests pin the columns of the +-1 V scale; these are the
// cases they leave open.
TEST(XtGeometry, VoltageMapsFromXminToXmaxOntoTheWidth) {
    EXPECT_FLOAT_EQ(ScaleXtoPixel(0.25f, 0.0f, 1.0f, 101), 25.0f); // a range not centred on 0 V
    // Off the scale the column lies off the image (to be clipped), not on its edge.
    EXPECT_FLOAT_EQ(ScaleXtoPixel(5.0f, -1.1f, 1.1f, 207), 571.18182f);
}

// The row of a sample counts back from the newest, on the pen row 20, also
// when the millisecond clock wrapped between the two.
TEST(XtGeometry, TimeToRowCountsOneRowPerIntervalAcrossAClockWrap) {
    EXPECT_DOUBLE_EQ(timeToRow(5000, 0, 500), 30.0);
    EXPECT_DOUBLE_EQ(timeToRow(100, 75, 50), 20.5);
    EXPECT_DOUBLE_EQ(timeToRow(INT32_MIN + 100, INT32_MAX - 899, 1000), 21.0);
}

// The labels take the locale's decimal separator but always the ASCII minus:
// Swedish has its own minus sign, which would not match the other labels.
// The zero label is centred on the middle grid line.
TEST(XtGeometry, ScaleLabelsTakeTheLocalesSeparatorButNotItsMinus) {
    const XtScales::XRange range = *XtScales::xRange(5); // +-0.2 V
    const auto labels = scaleLabels(range.Xmin, range.Xmax, 207, QLocale(QLocale::Swedish));
    EXPECT_EQ(labels[0].text, QStringLiteral("-0,2"));
    EXPECT_EQ(labels[1].text, QStringLiteral("0,0"));
    EXPECT_EQ(labels[2].text, QStringLiteral("0,2"));
    EXPECT_NEAR(labels[1].centre, 103.0, 1e-3);
}

// A label at the edge of the strip must not be cut off.
TEST(XtGeometry, ScaleLabelsStayWhollyInsideTheStrip) {
    EXPECT_EQ(labelLeft(103, 10, 207), 98);  // centred where there is room
    EXPECT_EQ(labelLeft(9, 24, 207), 0);     // "-10" at the left edge
    EXPECT_EQ(labelLeft(203, 18, 207), 189); // at the right edge
    EXPECT_EQ(labelLeft(50, 300, 207), 0);   // wider than the strip: its start shows
}

} // namespace
