#pragma once
// Picture_Plot: shows the recorder's raster picture as it is, with the pen
// marker (Line_Pen 0 and 1) drawn over it at the pen's column. Painting
// never draws from data; the picture changes only through image().
#include "common/ReadoutThrottle.h"
#include "recorder/XtPlotImage.h"

#include <QWidget>

class XtPlotView final : public QWidget {
    Q_OBJECT
public:
    explicit XtPlotView(QWidget* parent = nullptr);

    XtPlotImage& image() { return m_image; }
    const XtPlotImage& image() const { return m_image; }

    // Moves both pen marker lines to `column`.
    void setPenColumn(float column);
    // Shows the picture after it moved down one row.
    void showScrolledDown();
    float penColumn() const { return m_penColumn; }
    // The pen moves at every tick and the chart scrolls up to 20 times a
    // second; both are shown at a steadier pace, the newest state each time.
    ReadoutThrottle& pace() { return m_pace; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The rows the pen draws into and its marker covers.
    QRect penBand() const;
    void showPaced();

    XtPlotImage m_image;
    float m_penColumn = 0.0f;
    bool m_scrolled = false;
    ReadoutThrottle m_pace{[this] { showPaced(); }};
};
