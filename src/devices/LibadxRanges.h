#pragma once
// The range tables of the LIBADX device strings, shared by every transport
// that serves them: the USB-AD has one range of +/-5 V; the USB-AD16f and the
// PCI-Base have four, from +/-1 V to +/-10 V.
#include <QString>
#include <utility>
#include <vector>

namespace LibadxRanges {
using Table = std::vector<std::pair<float, float>>;

// The table of `device` ("usbbase:0", "usb-ad:0", "pcibase:0", "pci300:0");
// empty for a string that names none of them.
inline Table of(const QString& device) {
    if (device.startsWith(QLatin1String("usb-ad:")))
        return {{-5.0f, 5.0f}};
    if (device.startsWith(QLatin1String("usbbase:")) || device.startsWith(QLatin1String("pci")))
        return {{-1.0f, 1.0f}, {-2.0f, 2.0f}, {-5.0f, 5.0f}, {-10.0f, 10.0f}};
    return {};
}
} // namespace LibadxRanges
