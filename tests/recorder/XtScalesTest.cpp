#include "recorder/XtScales.h"
#include "platform/ProfileFile.h"
#include "recorder/RecorderPlacement.h"
#include "recorder/RecorderSettings.h"

#include <gtest/gtest.h>

namespace {

TEST(TimeScales, IntervalIsTheNearestMillisecondPerRow) {
    const std::array<int32_t, 9> expected{50, 100, 250, 500, 1000, 3000, 6000, 15000, 30000};
    for (int n = 0; n < 9; ++n)
        EXPECT_EQ(XtScales::scrollIntervalMs(n), expected[static_cast<size_t>(n)]) << n;
    EXPECT_FALSE(XtScales::scrollIntervalMs(9).has_value());
    EXPECT_FALSE(XtScales::scrollIntervalMs(-1).has_value());
    EXPECT_EQ(XtScales::timeMenuTitle(8), QStringLiteral("&t [10 min / DIV]"));
}

TEST(VoltageScales, FullScaleSitsAtAnEleventhInsideTheEdges) {
    const std::array<float, 7> full{10.0f, 5.0f, 2.0f, 1.0f, 0.5f, 0.2f, 0.1f};
    for (int n = 0; n < 7; ++n) {
        const XtScales::XRange range = *XtScales::xRange(n);
        EXPECT_FLOAT_EQ(range.Xmax, full[static_cast<size_t>(n)] * 1.1f) << n;
        EXPECT_EQ(range.Xmin, -range.Xmax) << n;
    }
    EXPECT_EQ(XtScales::xRange(3)->Xmax, 1.1f);
    EXPECT_FALSE(XtScales::xRange(7).has_value());
    EXPECT_EQ(XtScales::xMenuTitle(4), QStringLiteral("&X [-0.5 ... +0.5 V]"));
}

struct SettingsCase {
    const char* name;
    const char* text;
    int16_t time, x;
};

class ReadSettings : public testing::TestWithParam<SettingsCase> {};

TEST_P(ReadSettings, IndicesOutsideTheMenusBecomeItemThree) {
    ProfileFile file;
    file.loadText(QString::fromUtf8(GetParam().text));
    const RecorderSettings settings = RecorderSettings::read(file);
    EXPECT_EQ(settings.TimeScaleIndex, GetParam().time);
    EXPECT_EQ(settings.XScaleIndex, GetParam().x);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadSettings,
    testing::Values(
        SettingsCase{"Missing", "", 3, 0},
        SettingsCase{"Chosen", "[recorder]\ntimescaleindex=8\nXScaleIndex=6\n", 8, 6},
        SettingsCase{"OutOfRange", "[Recorder]\nTimeScaleIndex=12\nXScaleIndex=-1\n", 3, 3},
        SettingsCase{"Huge", "[Recorder]\nTimeScaleIndex=1e99\nXScaleIndex=65536\n", 3, 3},
        SettingsCase{"DecimalComma", "[Recorder]\nTimeScaleIndex=4,5\n", 4, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct PlaceCase {
    const char* name;
    float left, top, height; // twips
    QSize frameExtra;
    QPoint topLeft;
    int innerHeight;
};

class Placement : public testing::TestWithParam<PlaceCase> {};

// A 1280 x 1000 pixel area starting at (0, 24) under a top panel.
TEST_P(Placement, KeepsTheWindowOnTheScreen) {
    const PlaceCase& c = GetParam();
    RecorderSettings saved;
    saved.Left = c.left;
    saved.Top = c.top;
    saved.Height = c.height;
    const RecorderPlacement::Place place =
        RecorderPlacement::place(saved, c.frameExtra, QRect(0, 24, 1280, 1000));
    EXPECT_EQ(place.topLeft, c.topLeft);
    EXPECT_EQ(place.height, c.innerHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Placement,
    testing::Values(PlaceCase{"Defaults", -1, -1, -1, QSize(0, 0), {1073, 24}, 1000},
                    PlaceCase{"DefaultsWithFrame", -1, -1, -1, {4, 30}, {1069, 24}, 970},
                    PlaceCase{"Saved", 1500, 3000, 6000, QSize(0, 0), {100, 200}, 400},
                    PlaceCase{
                        "ZeroHeightIsScreenTall", 1500, 3000, 0, QSize(0, 0), {100, 24}, 1000},
                    PlaceCase{"TallerThanTheScreen", 1500, 0, 99999, QSize(0, 0), {100, 24}, 1000},
                    PlaceCase{"PastTheRightEdge", 30000, 600, 3000, QSize(0, 0), {1073, 40}, 200},
                    PlaceCase{"PastTheBottom", 0, 15000, 6000, QSize(0, 0), {0, 624}, 400},
                    PlaceCase{"Saturated",
                              2147483647.0f,
                              -2147483648.0f,
                              2147483647.0f,
                              QSize(0, 0),
                              {1073, 24},
                              1000}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
