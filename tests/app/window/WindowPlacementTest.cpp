#include "app/WindowPlacement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct TwipsCase {
    double twips;
    int pixels;
};

class TwipsToPixels : public testing::TestWithParam<TwipsCase> {};

TEST_P(TwipsToPixels, RoundsToTheNearestPixelAndSurvivesDamagedValues) {
    EXPECT_EQ(WindowPlacement::twipsToPixels(GetParam().twips), GetParam().pixels);
}

constexpr int IntMax = std::numeric_limits<int>::max();
constexpr int IntMin = std::numeric_limits<int>::min();

INSTANTIATE_TEST_SUITE_P(
    Values, TwipsToPixels,
    testing::Values(TwipsCase{0.0, 0}, TwipsCase{15.0, 1}, TwipsCase{7.0, 0}, TwipsCase{8.0, 1},
                    TwipsCase{1500.0, 100}, TwipsCase{-1500.0, -100}, TwipsCase{1234.5, 82},
                    TwipsCase{std::nan(""), 0}, TwipsCase{1e99, IntMax}, TwipsCase{-1e99, IntMin},
                    TwipsCase{std::numeric_limits<double>::infinity(), IntMax}));

TEST(PixelsToTwips, ReadsBackAsTheSamePixel) {
    for (int pixels : {0, 1, 17, 1279, -40})
        EXPECT_EQ(WindowPlacement::twipsToPixels(WindowPlacement::pixelsToTwips(pixels)), pixels);
    EXPECT_DOUBLE_EQ(WindowPlacement::pixelsToTwips(100), 1500.0);
}

struct PlaceCase {
    const char* what;
    double left, top; // twips
    QSize window;
    QRect area;
    QPoint expected;
};

void PrintTo(const PlaceCase& c, std::ostream* out) {
    *out << c.what;
}

class PlaceOnScreen : public testing::TestWithParam<PlaceCase> {};

TEST_P(PlaceOnScreen, KeepsTheWindowInReach) {
    const PlaceCase& c = GetParam();
    EXPECT_EQ(WindowPlacement::placeOnScreen(c.left, c.top, c.window, c.area), c.expected)
        << c.what;
}

const QSize Window(300, 200);
const QRect Screen(0, 0, 1280, 800);
const QRect RightMonitor(1280, 0, 1920, 1080);
const QRect BelowPanel(0, 32, 1280, 768);

INSTANTIATE_TEST_SUITE_P(
    Cases, PlaceOnScreen,
    testing::Values(
        PlaceCase{"inside stays", 1500, 750, Window, Screen, {100, 50}},
        PlaceCase{"missing keys", 0, 0, Window, Screen, {0, 0}},
        PlaceCase{"just fits", 980 * 15, 600 * 15, Window, Screen, {980, 600}},
        PlaceCase{"past the right edge goes flush", 1200 * 15, 0, Window, Screen, {980, 0}},
        PlaceCase{"past the bottom goes flush", 0, 5000 * 15, Window, Screen, {0, 600}},
        PlaceCase{"negative goes to the edge", -3000, -15, Window, Screen, {0, 0}},
        PlaceCase{"window wider than the screen", 15, 15, QSize(1400, 900), Screen, {0, 0}},
        PlaceCase{"absurd values", 1e99, -1e99, Window, Screen, {980, 0}},
        PlaceCase{"not a number", std::nan(""), std::nan(""), Window, Screen, {0, 0}},
        PlaceCase{"second monitor keeps its place",
                  2000 * 15,
                  100 * 15,
                  Window,
                  RightMonitor,
                  {2000, 100}},
        PlaceCase{
            "gone monitor falls onto this one", 2000 * 15, 100 * 15, Window, Screen, {980, 100}},
        PlaceCase{"left of a second monitor", 0, 0, Window, RightMonitor, {1280, 0}},
        PlaceCase{"under a top panel", 0, 0, Window, BelowPanel, {0, 32}}));

} // namespace
