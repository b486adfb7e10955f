#include "recorder/XtGeometry.h"

#include "platform/ZR2010.h"

#include <algorithm>
#include <cmath>

namespace XtGeometry {

float ScaleXtoPixel(float v, float Xmin, float Xmax, int width, int left) {
    const double span = static_cast<double>(Xmax) - Xmin;
    const double column = (static_cast<double>(v) - Xmin) / span * (width - 1) + left;
    // A float holds +-3.4e38; beyond it the column is off the image anyway.
    if (std::isfinite(column) && std::fabs(column) > 1e38)
        return column > 0 ? INFINITY : -INFINITY;
    return static_cast<float>(column);
}

double timeToRow(int32_t t0, int32_t time, int32_t intervalMs) {
    if (intervalMs <= 0)
        return NAN;
    return PenRow + static_cast<double>(ZR2010::ZR_SubTime(t0, time)) / intervalMs;
}

double gridVoltage(float Xmin, float Xmax, int i) {
    return Xmin + (static_cast<double>(Xmax) - Xmin) * i / GridDivisions;
}

std::array<GridColumn, GridLineCount> gridColumns(float Xmin, float Xmax, int width) {
    std::array<GridColumn, GridLineCount> columns{};
    for (int n = 0; n < GridLineCount; ++n) {
        const int i = 2 * n + 1;
        const auto v = static_cast<float>(gridVoltage(Xmin, Xmax, i));
        columns[static_cast<size_t>(n)] = {ScaleXtoPixel(v, Xmin, Xmax, width),
                                           i == 1 || i == 11 || i == 21};
    }
    return columns;
}

std::vector<int> gridRows(double height) {
    std::vector<int> rows;
    const std::optional<int> last = toPixel(height);
    for (int row = 0; last && row <= *last; row += RowsPerDivision)
        rows.push_back(row);
    return rows;
}

QString formatScaleValue(double value, float Xmax, const QLocale& locale) {
    const int decimals = Xmax >= 1.0f ? 0 : 1;
    const double scale = decimals == 0 ? 1.0 : 10.0;
    double rounded = std::round(value * scale) / scale;
    if (rounded == 0.0)
        rounded = 0.0; // drops the sign of -0.0, which would print "-0"
    QString text = QString::number(rounded, 'f', decimals);
    if (decimals > 0)
        text.replace(u'.', locale.decimalPoint());
    return text;
}

std::array<ScaleLabel, 3> scaleLabels(float Xmin, float Xmax, int width, const QLocale& locale) {
    std::array<ScaleLabel, 3> labels;
    const std::array<int, 3> at{1, 11, 21};
    for (size_t n = 0; n < at.size(); ++n) {
        const double value = gridVoltage(Xmin, Xmax, at[n]);
        labels[n] = {formatScaleValue(value, Xmax, locale),
                     ScaleXtoPixel(static_cast<float>(value), Xmin, Xmax, width)};
    }
    return labels;
}

int labelLeft(int centre, int textWidth, int stripWidth) {
    const int left = centre - textWidth / 2;
    return std::max(0, std::min(left, stripWidth - textWidth));
}

std::optional<int> toPixel(double value) {
    if (!std::isfinite(value) || std::fabs(value) > PixelLimit)
        return std::nullopt;
    return static_cast<int>(std::lround(value));
}

// Liang-Barsky: the line as p0 + t (p1 - p0), t in [0, 1], narrowed by each edge.
std::optional<QLineF> clipLine(const QLineF& line, const QRectF& area) {
    const double x0 = line.x1(), y0 = line.y1(), x1 = line.x2(), y1 = line.y2();
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
        return std::nullopt;
    const double dx = x1 - x0, dy = y1 - y0;
    const std::array<double, 4> p{-dx, dx, -dy, dy};
    const std::array<double, 4> q{x0 - area.left(), area.right() - x0, y0 - area.top(),
                                  area.bottom() - y0};
    double t0 = 0.0, t1 = 1.0;
    for (size_t k = 0; k < p.size(); ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0)
                return std::nullopt; // parallel to this edge and outside it
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return std::nullopt;
    }
    // With far-away ends the products lose their small digits; the clamp keeps
    // the result inside the area all the same.
    const auto x = [&](double t) { return std::clamp(x0 + t * dx, area.left(), area.right()); };
    const auto y = [&](double t) { return std::clamp(y0 + t * dy, area.top(), area.bottom()); };
    return QLineF(x(t0), y(t0), x(t1), y(t1));
}

double plotYRow(float y, float Ymin, float Ymax, int height, int top) {
    return (static_cast<double>(Ymax) - y) / (static_cast<double>(Ymax) - Ymin) * (height - 1) +
           top;
}
} // namespace XtGeometry
