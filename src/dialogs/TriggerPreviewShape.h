#pragma once
// The geometry of the trigger source previews: two cycles of a sine signal, the
// threshold line and the point at which the chosen source fires, all in the
// pixel coordinates of the area given (y grows downwards). Pure arithmetic, so
// that the drawing can stay a few plain paint calls.
#include <QList>
#include <QPointF>
#include <QRectF>
#include <cstdint>

struct TriggerPreviewShape {
    QList<QPointF> curve; // the signal from left to right
    double thresholdY = 0.0;
    QPointF marker; // where the trigger fires, on the curve

    // source: 0 maximum, 1 minimum, 2 rising through the threshold, 3 falling
    // through it; any other value is drawn as 0. The marker sits in the second
    // cycle, so the picture shows that a whole cycle passes between triggers.
    static TriggerPreviewShape forSource(int32_t source, const QRectF& area);
};
