#include "dialogs/TriggerPreview.h"

#include "dialogs/TriggerPreviewShape.h"

#include <QPainter>
#include <QPainterPath>

TriggerPreview::TriggerPreview(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TriggerPreview::setSource(int32_t source) {
    m_source = source;
    update();
}

// In text lines, so the picture keeps its proportion to the captions at any
// font size and scaling.
QSize TriggerPreview::sizeHint() const {
    const int line = fontMetrics().height();
    return {line * 11, line * 6};
}

QSize TriggerPreview::minimumSizeHint() const {
    return sizeHint();
}

void TriggerPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Base));
    painter.setPen(QPen(colours.color(QPalette::Mid), 1.0));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));

    const double margin = fontMetrics().height() * 0.6;
    const QRectF area = QRectF(rect()).adjusted(margin, margin, -margin, -margin);
    const TriggerPreviewShape shape = TriggerPreviewShape::forSource(m_source, area);

    const QColor marker = colours.color(QPalette::Highlight);
    // The moment of the trigger, down to the time axis.
    painter.setPen(QPen(marker, 1.0, Qt::DotLine));
    painter.drawLine(QPointF(shape.marker.x(), shape.marker.y()),
                     QPointF(shape.marker.x(), rect().bottom()));

    painter.setPen(QPen(colours.color(QPalette::PlaceholderText), 1.5, Qt::DashLine));
    painter.drawLine(QPointF(rect().left(), shape.thresholdY),
                     QPointF(rect().right(), shape.thresholdY));

    QPainterPath signal;
    signal.addPolygon(QPolygonF(shape.curve));
    painter.setPen(QPen(colours.color(QPalette::Text), 2.0));
    painter.drawPath(signal);

    const double radius = margin * 0.45;
    painter.setPen(QPen(colours.color(QPalette::Base), 1.5));
    painter.setBrush(marker);
    painter.drawEllipse(shape.marker, radius, radius);
}
