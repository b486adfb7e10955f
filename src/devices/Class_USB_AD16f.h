#pragma once
// The backend of interface 20, the BMC USB-AD16f box on device "usbbase:0":
// four ranges from +/-1 V to +/-10 V.
#include "devices/LibadxBackend.h"

class Class_USB_AD16f final : public LibadxBackend {
public:
    static constexpr const char* Device = "usbbase:0";

    explicit Class_USB_AD16f(LibadxHost& host)
        : LibadxBackend(host, {QLatin1String(Device),
                               QStringLiteral("Apr. 02, 2010 (R)"),
                               QStringLiteral("BMC USB-AD16f:0"),
                               {{-1.0f, 1.0f}, {-2.0f, 2.0f}, {-5.0f, 5.0f}, {-10.0f, 10.0f}}}) {}
};
