#include "recording/PlotPaint.h"

#include "recording/PlotScale.h"

#include <QPainter>
#include <QPolygonF>

namespace PlotPaint {

void title(QPainter& p, QSize size, const QString& title, const QString& subtitle) {
    QFont font = p.font();
    font.setPixelSize(18);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(40, 40, 40));
    p.drawText(QRect(0, 4, size.width(), 24), Qt::AlignCenter,
               p.fontMetrics().elidedText(title, Qt::ElideRight, size.width() - 8));
    font.setPixelSize(13);
    font.setBold(false);
    p.setFont(font);
    p.drawText(QRect(0, 28, size.width(), 18), Qt::AlignCenter,
               p.fontMetrics().elidedText(subtitle, Qt::ElideRight, size.width() - 8));
}

void voltAxis(QPainter& p, const QRect& area, const PlotAxis& y, const QColor& grid,
              const QColor& ink) {
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    const std::vector<double> volts = PlotScale::ticks(y.min, y.max, 9);
    const double step = volts.size() > 1 ? volts[1] - volts[0] : 1.0;
    for (const double v : volts) {
        const double at = y.toPixel(v);
        p.setPen(grid);
        p.drawLine(QPointF(area.left(), at), QPointF(area.right(), at));
        p.setPen(ink);
        p.drawLine(QPointF(area.left() - 5, at), QPointF(area.left(), at));
        p.drawText(QRectF(0, at - 8, area.left() - 8, 16), Qt::AlignRight | Qt::AlignVCenter,
                   PlotScale::tickLabel(v, step));
    }
}

void hatch(QPainter& p, const QRectF& rect, const QColor& colour) {
    p.save();
    p.setClipRect(rect, Qt::IntersectClip);
    p.setPen(QPen(colour, 1));
    for (double x = rect.left() - rect.height(); x < rect.right(); x += 7)
        p.drawLine(QPointF(x, rect.bottom()), QPointF(x + rect.height(), rect.top()));
    p.restore();
}

void triangle(QPainter& p, QPointF tip, bool up, double size) {
    const double dy = up ? size : -size;
    p.drawPolygon(QPolygonF({tip, tip + QPointF(-size * 0.6, dy), tip + QPointF(size * 0.6, dy)}));
}

void diamond(QPainter& p, QPointF centre, double r) {
    p.drawPolygon(QPolygonF({centre + QPointF(0, -r), centre + QPointF(r, 0),
                             centre + QPointF(0, r), centre + QPointF(-r, 0)}));
}

void labelOnWhite(QPainter& p, QPointF at, const QString& text) {
    const QRectF box = p.fontMetrics().boundingRect(text).toRectF().translated(at);
    p.fillRect(box.adjusted(-2, -1, 2, 1), Qt::white);
    p.drawText(at, text);
}

} // namespace PlotPaint
