#include "recorder/XtScaleView.h"

#include <QFontMetrics>
#include <QPainter>

XtScaleView::XtScaleView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Picture_XScale"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void XtScaleView::setLabels(const std::array<XtGeometry::ScaleLabel, 3>& labels) {
    m_labels = labels;
    update();
}

int XtScaleView::stripHeight() const {
    return fontMetrics().height() + 2;
}

void XtScaleView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgb(Background));
    painter.setPen(Qt::black);
    const QFontMetrics metrics = fontMetrics();
    for (const XtGeometry::ScaleLabel& label : m_labels) {
        const std::optional<int> centre = XtGeometry::toPixel(label.centre);
        if (!centre || label.text.isEmpty())
            continue;
        const int left =
            XtGeometry::labelLeft(*centre, metrics.horizontalAdvance(label.text), width());
        painter.drawText(QPoint(left, 1 + metrics.ascent()), label.text);
    }
}
