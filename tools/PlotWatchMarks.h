#pragma once
// The specimen watch's marks on the picture report (--watch with --plot): the
// reference peak and valley as dashed lines from where the reference was taken,
// N_f as a solid line with its cycle and criterion, and every stall as a
// hatched stretch. Drawn by paintPlot when `shown`.
#include "recording/PlotScale.h"

#include <QColor>
#include <QRect>
#include <QString>

#include <utility>
#include <vector>

class QPainter;

struct PlotWatchMarks {
    bool shown = false;
    bool reference = false;
    double referenceX = 0; // seconds: where the reference was taken
    float peak = 0.0f;
    float valley = 0.0f;
    QString referenceText;
    bool failed = false;
    double failureX = 0; // seconds: the end of cycle N_f
    QString failureText;
    std::vector<std::pair<double, double>> stalls; // seconds, from .. to
};

namespace PlotColors {
constexpr QRgb Reference = 0xff7a3db8;
constexpr QRgb Failure = 0xffc00000;
} // namespace PlotColors

void paintWatchMarks(QPainter& painter, const QRect& area, const PlotAxis& x, const PlotAxis& y,
                     const PlotWatchMarks& marks);
