#include "ui/WindowPlacement.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace WindowPlacement {

int twipsToPixels(double twips) {
    if (std::isnan(twips))
        return 0;
    const double pixels = std::round(twips / TwipsPerPixel);
    constexpr double Lowest = std::numeric_limits<int>::min();
    constexpr double Highest = std::numeric_limits<int>::max();
    if (pixels <= Lowest)
        return std::numeric_limits<int>::min();
    if (pixels >= Highest)
        return std::numeric_limits<int>::max();
    return static_cast<int>(pixels);
}

double pixelsToTwips(int pixels) {
    return pixels * TwipsPerPixel;
}

int clampAxis(int position, int windowLength, int areaStart, int areaLength) {
    // In 64 bits: a saturated position minus the area start must not overflow.
    int64_t offset = static_cast<int64_t>(position) - areaStart;
    const int64_t room = static_cast<int64_t>(areaLength) - windowLength;
    if (offset >= 0 && room < offset)
        offset = room;
    if (offset < 0)
        offset = 0;
    return static_cast<int>(areaStart + offset);
}

QPoint keepInArea(QPoint position, QSize window, const QRect& area) {
    return {clampAxis(position.x(), window.width(), area.x(), area.width()),
            clampAxis(position.y(), window.height(), area.y(), area.height())};
}

QPoint placeOnScreen(double leftTwips, double topTwips, QSize window, const QRect& area) {
    return keepInArea({twipsToPixels(leftTwips), twipsToPixels(topTwips)}, window, area);
}

} // namespace WindowPlacement
