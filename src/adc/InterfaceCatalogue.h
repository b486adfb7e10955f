#pragma once
// The fixed table of A/D interfaces 0..25: display names, the legacy names that
// older settings files use, and driver files. Only interfaces with a driver
// file (9, 20..25) can be opened; the rest stay so that old names are still
// recognised and shown. Pure look-ups; the facade adds the registry part.
#include <QString>
#include <cstdint>

class InterfaceCatalogue {
public:
    static constexpr int32_t None = 0;
    static constexpr int32_t Simulated = 9;         // "Dummy A/D"
    static constexpr int32_t AdvantechPci1716 = 19; // carries a device number
    static constexpr int32_t UsbAd16f = 20;         // the LIBADX devices: 20..22
    static constexpr int32_t UsbAd = 21;
    static constexpr int32_t PciBase = 22;
    static constexpr int32_t Iio = 23; // the converters at a [HARDWARE] Device= address: 23..25
    static constexpr int32_t Modbus = 24;
    static constexpr int32_t Replay = 25;
    static constexpr int32_t Highest = 25;

    // Display name of `number`; 19 carries the Advantech device number.
    // Empty for numbers without an entry (7, 13, 16, negatives, above 25).
    static QString displayName(int32_t number, int32_t advantechDeviceNumber);
    // Number of a legacy name (compared upper-cased), or 0 when it is none.
    static int32_t legacyNumber(const QString& name);
    static QString driverFile(int32_t number);
    static bool isLibadx(int32_t number);
    static bool isConverter(int32_t number);
};
