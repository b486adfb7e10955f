// The recorder's arithmetic: columns, rows, labels, clipping, the scale menus
// and where the window opens.
#include "recorder/RecorderPlacement.h"
#include "recorder/RecorderSettings.h"
#include "recorder/XtGeometry.h"
#include "recorder/XtScales.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
using namespace XtGeometry;
using namespace XtScales;

// The picture tests pin the columns of the +-1 V scale; these are the cases
// they leave open. Off the scale the column lies off the image (to be
// clipped), not on its edge, and beyond what a single holds it is infinite.
TEST(XtGeometry, ColumnsAndRows) {
    EXPECT_FLOAT_EQ(ScaleXtoPixel(0.25f, 0.0f, 1.0f, 101), 25.0f); // a range not centred on 0 V
    EXPECT_FLOAT_EQ(ScaleXtoPixel(5.0f, -1.1f, 1.1f, 207), 571.18182f);
    EXPECT_EQ(ScaleXtoPixel(-3e38f, 0.0f, 1.0f, 101), -INFINITY);
    EXPECT_DOUBLE_EQ(plotYRow(0.0f, -1.0f, 1.0f, 101), 50.0);
    // The row of a sample counts back from the newest, on the pen row 20, also
    // when the millisecond clock wrapped between the two.
    EXPECT_DOUBLE_EQ(timeToRow(5000, 0, 500), 30.0);
    EXPECT_DOUBLE_EQ(timeToRow(100, 75, 50), 20.5);
    EXPECT_DOUBLE_EQ(timeToRow(INT32_MIN + 100, INT32_MAX - 899, 1000), 21.0);
    EXPECT_TRUE(std::isnan(timeToRow(5000, 0, 0)));
    EXPECT_EQ(gridRows(100.4), (std::vector<int>{0, 20, 40, 60, 80, 100}));
    EXPECT_TRUE(gridRows(NAN).empty());
}

// The labels take the locale's decimal separator but always the ASCII minus:
// Swedish has its own minus sign, which would not match the other labels.
// The zero label is centred on the middle grid line; a full scale of exactly
// 1 V still shows whole volts.
TEST(XtGeometry, ScaleLabels) {
    const XtScales::XRange range = *XtScales::xRange(5); // +-0.2 V
    const auto labels = scaleLabels(range.Xmin, range.Xmax, 207, QLocale(QLocale::Swedish));
    EXPECT_EQ(labels[0].text + ' ' + labels[1].text + ' ' + labels[2].text, "-0,2 0,0 0,2");
    EXPECT_NEAR(labels[1].centre, 103.0, 1e-3);
    EXPECT_EQ(formatScaleValue(-1.0, 1.0f, QLocale::c()), QStringLiteral("-1"));
    // A label at the edge of the strip must not be cut off.
    EXPECT_EQ(labelLeft(103, 10, 207), 98);  // centred where there is room
    EXPECT_EQ(labelLeft(9, 24, 207), 0);     // "-10" at the left edge
    EXPECT_EQ(labelLeft(203, 18, 207), 189); // at the right edge
    EXPECT_EQ(labelLeft(50, 300, 207), 0);   // wider than the strip: its start shows
}

// Lines of a damaged chart are cut to the plot; not finite or wholly outside
// they are left out. A line along an edge or touching a corner is kept.
TEST(XtGeometry, LinesAreClippedToThePlot) {
    const QRectF area(0, 0, 10, 10);
    const double nan = NAN;
    const std::pair<QLineF, std::optional<QLineF>> cases[] = {
        {{-5, 5, 15, 5}, QLineF(0, 5, 10, 5)}, {{-5, 0, 15, 0}, QLineF(0, 0, 10, 0)},
        {{-5, 5, 5, -5}, QLineF(0, 0, 0, 0)},  {{20, 20, 30, 30}, std::nullopt},
        {{nan, 1, 2, 3}, std::nullopt},        {{1, nan, 2, 3}, std::nullopt},
        {{1, 2, nan, 3}, std::nullopt},        {{1, 2, 3, nan}, std::nullopt}};
    for (const auto& [line, clipped] : cases)
        EXPECT_EQ(clipLine(line, area), clipped) << line.x1() << ',' << line.y1();
    EXPECT_EQ(toPixel(PixelLimit), 16777216);
    EXPECT_EQ(toPixel(-PixelLimit - 1), std::nullopt);
}

// The menu items as the user reads them, and what each does: the time scales
// scroll one row per interval (20 rows a division), the voltage scales put
// their full scale at 1/22 and 21/22 of the width, so the edges lie at 1.1
// times it. Indexes outside a menu give nothing.
TEST(XtScales, EveryMenuItemSetsWhatItsCaptionSays) {
    QStringList shown;
    for (int32_t n = 0; n < int32_t(TimeScales.size()); ++n)
        shown << QStringLiteral("%1 %2")
                     .arg(QLatin1String(TimeScales[size_t(n)].caption))
                     .arg(*scrollIntervalMs(n));
    for (int32_t n = 0; n < int32_t(VoltageScales.size()); ++n)
        shown << QStringLiteral("%1 %2 %3")
                     .arg(QLatin1String(VoltageScales[size_t(n)].caption),
                          QString::number(xRange(n)->Xmin), QString::number(xRange(n)->Xmax));
    EXPECT_EQ(shown.join(u'|'),
              "1 s / DIV 50|2 s / DIV 100|5 s / DIV 250|10 s / DIV 500|20 s / DIV 1000|"
              "1 min / DIV 3000|2 min / DIV 6000|5 min / DIV 15000|10 min / DIV 30000|"
              "-10 ... +10 V -11 11|-5 ... +5 V -5.5 5.5|-2 ... +2 V -2.2 2.2|"
              "-1 ... +1 V -1.1 1.1|-0.5 ... +0.5 V -0.55 0.55|-0.2 ... +0.2 V -0.22 0.22|"
              "-0.1 ... +0.1 V -0.11 0.11");
    EXPECT_FALSE(scrollIntervalMs(-1) || scrollIntervalMs(9) || xRange(-1) || xRange(7));
}

// Placement on a 1280 x 1000 pixel area starting at (0, 24) under a top
// panel: the window stays wholly on it, whatever the saved place (in twips,
// -1 when none was saved) and the frame around the window.
TEST(RecorderPlacement, KeepsTheWindowOnTheScreen) {
    constexpr float Big = 2147483647.0f;
    // The saved left, top and height, the frame, where the window opens and its height.
    const std::tuple<float, float, float, QSize, QPoint, int> cases[] = {
        {-1, -1, -1, {4, 30}, {1069, 24}, 970},     // defaults: flush right, screen tall
        {1500, 3000, 0, {0, 0}, {100, 24}, 1000},   // a zero height is screen tall
        {1500, 0, 99999, {0, 0}, {100, 24}, 1000},  // taller than the screen
        {0, 15000, 6000, {0, 0}, {0, 624}, 400},    // past the bottom
        {Big, -Big, Big, {0, 0}, {1073, 24}, 1000}, // the extremes a settings file holds
    };
    for (const auto& [left, top, height, frameExtra, topLeft, innerHeight] : cases) {
        SCOPED_TRACE(testing::Message() << left << ' ' << top << ' ' << height);
        const RecorderSettings saved{.Left = left, .Top = top, .Height = height};
        const auto place = RecorderPlacement::place(saved, frameExtra, QRect(0, 24, 1280, 1000));
        EXPECT_EQ(std::pair(place.topLeft, place.height), std::pair(topLeft, innerHeight));
    }
}

} // namespace
