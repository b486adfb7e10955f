#pragma once
// Painting helpers shared by the pictures (the offline report, the trend of a
// cycle log): title lines, hatching, marker shapes and labels on white. They
// paint on any paint device, an image or an SVG generator alike.
#include <QColor>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>

class QPainter;
struct PlotAxis;

namespace PlotPaint {
// The title (bold, 18 px) and under it a subtitle cut to the width.
void title(QPainter& p, QSize size, const QString& title, const QString& subtitle);

// Diagonal hatching drawn as lines in `colour`: a pattern brush does not
// survive the trip through SVG.
void hatch(QPainter& p, const QRectF& rect, const QColor& colour);

// The volt axis at the left of `area`: a 12 px font, grid lines across the
// area in `grid`, ticks and their labels in `ink`.
void voltAxis(QPainter& p, const QRect& area, const PlotAxis& y, const QColor& grid,
              const QColor& ink);

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
