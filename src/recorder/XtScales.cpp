#include "recorder/XtScales.h"

#include <cmath>

namespace XtScales {
namespace {
constexpr int32_t RowsPerDivision = 20;
constexpr double EdgeMargin = 1.1;
} // namespace

bool isTimeScaleIndex(int32_t index) {
    return index >= 0 && index < static_cast<int32_t>(TimeScales.size());
}

bool isXScaleIndex(int32_t index) {
    return index >= 0 && index < static_cast<int32_t>(VoltageScales.size());
}

std::optional<int32_t> scrollIntervalMs(int32_t index) {
    if (!isTimeScaleIndex(index))
        return std::nullopt;
    const double seconds = TimeScales[static_cast<size_t>(index)].secondsPerDivision;
    return static_cast<int32_t>(std::lround(seconds / RowsPerDivision * 1000.0));
}

std::optional<XRange> xRange(int32_t index) {
    if (!isXScaleIndex(index))
        return std::nullopt;
    const double fullScale = VoltageScales[static_cast<size_t>(index)].fullScale;
    return XRange{static_cast<float>(-fullScale * EdgeMargin),
                  static_cast<float>(fullScale * EdgeMargin)};
}

QString timeMenuTitle(int32_t index) {
    if (!isTimeScaleIndex(index))
        return QStringLiteral("&t-Scale");
    return QStringLiteral("&t [%1]").arg(
        QLatin1String(TimeScales[static_cast<size_t>(index)].caption));
}

QString xMenuTitle(int32_t index) {
    if (!isXScaleIndex(index))
        return QStringLiteral("&X-Scale");
    return QStringLiteral("&X [%1]").arg(
        QLatin1String(VoltageScales[static_cast<size_t>(index)].caption));
}
} // namespace XtScales
