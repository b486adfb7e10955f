#include "adc/InterfaceCatalogue.h"

#include <array>
#include <utility>

namespace {
// In the order in which they are tried: settings files of every program
// generation must keep resolving to the same interface.
constexpr std::array<std::pair<const char*, int32_t>, 19> LegacyNames{{
    {"ADCFILE", 10},    {"CBAD", 1},       {"AX5621AD", 2},
    {"RTX03BAD", 3},    {"PACP12AD", 4},   {"FPC011AD", 6},
    {"LTC1290", 8},     {"DUMMYAD", 9},    {"DAS1602", 11},
    {"AD12LC", 12},     {"P1000.OCX", 14}, {"PCI300X.OCX", 15},
    {"AD_USB.OCX", 17}, {"CWDAQ.OCX", 18}, {"ADVANTECH PCI-1716", 19},
    {"LIBADX.OCX", 21}, {"IIO", 23},       {"MODBUS", 24},
    {"REPLAY", 25},
}};
} // namespace

QString InterfaceCatalogue::displayName(int32_t number, int32_t advantechDeviceNumber) {
    switch (number) {
    case 0:
        return QStringLiteral("(none)");
    case 1:
        return QStringLiteral("ComputerBoards Inc.: Universal Library, Bd# 1");
    case 2:
        return QStringLiteral("AX5621  16-Bit A/D Converter");
    case 3:
        return QStringLiteral("RTX-03B  14-Bit A/D Converter");
    case 4:
        return QStringLiteral("Pacp12AD");
    case 5:
        return QStringLiteral("AD_Simulator");
    case 6:
        return QStringLiteral("Flytech: FPC-011  14-Bit A/D Converter");
    case 8:
        return QStringLiteral("Ltc1290");
    case 9:
        return QStringLiteral("Dummy A/D");
    case 10:
        return QStringLiteral("ADCFile");
    case 11:
        return QStringLiteral("Das1602");
    case 12:
        return QStringLiteral("Ad12lc");
    case 14:
        return QStringLiteral("BMC Messsysteme: PC20TR");
    case 15:
        return QStringLiteral("BMC Messsysteme: PCI-Base50/300/1000 + MADx");
    case 17:
        return QStringLiteral("AD USB 1/2");
    case 18:
        return QStringLiteral("National Instruments: 6023E/6024E/6025E");
    case 19:
        return QStringLiteral("Advantech PCI-1716 (Device Number ") +
               QString::number(advantechDeviceNumber) + QLatin1Char(')');
    case 20:
        return QStringLiteral("BMC Messsysteme: USB-AD16f:0");
    case 21:
        return QStringLiteral("BMC Messsysteme: USB-AD:0");
    case 22:
        return QStringLiteral("BMC Messsysteme: PCI-Base300/1000 + MADx");
    case 23:
        return QStringLiteral("Linux Industrial I/O");
    case 24:
        return QStringLiteral("Modbus/TCP");
    case 25:
        return QStringLiteral("Recorded signal (replay)");
    default:
        return QString();
    }
}

int32_t InterfaceCatalogue::legacyNumber(const QString& name) {
    const QString upper = name.toUpper();
    for (const auto& [legacy, number] : LegacyNames) {
        if (upper == QLatin1String(legacy)) {
            return number;
        }
    }
    return 0;
}

QString InterfaceCatalogue::driverFile(int32_t number) {
    if (number == Simulated) {
        return QStringLiteral("DummyAD");
    }
    if (isLibadx(number)) {
        return QStringLiteral("LibadX.ocx");
    }
    switch (number) {
    case Iio:
        return QStringLiteral("iio");
    case Modbus:
        return QStringLiteral("modbus");
    case Replay:
        return QStringLiteral("replay");
    default:
        return QString();
    }
}

bool InterfaceCatalogue::isLibadx(int32_t number) {
    return number >= UsbAd16f && number <= PciBase;
}

bool InterfaceCatalogue::isConverter(int32_t number) {
    return number >= Iio && number <= Replay;
}
