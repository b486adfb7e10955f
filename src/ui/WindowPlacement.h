#pragma once
// Where the main window opens. The settings file keeps its position in twips
// (15 per device-independent pixel) so that files of older installations keep
// working; a saved position is pulled back onto the screen, so that a window
// saved on a monitor that has since gone never opens out of reach.
#include <QPoint>
#include <QRect>
#include <QSize>

namespace WindowPlacement {
constexpr double TwipsPerPixel = 15.0;

// Nearest pixel, halves away from zero; NaN gives 0 and values beyond the
// int range stop at its ends, so a damaged file cannot overflow the maths.
int twipsToPixels(double twips);
double pixelsToTwips(int pixels);

// One axis: a position past the far edge of the area puts the window flush
// with that edge, one before the near edge puts it on the near edge. A window
// longer than the area goes to the near edge, so its title bar stays in reach.
int clampAxis(int position, int windowLength, int areaStart, int areaLength);

// The window's top-left corner, pulled into `area` along both axes.
QPoint keepInArea(QPoint position, QSize window, const QRect& area);

// The window's top-left corner in pixels for a position saved in twips;
// `window` is the size of the whole window, `area` the available part of the
// screen (without panels and task bars).
QPoint placeOnScreen(double leftTwips, double topTwips, QSize window, const QRect& area);
} // namespace WindowPlacement
