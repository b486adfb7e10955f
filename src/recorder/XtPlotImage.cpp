#include "recorder/XtPlotImage.h"

#include "recorder/XtRedrawPlan.h"

#include <QFontMetrics>
#include <QLine>
#include <QPainter>
#include <QVector>

#include <algorithm>
#include <cstring>

using XtGeometry::clipLine;
using XtGeometry::toPixel;

void XtPlotImage::resize(QSize size) {
    m_image = QImage(size.expandedTo(QSize(0, 0)), QImage::Format_RGB32);
    m_image.fill(Background);
}

QRectF XtPlotImage::pixelArea() const {
    return QRectF(0.0, 0.0, m_image.width() - 1.0, m_image.height() - 1.0);
}

QString XtPlotImage::markText(int32_t counter) {
    return QStringLiteral("Counter = ") + QString::number(counter);
}

void XtPlotImage::fillRow(int row, QRgb colour) {
    auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(row));
    std::fill(line, line + m_image.width(), colour);
}

void XtPlotImage::setPixel(double x, double y, QRgb colour) {
    const std::optional<int> px = toPixel(x);
    const std::optional<int> py = toPixel(y);
    if (px && py && m_image.valid(*px, *py))
        reinterpret_cast<QRgb*>(m_image.scanLine(*py))[*px] = colour;
}

void XtPlotImage::drawGrid(const GridColumns& columns) {
    if (m_image.isNull())
        return;
    m_image.fill(Background);
    // Horizontal lines first, so that the full-scale and zero lines stay
    // unbroken, as the rows that scroll in later draw them.
    for (int row : XtGeometry::gridRows(m_image.height()))
        if (row < m_image.height())
            fillRow(row, GridGrey);
    for (const XtGeometry::GridColumn& column : columns) {
        const std::optional<int> x = toPixel(column.column);
        if (!x || *x < 0 || *x >= m_image.width())
            continue;
        for (int row = 0; row < m_image.height(); ++row)
            reinterpret_cast<QRgb*>(m_image.scanLine(row))[*x] =
                column.black ? GridBlack : GridGrey;
    }
    m_gridRowCounter = 0;
}

void XtPlotImage::scrollStep(const GridColumns& columns) {
    if (m_image.isNull())
        return;
    uchar* bits = m_image.bits();
    const qsizetype rowBytes = m_image.bytesPerLine();
    std::memmove(bits + rowBytes, bits, static_cast<size_t>(rowBytes * (m_image.height() - 1)));
    fillRow(0, Background);
    if (++m_gridRowCounter >= XtGeometry::RowsPerDivision) {
        m_gridRowCounter = 0;
        fillRow(0, GridGrey);
    }
    for (const XtGeometry::GridColumn& column : columns)
        setPixel(column.column, 0.0, column.black ? GridBlack : GridGrey);
}

void XtPlotImage::drawPenMove(float fromColumn, float toColumn) {
    if (m_image.isNull())
        return;
    const QLineF move(fromColumn, XtGeometry::PenRow, toColumn, XtGeometry::PenRow);
    const std::optional<QLineF> visible = clipLine(move, pixelArea());
    if (!visible) {
        // A pen coming from nowhere (a NaN before) still marks where it is now.
        setPixel(toColumn, XtGeometry::PenRow, TraceColour);
        return;
    }
    // The pen row is level, so the move is a run of pixels in one row,
    // written straight into it: a painter at every sample would cost more
    // than the rest of the tick.
    const int row = *toPixel(visible->y1());
    const int from = *toPixel(visible->x1());
    const int to = *toPixel(visible->x2());
    const int left = std::min(from, to);
    const int right = std::max(from, to);
    if (!m_image.valid(left, row) || !m_image.valid(right, row))
        return;
    auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(row));
    std::fill(line + left, line + right + 1, TraceColour);
}

void XtPlotImage::paintMark(QPainter& painter, const QFontMetrics& metrics, double row,
                            int32_t counter) const {
    const std::optional<int> y = toPixel(row);
    const int textHeight = metrics.height();
    if (!y || *y < 0 || *y - textHeight >= m_image.height())
        return;
    painter.drawLine(QPoint(0, *y), QPoint(m_image.width() - 1, *y));
    const QString text = markText(counter);
    const int left = (m_image.width() - metrics.horizontalAdvance(text)) / 2;
    painter.drawText(QPoint(left, *y - textHeight + metrics.ascent()), text);
}

void XtPlotImage::drawTriggerMark(double row, int32_t counter) {
    if (m_image.isNull())
        return;
    QPainter painter(&m_image);
    painter.setPen(QPen(QColor::fromRgb(ForegroundColour), 1));
    painter.setFont(m_font);
    paintMark(painter, QFontMetrics(m_font), row, counter);
}

void XtPlotImage::paintTrace(QPainter& painter, const std::vector<QPointF>& points) const {
    QVector<QLine> segments;
    segments.reserve(static_cast<qsizetype>(points.size()));
    for (size_t n = 1; n < points.size(); ++n) {
        const std::optional<QLineF> visible = clipLine({points[n - 1], points[n]}, pixelArea());
        if (visible)
            segments.append(QLine(*toPixel(visible->x1()), *toPixel(visible->y1()),
                                  *toPixel(visible->x2()), *toPixel(visible->y2())));
    }
    painter.drawLines(segments);
}

void XtPlotImage::drawPlan(const XtRedrawPlan& plan) {
    if (m_image.isNull())
        return;
    if (!plan.trace.empty())
        setPixel(plan.trace.front().x(), plan.trace.front().y(), TraceColour);
    QPainter painter(&m_image);
    painter.setPen(QPen(QColor::fromRgb(TraceColour), 1));
    paintTrace(painter, plan.trace);
    painter.setPen(QPen(QColor::fromRgb(ForegroundColour), 1));
    painter.setFont(m_font);
    const QFontMetrics metrics(m_font);
    for (const XtMarkRow& mark : plan.marks)
        paintMark(painter, metrics, mark.row, mark.counter);
}
