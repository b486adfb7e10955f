#pragma once
// The arithmetic of the pictures (the offline report, the trend of a cycle
// log): values to pixels along an axis, ticks at round numbers or decades, the
// pixel columns a stretch covers, and the value range to show. Pure
// functions, so that the painting code only paints.
#include <QRect>
#include <QSize>
#include <QString>

#include <utility>
#include <vector>

struct PlotAxis {
    double min = 0.0; // value at pixel `first`
    double max = 1.0; // value at pixel `last`
    double first = 0.0;
    double last = 1.0; // below `first` for an upward y axis
    double toPixel(double value) const {
        return first + (value - min) * (last - first) / (max - min);
    }
};

namespace PlotScale {
// Round values in [min, max] at steps of 1, 2 or 5 times a power of ten, at
// most `most` of them (at least 2 when the range allows).
std::vector<double> ticks(double min, double max, int most);

// A tick value with as many decimals as the step between ticks needs.
QString tickLabel(double value, double step);

// The powers of ten from `min` to `max` (both above 0), for a log axis.
std::vector<double> decades(double min, double max);

// A cycle count in short: 1, 10, 100, 1k, 250k, 1M, 1.5M, 1G.
QString cycleLabel(double cycles);

// The pixel columns first..last that the stretch [from, to) of the x axis
// covers: at least one, so that a stretch narrower than a pixel still shows.
std::pair<int, int> pixelColumns(const PlotAxis& x, double from, double to);

// The plot area of a picture of `size`: what is left inside the margins for
// title, legend, axes and their labels. Its width is the number of columns.
QRect plotArea(QSize size);

// [low, high] widened by 5 % on each side; a single value gets +/-1 around it.
std::pair<double, double> paddedRange(double low, double high);

// The voltage range to show: the signal's [low, high] with, in this order of
// preference, the threshold and the edge of its hysteresis band or the
// threshold alone, as long as that at most doubles the range (padded). A
// threshold far from the signal would squash the signal into a few pixels: it
// is left out, and the picture marks it at the edge instead.
std::pair<double, double> voltageRange(double low, double high, double threshold, double edge);
} // namespace PlotScale
