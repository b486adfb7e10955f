#include "recording/PlotPaint.h"

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
