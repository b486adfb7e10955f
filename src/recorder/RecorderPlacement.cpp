#include "recorder/RecorderPlacement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace RecorderPlacement {

int twipsToPixels(double twips) {
    if (std::isnan(twips))
        return 0;
    const double pixels = std::round(twips / TwipsPerPixel);
    if (pixels <= std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (pixels >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(pixels);
}

double pixelsToTwips(int pixels) {
    return pixels * TwipsPerPixel;
}

namespace {
// A position on one axis: `fallback` for a negative saved value, pulled back
// so that the window ends inside the area and starts inside it. 64 bits, so
// that a saturated position cannot overflow.
int clampAxis(float savedTwips, int64_t fallback, int64_t length, int64_t areaStart,
              int64_t areaLength) {
    int64_t position = savedTwips < 0.0f ? fallback : twipsToPixels(savedTwips);
    position = std::min(position, areaStart + areaLength - length);
    position = std::max(position, areaStart);
    return static_cast<int>(position);
}
} // namespace

Place place(const RecorderSettings& saved, QSize frameExtra, const QRect& area) {
    frameExtra = frameExtra.expandedTo(QSize(0, 0));
    const int outerWidth = WindowWidth + frameExtra.width();
    int height = twipsToPixels(saved.Height);
    if (saved.Height <= 0.0f || height > area.height() - frameExtra.height())
        height = area.height() - frameExtra.height();
    const int outerHeight = height + frameExtra.height();
    const int64_t flushRight = static_cast<int64_t>(area.x()) + area.width() - outerWidth;
    return {QPoint(clampAxis(saved.Left, flushRight, outerWidth, area.x(), area.width()),
                   clampAxis(saved.Top, area.y(), outerHeight, area.y(), area.height())),
            height};
}
} // namespace RecorderPlacement
