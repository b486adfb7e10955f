#include "dialogs/TriggerPreviewShape.h"

#include <cmath>
#include <numbers>

namespace {

constexpr int CurvePoints = 161;
constexpr double Cycles = 2.0;
// The threshold sits on the side of the extrema that count: above the middle
// for maxima and the voltage sources, below it for minima.
constexpr double ThresholdLevel = 0.4;

// The signal at t in [0, 1], in units of its amplitude.
double signalAt(double t) {
    return std::sin(2.0 * std::numbers::pi * Cycles * t);
}

// Where in [0, 1] the second cycle reaches `phase` (radians of its sine).
double secondCycleAt(double phase) {
    return (phase / (2.0 * std::numbers::pi) + 1.0) / Cycles;
}

double markerTime(int32_t source) {
    const double crossing = std::asin(ThresholdLevel);
    switch (source) {
    case 1:
        return secondCycleAt(1.5 * std::numbers::pi);
    case 2:
        return secondCycleAt(crossing);
    case 3:
        return secondCycleAt(std::numbers::pi - crossing);
    default:
        return secondCycleAt(0.5 * std::numbers::pi);
    }
}

} // namespace

TriggerPreviewShape TriggerPreviewShape::forSource(int32_t source, const QRectF& area) {
    const auto toPoint = [&area](double t, double level) {
        return QPointF(area.left() + t * area.width(),
                       area.top() + (1.0 - level) * 0.5 * area.height());
    };
    TriggerPreviewShape shape;
    shape.curve.reserve(CurvePoints);
    for (int i = 0; i < CurvePoints; ++i) {
        const double t = static_cast<double>(i) / (CurvePoints - 1);
        shape.curve.append(toPoint(t, signalAt(t)));
    }
    const double level = source == 1 ? -ThresholdLevel : ThresholdLevel;
    shape.thresholdY = toPoint(0.0, level).y();
    const double t = markerTime(source);
    shape.marker = toPoint(t, signalAt(t));
    return shape;
}
