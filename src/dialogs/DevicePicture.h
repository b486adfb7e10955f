#pragma once
// Image_AD of the A/D setup dialog: a small drawing of a measurement box with
// its row of input sockets, a status lamp and a cable, shown for the devices
// reached through the vendor control. Drawn in the colours of the palette it
// is given, so that it reads in light and dark colour schemes alike.
#include <QPalette>
#include <QPixmap>
#include <QSize>

namespace DevicePicture {
// `size` in device-independent pixels; `pixelRatio` of the screen it is shown on.
QPixmap draw(const QSize& size, const QPalette& palette, qreal pixelRatio = 1.0);
} // namespace DevicePicture
