#include "recorder/XtScales.h"
#include "recorder/RecorderPlacement.h"
#include "recorder/RecorderSettings.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {
using namespace XtScales;

// Every menu item does what its caption says: the time scales scroll one grid
// division of 20 rows per "n s" or "n min", and the voltage scales put their
// full scale at 1/22 and 21/22 of the width, so the plot's edges lie at 1.1
// times it.
TEST(Scales, DoWhatTheirMenuCaptionsSay) {
    for (size_t n = 0; n < TimeScales.size(); ++n) {
        const QStringList words = QString::fromLatin1(TimeScales[n].caption).split(u' ');
        const int seconds = words[0].toInt() * (words[1] == u"min" ? 60 : 1);
        EXPECT_EQ(scrollIntervalMs(static_cast<int32_t>(n)), seconds * 1000 / 20) << n;
    }
    for (size_t n = 0; n < VoltageScales.size(); ++n) {
        // "-0.5 ... +0.5 V": the full scale is the third word.
        const QStringList words = QString::fromLatin1(VoltageScales[n].caption).split(u' ');
        const XRange range = *xRange(static_cast<int32_t>(n));
        EXPECT_FLOAT_EQ(range.Xmax, words[2].toFloat() * 1.1f) << n;
        EXPECT_EQ(range.Xmin, -range.Xmax) << n;
    }
}

// Placement on a 1280 x 1000 pixel area starting at (0, 24) under a top
// panel: the window stays wholly on it, whatever the saved place (in twips,
// -1 when none was saved) and the frame around the window.
TEST(RecorderPlacement, KeepsTheWindowOnTheScreen) {
    constexpr float Big = 2147483647.0f;
    const struct {
        float left, top, height;
        QSize frameExtra;
        QPoint topLeft;
        int innerHeight;
    } cases[] = {
        {-1, -1, -1, {4, 30}, {1069, 24}, 970},      // defaults: flush right, screen tall
        {1500, 3000, 0, {0, 0}, {100, 24}, 1000},    // a zero height is screen tall
        {1500, 0, 99999, {0, 0}, {100, 24}, 1000},   // taller than the screen
        {30000, 600, 3000, {0, 0}, {1073, 40}, 200}, // past the right edge
        {0, 15000, 6000, {0, 0}, {0, 624}, 400},     // past the bottom
        {Big, -Big, Big, {0, 0}, {1073, 24}, 1000},  // the extremes a settings file holds
    };
    for (const auto& c : cases) {
        RecorderSettings saved;
        saved.Left = c.left;
        saved.Top = c.top;
        saved.Height = c.height;
        const RecorderPlacement::Place place =
            RecorderPlacement::place(saved, c.frameExtra, QRect(0, 24, 1280, 1000));
        EXPECT_EQ(place.topLeft, c.topLeft) << c.left << ' ' << c.top << ' ' << c.height;
        EXPECT_EQ(place.height, c.innerHeight) << c.left << ' ' << c.top << ' ' << c.height;
    }
}

} // namespace
