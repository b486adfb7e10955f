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
    m_pace.changed();
}

void XtPlotView::showScrolledDown() {
    m_scrolled = true;
    m_pace.changed();
}

// Repainting the whole strip goes for a scrolled picture; a moved pen alone
// needs only its band. The X11 backing store has no scroll of its own, so
// moving the screen's copy would send every pixel just the same.
void XtPlotView::showPaced() {
    update(m_scrolled ? rect() : penBand());
    m_scrolled = false;
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
