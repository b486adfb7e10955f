#include "recorder/XtPlotView.h"

#include <QPaintEvent>
#include <QPainter>

namespace {
// The pen marker: a broad dark stroke down to row 15 and a thin black one to the pen row.
constexpr QRgb BroadPenColour = 0xFF404040;
constexpr int BroadPenWidth = 5;
constexpr int BroadPenEnd = 15;
} // namespace

XtPlotView::XtPlotView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Picture_Plot"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void XtPlotView::setPenColumn(float column) {
    m_penColumn = column;
    // Every sample moves the pen: repainting the whole strip 25 times a
    // second would cost more than everything else the program does.
    update(penBand());
}

void XtPlotView::showScrolledDown() {
    scroll(0, 1);
    // The marker moved down with the picture; its band is painted anew.
    update(penBand());
}

QRect XtPlotView::penBand() const {
    return QRect(0, 0, width(), XtGeometry::PenRow + 2);
}

void XtPlotView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.drawImage(event->rect().topLeft(), m_image.image(), event->rect());
    const QRect outside = rect().adjusted(m_image.size().width(), m_image.size().height(), 0, 0);
    if (!outside.isEmpty())
        painter.fillRect(outside, QColor::fromRgb(XtPlotImage::Background));
    const std::optional<int> x = XtGeometry::toPixel(m_penColumn);
    if (!x || *x < -BroadPenWidth || *x > width() + BroadPenWidth)
        return;
    painter.setPen(
        QPen(QColor::fromRgb(BroadPenColour), BroadPenWidth, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(*x + 0.5, 0.0), QPointF(*x + 0.5, BroadPenEnd));
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPoint(*x, 0), QPoint(*x, XtGeometry::PenRow));
}
