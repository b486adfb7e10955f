#include "PlotWatchMarks.h"

#include "recording/PlotPaint.h"

#include <QPainter>

#include <algorithm>

void paintWatchMarks(QPainter& p, const QRect& area, const PlotAxis& x, const PlotAxis& y,
                     const PlotWatchMarks& marks) {
    QFont font = p.font();
    font.setPixelSize(11);
    p.setFont(font);
    const auto clampX = [&](double seconds) {
        return std::clamp(x.toPixel(seconds), double(area.left()), double(area.right()));
    };
    for (const auto& [from, to] : marks.stalls) {
        const QRectF stretch(QPointF(clampX(from), area.top()), QPointF(clampX(to), area.bottom()));
        p.fillRect(stretch, QBrush(QColor(120, 120, 120, 90), Qt::BDiagPattern));
        p.setPen(QColor(90, 90, 90));
        p.drawText(stretch.topLeft() + QPointF(4, 28), QStringLiteral("stall"));
    }
    if (marks.reference) {
        const double left = clampX(marks.referenceX);
        p.setPen(QPen(QColor(PlotColors::Reference), 1.2, Qt::DashLine));
        for (const float value : {marks.peak, marks.valley})
            p.drawLine(QPointF(left, y.toPixel(value)), QPointF(area.right(), y.toPixel(value)));
        p.drawLine(QPointF(left, y.toPixel(marks.peak)), QPointF(left, y.toPixel(marks.valley)));
        PlotPaint::labelOnWhite(p, QPointF(left + 4, y.toPixel(marks.peak) - 4),
                                marks.referenceText);
    }
    if (marks.failed) {
        const double at = clampX(marks.failureX);
        p.setPen(QPen(QColor(PlotColors::Failure), 2.0, Qt::SolidLine));
        p.drawLine(QPointF(at, area.top()), QPointF(at, area.bottom()));
        const double width = p.fontMetrics().horizontalAdvance(marks.failureText);
        const double textX = at + 5 + width < area.right() ? at + 5 : at - 5 - width;
        PlotPaint::labelOnWhite(p, QPointF(textX, area.top() + 44), marks.failureText);
    }
}
