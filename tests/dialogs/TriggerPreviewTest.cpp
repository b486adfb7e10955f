#include "dialogs/TriggerPreview.h"
#include "dialogs/TriggerPreviewShape.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

const QRectF Area(10.0, 20.0, 200.0, 100.0);

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

TEST(TriggerPreviewShape, MarkerSitsWhereEachSourceFires) {
    enum Where { Highest, Lowest, Rising, Falling };
    const std::pair<int32_t, Where> cases[] = {
        {0, Highest}, {1, Lowest}, {2, Rising}, {3, Falling}, {7, Highest}};
    for (const auto& [source, where] : cases) {
        SCOPED_TRACE(source);
        const TriggerPreviewShape shape = TriggerPreviewShape::forSource(source, Area);
        ASSERT_GT(shape.curve.size(), 20);
        for (const QPointF& point : shape.curve)
            EXPECT_TRUE(Area.adjusted(-0.01, -0.01, 0.01, 0.01).contains(point));
        const QPointF m = shape.marker;
        EXPECT_NEAR(curveYAt(shape, m.x()), m.y(), 0.5);
        const auto [top, bottom] =
            std::minmax_element(shape.curve.begin(), shape.curve.end(),
                                [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
        const double before = curveYAt(shape, m.x() - 2.0);
        const double after = curveYAt(shape, m.x() + 2.0);
        switch (where) {
        case Highest: // a counted maximum reaches above the threshold
            EXPECT_NEAR(m.y(), top->y(), 0.1);
            EXPECT_LT(m.y(), shape.thresholdY);
            break;
        case Lowest:
            EXPECT_NEAR(m.y(), bottom->y(), 0.1);
            EXPECT_GT(m.y(), shape.thresholdY);
            break;
        case Rising: // y grows downwards
            EXPECT_NEAR(m.y(), shape.thresholdY, 1e-6);
            EXPECT_GT(before, after);
            break;
        case Falling:
            EXPECT_NEAR(m.y(), shape.thresholdY, 1e-6);
            EXPECT_LT(before, after);
            break;
        }
    }
}

// The picture is drawn in the palette's colours, so a dark scheme gets a dark
// picture with a light curve instead of a white box.
TEST(TriggerPreview, DrawsWithThePaletteColours) {
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(60, 140, 255));
    QPalette light;
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::Text, Qt::black);
    light.setColor(QPalette::Highlight, QColor(200, 0, 0));
    for (const QPalette& palette : {light, dark}) {
        TriggerPreview preview;
        preview.setPalette(palette);
        preview.resize(preview.sizeHint());
        const QImage image = preview.grab().toImage();
        EXPECT_EQ(image.pixelColor(3, 3), palette.color(QPalette::Base));
        int markerPixels = 0;
        int curvePixels = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                markerPixels += c == palette.color(QPalette::Highlight);
                curvePixels += c == palette.color(QPalette::Text);
            }
        }
        EXPECT_GT(markerPixels, 4);
        EXPECT_GT(curvePixels, 20);
    }
}

} // namespace
