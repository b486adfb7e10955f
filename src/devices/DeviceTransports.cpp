#include "devices/DeviceTransports.h"

#include "adc/InterfaceCatalogue.h"
#include "devices/DeviceError.h"
#include "devices/IioControl.h"
#include "devices/ModbusControl.h"
#include "devices/ReplayControl.h"
#include "devices/SimulatedBox.h"

namespace {
const QString Iio = QStringLiteral("iio:");
const QString Modbus = QStringLiteral("modbus-tcp://");
const QString Replay = QStringLiteral("replay:");
} // namespace

QString DeviceTransports::schemeOf(int32_t interfaceNumber) {
    switch (interfaceNumber) {
    case InterfaceCatalogue::Iio:
        return Iio;
    case InterfaceCatalogue::Modbus:
        return Modbus;
    case InterfaceCatalogue::Replay:
        return Replay;
    default:
        return QString();
    }
}

std::unique_ptr<ConverterControl> DeviceTransports::converter(const QString& address) const {
    if (address.startsWith(Iio))
        return std::make_unique<IioControl>(IioControl::parse(address.mid(Iio.size())));
    if (address.startsWith(Modbus))
        return std::make_unique<ModbusControl>(m_clock,
                                               ModbusControl::parse(address.mid(Modbus.size())));
    if (address.startsWith(Replay))
        return std::make_unique<ReplayControl>(m_clock,
                                               ReplayControl::parse(address.mid(Replay.size())));
    return nullptr;
}

std::unique_ptr<DeviceControl> DeviceTransports::create(const QString& address) const {
    const QString trimmed = address.trimmed();
    const qsizetype colon = trimmed.indexOf(u':');
    const QString scheme = colon < 0 ? trimmed : trimmed.left(colon + 1);
    if (scheme == u"sim:")
        return std::make_unique<SimulatedBox>(m_clock, SimulatedBox::parse(trimmed.mid(colon + 1)));
    if (std::unique_ptr<ConverterControl> made = converter(trimmed))
        return made;
    throw DeviceError(QStringLiteral("the transport \"%1\" is unknown (known: sim:, iio:, "
                                     "modbus-tcp://, replay:)")
                          .arg(scheme));
}

std::unique_ptr<ConverterControl> DeviceTransports::createConverter(int32_t interfaceNumber,
                                                                    const QString& address) const {
    const QString scheme = schemeOf(interfaceNumber);
    const QString trimmed = address.trimmed();
    if (scheme.isEmpty())
        throw DeviceError(
            QStringLiteral("interface %1 takes no device address").arg(interfaceNumber));
    if (trimmed.isEmpty())
        throw DeviceError(
            QStringLiteral("no device address is given (it starts with %1)").arg(scheme));
    if (!trimmed.startsWith(scheme))
        throw DeviceError(QStringLiteral("\"%1\" is no address of this interface: it must start "
                                         "with %2")
                              .arg(trimmed.left(40), scheme));
    return converter(trimmed);
}
