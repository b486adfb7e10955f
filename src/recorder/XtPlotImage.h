#pragma once
// The recorder's picture: a persistent raster image of the plot area that
// the window shows unchanged. Scrolling moves it in place (one block copy,
// one cleared row and the grid pixels of the new row); a sample draws one
// short line on the pen row; only a redraw (drawPlan) paints from data.
// Anything outside the image, or not finite, is left out, never converted.
// Needs a QGuiApplication for the labels' font.
#include "recorder/XtGeometry.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <array>
#include <cstdint>

class QFontMetrics;
class QPainter;
struct XtRedrawPlan;

class XtPlotImage {
public:
    static constexpr QRgb Background = 0xFFFFFFFF;
    static constexpr QRgb TraceColour = 0xFFFF0000;
    static constexpr QRgb GridBlack = 0xFF000000;
    static constexpr QRgb GridGrey = 0xFFC0C0C0;
    static constexpr QRgb PointColour = 0xFFFFFF00;      // PlotY
    static constexpr QRgb ForegroundColour = 0xFF0000A0; // trigger lines and labels

    using GridColumns = std::array<XtGeometry::GridColumn, XtGeometry::GridLineCount>;

    // A new, white image; the old picture is gone.
    void resize(QSize size);
    QSize size() const { return m_image.size(); }
    const QImage& image() const { return m_image; }
    void setFont(const QFont& font) { m_font = font; }

    // Scroll steps since the last horizontal grid line entered at the top.
    int32_t GridRowCounter() const { return m_gridRowCounter; }

    // Clears the picture and draws the grid. The next horizontal line enters
    // the top 20 steps later, in step with the lines drawn here.
    void drawGrid(const GridColumns& columns);
    // The picture moves down one row; row 0 is cleared, every 20th time drawn
    // as a grid line, and the vertical grid lines are continued into it.
    void scrollStep(const GridColumns& columns);
    // The pen's move along the pen row from one column to another.
    void drawPenMove(float fromColumn, float toColumn);
    // A line across the full width at `row` with "Counter = n" centred above it.
    void drawTriggerMark(double row, int32_t counter);
    // The trace and the marks of a redraw, over what is there.
    void drawPlan(const XtRedrawPlan& plan);
    void setPixel(double x, double y, QRgb colour);

    // The label of a trigger mark.
    static QString markText(int32_t counter);

private:
    QRectF pixelArea() const;
    void fillRow(int row, QRgb colour);
    void paintMark(QPainter& painter, const QFontMetrics& metrics, double row,
                   int32_t counter) const;
    void paintTrace(QPainter& painter, const std::vector<QPointF>& points) const;

    QImage m_image;
    QFont m_font;
    int32_t m_gridRowCounter = 0;
};
