#pragma once
// What a redraw from memory (PlotXt) draws, worked out without any image:
// the trace as one polyline from the newest sample on the pen row back
// through the ring, and the row of every trigger mark, all relative to the
// newest sample's time. The window draws the plan; tests check it.
#include <QPointF>
#include <cstdint>
#include <vector>

struct XtRecording;

struct XtMarkRow {
    double row;
    int32_t counter;
};

struct XtRedrawPlan {
    std::vector<QPointF> trace;   // newest first; may hold non-finite points
    std::vector<XtMarkRow> marks; // newest first

    // `width`: of the plot area; `intervalMs`: the scroll interval (ms per row).
    static XtRedrawPlan make(const XtRecording& recording, float Xmin, float Xmax, int width,
                             int32_t intervalMs);
};
