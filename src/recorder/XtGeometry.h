#pragma once
// The recorder's drawing maths, kept out of the paint code so that it can be
// tested: voltage to column, time to row, where the grid lies, the scale
// labels, and the checks that keep absurd values (a NaN or 1e30 V read from a
// damaged data file, a forged time stamp) from reaching integer pixels.
//
// Coordinates are pixels of the plot area, x to the right, y downwards. The
// pen writes on row PenRow; older samples lie further down, one row per
// scroll interval.
#include <QLineF>
#include <QLocale>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace XtGeometry {
constexpr int PenRow = 20;
constexpr int RowsPerDivision = 20;
// Vertical grid lines at i/22 of the range for i = 1, 3, ..., 21.
constexpr int GridLineCount = 11;
constexpr int GridDivisions = 22;
// Pixel coordinates beyond this are treated as off the image; it keeps the
// conversions far inside the int range.
constexpr double PixelLimit = 1 << 24;

// Column of voltage v: (v - Xmin) / (Xmax - Xmin) * (width - 1) + left.
float ScaleXtoPixel(float v, float Xmin, float Xmax, int width, int left = 0);

// Row of a sample `time` when the newest one (time t0) is on the pen row:
// PenRow + (t0 - time) / intervalMs, the difference taken in wrapping 32-bit
// arithmetic so that a wrap of the clock does no harm. NaN for an interval <= 0.
double timeToRow(int32_t t0, int32_t time, int32_t intervalMs);

// The voltage at i/22 of the range.
double gridVoltage(float Xmin, float Xmax, int i);

struct GridColumn {
    float column;
    bool black; // negative full scale, zero and positive full scale
};
std::array<GridColumn, GridLineCount> gridColumns(float Xmin, float Xmax, int width);

// Rows of the horizontal grid: 0, 20, 40, ... up to the height rounded.
std::vector<int> gridRows(double height);

// A scale label value as the user reads it: whole numbers when Xmax >= 1,
// else one decimal with the locale's separator; ASCII digits and minus, and
// never "-0".
QString formatScaleValue(double value, float Xmax, const QLocale& locale);

struct ScaleLabel {
    QString text;
    float centre; // column of the label's centre
};
// The three labels of the scale strip: negative full scale, zero, positive.
std::array<ScaleLabel, 3> scaleLabels(float Xmin, float Xmax, int width, const QLocale& locale);

// Left edge of a label centred on `centre`, moved inwards where it would be
// cut off at either end of the strip (the full-scale labels of "-10 ... +10 V"
// are wider than the space beside their grid lines).
int labelLeft(int centre, int textWidth, int stripWidth);

// The nearest whole pixel, or nothing when the value is not finite or lies
// beyond PixelLimit.
std::optional<int> toPixel(double value);

// The part of `line` inside `area` (edges included), or nothing when no part
// is, or when a coordinate is not finite.
std::optional<QLineF> clipLine(const QLineF& line, const QRectF& area);

// Row of the PlotY point: (Ymax - y) / (Ymax - Ymin) * (height - 1) + top.
double plotYRow(float y, float Ymin, float Ymax, int height, int top = 0);
} // namespace XtGeometry
