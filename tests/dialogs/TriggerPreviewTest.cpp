#include "dialogs/TriggerPreview.h"
#include "dialogs/TriggerPreviewShape.h"

#include <QImage>
#include <gtest/gtest.h>

#include <map>

namespace {

// The curve's y at x, interpolated between its points.
double curveYAt(const TriggerPreviewShape& shape, double x) {
    for (qsizetype i = 1; i < shape.curve.size(); ++i) {
        const QPointF a = shape.curve[i - 1];
        const QPointF b = shape.curve[i];
        if (x >= a.x() && x <= b.x())
            return a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x());
    }
    return -1.0;
}

// The marker shows the user where the chosen source fires: on the curve, at a
// peak for the extrema and on the threshold line for the crossings.
TEST(TriggerPreviewShape, MarkerSitsWhereEachSourceFires) {
    const QRectF area(10.0, 20.0, 200.0, 100.0);
    // y grows downwards: +1 means the curve 2 px before/after lies lower on screen.
    const struct {
        int32_t source;
        int before, after;
        bool onThreshold;
    } cases[] = {
        {0, +1, +1, false}, // highest point
        {1, -1, -1, false}, // lowest point
        {2, +1, -1, true},  // rising through the threshold
        {3, -1, +1, true},  // falling through it
        {7, +1, +1, false}, // an unknown source is drawn as 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const TriggerPreviewShape shape = TriggerPreviewShape::forSource(c.source, area);
        for (const QPointF& point : shape.curve)
            EXPECT_TRUE(area.adjusted(-0.01, -0.01, 0.01, 0.01).contains(point));
        const QPointF m = shape.marker;
        EXPECT_NEAR(curveYAt(shape, m.x()), m.y(), 0.5);
        const auto side = [&](double dx) { return curveYAt(shape, m.x() + dx) > m.y() ? 1 : -1; };
        EXPECT_EQ(side(-2.0), c.before);
        EXPECT_EQ(side(2.0), c.after);
        if (c.onThreshold) {
            EXPECT_NEAR(m.y(), shape.thresholdY, 1e-6);
        }
    }
}

// Drawn in the palette's colours, so a dark scheme gets a dark picture with a
// light curve instead of a white box.
TEST(TriggerPreview, DrawsWithThePaletteColours) {
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(60, 140, 255));
    TriggerPreview preview;
    preview.setPalette(dark);
    preview.resize(preview.sizeHint());
    const QImage image = preview.grab().toImage();
    EXPECT_EQ(image.pixelColor(3, 3), dark.color(QPalette::Base));
    std::map<QRgb, int> pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++pixels[image.pixel(x, y)];
    EXPECT_GT(pixels[dark.color(QPalette::Highlight).rgb()], 4); // the marker
    EXPECT_GT(pixels[dark.color(QPalette::Text).rgb()], 20);     // the curve
}

} // namespace
