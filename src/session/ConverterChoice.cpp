#include "session/ConverterChoice.h"

#include "adc/AdcFacade.h"
#include "adc/InterfaceCatalogue.h"
#include "counting/SettingsFile.h"
#include "platform/SettingsStore.h"

#include <exception>

namespace {
const QString NoneName = QStringLiteral("(none)");

// What --device takes for the converters at an address.
QString addressForm(int32_t number) {
    switch (number) {
    case InterfaceCatalogue::Iio:
        return QStringLiteral("iio:NAME");
    case InterfaceCatalogue::Modbus:
        return QStringLiteral("modbus-tcp://HOST[:PORT]?OPTIONS");
    default:
        return QStringLiteral("replay:FILE[?column=N&loop=1]");
    }
}

// The interface of `name` that the dialog would list, or nothing.
std::optional<int32_t> listedNumber(AdcFacade& adc, const QString& name) {
    if (name.trimmed().compare(NoneName, Qt::CaseInsensitive) == 0)
        return InterfaceCatalogue::None;
    QString looked = name.trimmed();
    const int32_t number = adc.ADC_interface_number(looked);
    if (number == InterfaceCatalogue::None || AdcFacade::ADC_driver_file(number).isEmpty())
        return std::nullopt;
    return number;
}
} // namespace

QString ConverterChoice::list() {
    QString lines = NoneName + u'\n';
    for (int32_t number = 1; number <= InterfaceCatalogue::Highest; ++number) {
        if (AdcFacade::ADC_driver_file(number).isEmpty())
            continue;
        lines += InterfaceCatalogue::displayName(number, 0);
        if (InterfaceCatalogue::isConverter(number))
            lines += QStringLiteral("  (--device %1)").arg(addressForm(number));
        lines += u'\n';
    }
    return lines;
}

ConverterChoice::Result ConverterChoice::choose(AdcFacade& adc, SettingsStore& settings,
                                                const QString& name,
                                                const std::optional<QString>& device) {
    const std::optional<int32_t> number = listedNumber(adc, name);
    if (!number)
        return {false, QStringLiteral("\"%1\" is no A/D converter this program can open; "
                                      "--list-converters shows the names.")
                           .arg(name)};
    const QString chosen = adc.ADC_catalogue_name(*number);
    const bool atAddress = InterfaceCatalogue::isConverter(*number);
    if (device && !atAddress)
        return {false, QStringLiteral("\"%1\" has no address: --device is only for a converter "
                                      "at an address.")
                           .arg(chosen)};
    const QString address = device ? device->trimmed() : adc.deviceAddress();
    QString found;
    if (atAddress) {
        // As the dialog's Accept: nothing half-configured reaches the file.
        try {
            found = adc.examineDevice(*number, address);
        } catch (const std::exception& error) {
            return {false, QStringLiteral("%1 at \"%2\": %3")
                               .arg(chosen, address, QString::fromStdString(error.what()))};
        }
    }
    const bool saved = settings.save([&](ProfileFile& file) {
        SettingsFile::writeInterface(file, chosen);
        if (atAddress)
            SettingsFile::writeDevice(file, address);
    });
    if (!saved)
        return {false,
                QStringLiteral("Cannot write %1: %2").arg(settings.path(), settings.lastError())};
    QString text = QStringLiteral("A/D-Converter=%1").arg(chosen);
    if (atAddress)
        text += QStringLiteral(", Device=%1 (%2)").arg(address, found);
    return {
        true,
        text +
            QStringLiteral(" written to %1; it is opened at the next start.").arg(settings.path())};
}
