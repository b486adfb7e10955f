#pragma once
// The backend of interface 22, the BMC PCI-Base card with MADx modules: four
// ranges from +/-1 V to +/-10 V. Probe and backend both open "pcibase:0", so
// that they reach the same device; "pci300:0", the card's other name, is
// accepted as the key of its transport in the settings file.
#include "devices/LibadxBackend.h"

class Class_PciBase final : public LibadxBackend {
public:
    static constexpr const char* Device = "pcibase:0";
    static constexpr const char* OtherName = "pci300:0";

    explicit Class_PciBase(LibadxHost& host)
        : LibadxBackend(host, {QLatin1String(Device),
                               QStringLiteral("Jun. 15, 2010 (R)"),
                               QStringLiteral("BMC PciBase50/300/1000:0"),
                               {{-1.0f, 1.0f}, {-2.0f, 2.0f}, {-5.0f, 5.0f}, {-10.0f, 10.0f}}}) {}
};
