#pragma once
// Painting helpers shared by the pictures (the offline report, the trend of a
// cycle log): title lines, hatching, marker shapes and labels on white. They
// paint on any paint device, an image or an SVG generator alike.
#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

class QPainter;

namespace PlotPaint {
// The title (bold, 18 px) and under it a subtitle cut to the width.
void title(QPainter& p, QSize size, const QString& title, const QString& subtitle);

// Diagonal hatching drawn as lines in `colour`: a pattern brush does not
// survive the trip through SVG.
void hatch(QPainter& p, const QRectF& rect, const QColor& colour);

void triangle(QPainter& p, QPointF tip, bool up, double size);
void diamond(QPainter& p, QPointF centre, double r);

// `text` with its baseline at `at` on a white box, so that it stays readable
// over a dense line.
void labelOnWhite(QPainter& p, QPointF at, const QString& text);

// Labels that would overlap the one before are left out; the marks stay.
struct LabelRow {
    double end = -1e9;
    bool fits(double start, double width) {
        if (start < end)
            return false;
        end = start + width + 4;
        return true;
    }
};
} // namespace PlotPaint
