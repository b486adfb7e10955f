#pragma once
// Where the recorder window opens for the place saved in the settings file:
// 207 pixels wide, by default flush with the right edge of the screen and as
// tall as it, and always pulled back onto the screen so that a place saved on
// a monitor that has since gone never opens out of reach.
#include "recorder/RecorderSettings.h"

#include <QPoint>
#include <QRect>
#include <QSize>

namespace RecorderPlacement {
constexpr double TwipsPerPixel = 15.0;
constexpr int WindowWidth = 207; // pixels of the window's inner area

// Nearest pixel; NaN gives 0 and values beyond the int range stop at its ends.
int twipsToPixels(double twips);
double pixelsToTwips(int pixels);

struct Place {
    QPoint topLeft; // of the window's frame
    int height;     // of the window's inner area
};

// `frameExtra`: what the frame adds to the inner size (nothing before the
// window was first shown); `area`: the available part of the screen.
Place place(const RecorderSettings& saved, QSize frameExtra, const QRect& area);
} // namespace RecorderPlacement
