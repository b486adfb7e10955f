#pragma once
// Paints the picture report of the offline counter onto any paint device (an
// image for PNG, an SVG generator): the signal per column as its minimum and
// maximum, threshold and hysteresis band, counted extrema, triggers with their
// cycle numbers, the cycle count on a second axis, title, axes and legend.
// Marks differ by shape and line style, not only by colour, so the picture
// reads in black-and-white print. All geometry comes from PlotScale.
#include "PlotColumns.h"
#include "PlotWatchMarks.h"

#include <QColor>
#include <QSize>
#include <QString>

class QPainter;

namespace PlotColors {
constexpr QRgb Signal = 0xff1f5ab4;
constexpr QRgb Extremum = 0xffd01c1c;
constexpr QRgb Trigger = 0xff008c3c;
constexpr QRgb Count = 0xffe08a00;
} // namespace PlotColors

struct PlotPicture {
    const PlotColumns* columns = nullptr;
    double xFrom = 0.0; // seconds at the left and right edge
    double xTo = 1.0;
    float threshold = 0.0f;
    float hysteresis = 0.0f;
    bool maxima = true; // maxima are counted (else minima)
    int32_t startCycle = 0;
    int32_t endCycle = 0;
    QString title;
    QString subtitle;
    PlotWatchMarks watch;
};

void paintPlot(QPainter& painter, QSize size, const PlotPicture& picture);
