#include "devices/DeviceTransports.h"

#include "devices/DeviceError.h"
#include "devices/SimulatedBox.h"

std::unique_ptr<DeviceControl> DeviceTransports::create(const QString& address) const {
    const QString trimmed = address.trimmed();
    const qsizetype colon = trimmed.indexOf(u':');
    const QString scheme = colon < 0 ? trimmed : trimmed.left(colon + 1);
    if (scheme == u"sim:")
        return std::make_unique<SimulatedBox>(m_clock, SimulatedBox::parse(trimmed.mid(colon + 1)));
    throw DeviceError(
        QStringLiteral("the transport \"%1\" is unknown (this version knows \"sim:\")")
            .arg(scheme));
}
