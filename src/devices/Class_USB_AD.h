#pragma once
// The backend of interface 21, the BMC USB-AD box on device "usb-ad:0": one
// range of +/-5 V. The facade reads all its channels at once by a block read.
#include "devices/LibadxBackend.h"

class Class_USB_AD final : public LibadxBackend {
public:
    static constexpr const char* Device = "usb-ad:0";

    explicit Class_USB_AD(LibadxHost& host)
        : LibadxBackend(host, {QLatin1String(Device),
                               QStringLiteral("Apr. 02, 2010 (R)"),
                               QStringLiteral("BMC USB-AD:0"),
                               {{-5.0f, 5.0f}}}) {}
};
