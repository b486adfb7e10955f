#pragma once
// Picture_Plot: shows the recorder's raster picture as it is, with the pen
// marker (Line_Pen 0 and 1) drawn over it at the pen's column. Painting
// never draws from data; the picture changes only through image().
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
    // Shows the picture after it moved down one row: the screen's copy is
    // moved too, so only the band around the pen is painted anew.
    void showScrolledDown();
    float penColumn() const { return m_penColumn; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The rows the pen draws into and its marker covers.
    QRect penBand() const;

    XtPlotImage m_image;
    float m_penColumn = 0.0f;
};
