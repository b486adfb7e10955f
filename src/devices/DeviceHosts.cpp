#include "devices/DeviceHosts.h"

#include "adc/InterfaceCatalogue.h"
#include "devices/Class_PciBase.h"
#include "devices/Class_USB_AD.h"
#include "devices/Class_USB_AD16f.h"
#include "devices/ConverterBackend.h"
#include "devices/ConverterControl.h"
#include "devices/DeviceError.h"
#include "devices/DeviceTransports.h"
#include "devices/Form_BMC_AD16f.h"
#include "devices/Form_BMC_LibadX.h"
#include "devices/Form_BMC_USBAD.h"
#include "platform/ProfileFile.h"
#include "platform/Prompts.h"

namespace {
QString deviceOf(int32_t interfaceNumber) {
    switch (interfaceNumber) {
    case InterfaceCatalogue::UsbAd16f:
        return QLatin1String(Class_USB_AD16f::Device);
    case InterfaceCatalogue::UsbAd:
        return QLatin1String(Class_USB_AD::Device);
    case InterfaceCatalogue::PciBase:
        return QLatin1String(Class_PciBase::Device);
    default:
        return {};
    }
}
} // namespace

DeviceHosts::DeviceHosts(const ProfileFile& settings, Prompts& prompts,
                         const MillisecondClock& clock)
    : DeviceHosts(
          settings, prompts,
          [transports = DeviceTransports(clock)](const QString& address) {
              return transports.create(address);
          },
          [transports = DeviceTransports(clock)](int32_t number, const QString& address) {
              return transports.createConverter(number, address);
          }) {}

DeviceHosts::DeviceHosts(const ProfileFile& settings, Prompts& prompts, ControlFactory makeControl,
                         ConverterFactory makeConverter)
    : m_settings(settings), m_prompts(prompts), m_makeControl(std::move(makeControl)),
      m_makeConverter(std::move(makeConverter)) {}

DeviceHosts::~DeviceHosts() = default;

void DeviceHosts::tell(const QString& text) {
    if (m_quiet)
        return;
    m_prompts.messageBox(text, QStringLiteral("A/D-Converter"), PromptIcon::Critical);
}

std::optional<QString> DeviceHosts::address(const ProfileReader& settings, const QString& device,
                                            QString* key) {
    QStringList keys{device};
    if (device == QLatin1String(Class_PciBase::Device))
        keys.append(QLatin1String(Class_PciBase::OtherName));
    for (const QString& name : keys) {
        const std::optional<QString> value = settings.rawValue(QLatin1String(Section), name);
        if (value && !value->trimmed().isEmpty()) {
            if (key)
                *key = name;
            return value->trimmed();
        }
    }
    return std::nullopt;
}

std::unique_ptr<DeviceControl> DeviceHosts::makeControl(const QString& device) {
    QString key;
    const std::optional<QString> configured = address(m_settings, device, &key);
    if (!configured)
        return nullptr;
    try {
        return m_makeControl(*configured);
    } catch (const DeviceError& error) {
        tell(QStringLiteral("The entry \"%1=%2\" in section [%3] of %4 cannot be used: %5.")
                 .arg(key, *configured, QLatin1String(Section), m_settings.path(), error.why()));
        return nullptr;
    }
}

ConverterControl* DeviceHosts::converter(int32_t interfaceNumber) {
    if (!InterfaceCatalogue::isConverter(interfaceNumber))
        return nullptr;
    if (m_converterNumber == interfaceNumber)
        return m_converter.get();
    if (m_converter)
        m_converter->close();
    m_converter.reset();
    m_converterNumber = interfaceNumber;
    const QString address =
        m_settings.rawValue(QLatin1String(DeviceSection), QLatin1String(DeviceKey))
            .value_or(QString())
            .trimmed();
    try {
        if (!m_makeConverter)
            throw DeviceError(QStringLiteral("this rig has no converters"));
        m_converter = m_makeConverter(interfaceNumber, address);
        m_converterAddress = address;
    } catch (const DeviceError& error) {
        tell(QStringLiteral("The device \"%1\" (%2= in section [%3] of %4) cannot be used for "
                            "\"%5\": %6.")
                 .arg(address, QLatin1String(DeviceKey), QLatin1String(DeviceSection),
                      m_settings.path(), InterfaceCatalogue::displayName(interfaceNumber, 0),
                      error.why()));
    }
    return m_converter.get();
}

// The converter stays open from the probe to the end of the run: opening a
// recorded signal reads ahead in it, and a converter is asked once.
bool DeviceHosts::probeConverter(int32_t interfaceNumber) {
    ConverterControl* control = converter(interfaceNumber);
    if (!control)
        return false;
    if (control->isOpen() || control->open(InterfaceCatalogue::driverFile(interfaceNumber)))
        return true;
    tell(QStringLiteral("The device \"%1\" (%2= in section [%3] of %4) cannot be opened: %5.")
             .arg(m_settings.rawValue(QLatin1String(DeviceSection), QLatin1String(DeviceKey))
                      .value_or(QString())
                      .trimmed(),
                  QLatin1String(DeviceKey), QLatin1String(DeviceSection), m_settings.path(),
                  control->openError()));
    return false;
}

QString DeviceHosts::examine(int32_t interfaceNumber, const QString& address) {
    if (!m_makeConverter)
        throw DeviceError(QStringLiteral("this rig has no converters"));
    // A converter that streams holds its device node and buffer: a second
    // one opened beside it would be refused, or stop the buffer as it closes.
    if (m_converter && m_converterNumber == interfaceNumber && m_converter->isOpen() &&
        m_converter->scanStream() && address.trimmed() == m_converterAddress)
        return m_converter->found().description;
    const std::unique_ptr<ConverterControl> control =
        m_makeConverter(interfaceNumber, address.trimmed());
    if (!control->open(InterfaceCatalogue::driverFile(interfaceNumber)))
        throw DeviceError(control->openError());
    QString found = control->found().description;
    try {
        control->beginTick(0);
        control->readVoltage(1, 0);
    } catch (const DeviceError& error) {
        found += QStringLiteral("; no reading yet: %1").arg(error.why());
    }
    control->close();
    return found;
}

void DeviceHosts::beginTick(int32_t interfaceNumber, int32_t countedChannel) {
    DeviceControl* control = nullptr;
    if (InterfaceCatalogue::isConverter(interfaceNumber)) {
        if (m_converterNumber == interfaceNumber)
            control = m_converter.get();
    } else if (LibadxHost* form = host(interfaceNumber)) {
        control = form->LIBADX1();
    }
    if (control)
        control->beginTick(countedChannel < 0 ? 0 : countedChannel + 1);
}

LibadxHost* DeviceHosts::host(int32_t interfaceNumber) {
    const QString device = deviceOf(interfaceNumber);
    switch (interfaceNumber) {
    case InterfaceCatalogue::UsbAd16f:
        if (!m_ad16f)
            m_ad16f = std::make_unique<Form_BMC_AD16f>(makeControl(device));
        return m_ad16f.get();
    case InterfaceCatalogue::UsbAd:
        if (!m_usbAd)
            m_usbAd = std::make_unique<Form_BMC_USBAD>(makeControl(device));
        return m_usbAd.get();
    case InterfaceCatalogue::PciBase:
        if (!m_libadx)
            m_libadx = std::make_unique<Form_BMC_LibadX>(makeControl(device));
        return m_libadx.get();
    default:
        return nullptr;
    }
}

bool DeviceHosts::probe(int32_t interfaceNumber) {
    if (InterfaceCatalogue::isConverter(interfaceNumber))
        return probeConverter(interfaceNumber);
    LibadxHost* form = host(interfaceNumber);
    if (!form)
        return false;
    // A device held open answers already; opening it again is not needed.
    if (form->IsOpen != 0)
        return true;
    DeviceControl* control = form->LIBADX1();
    if (!control || !control->open(deviceOf(interfaceNumber)))
        return false;
    control->close();
    return true;
}

std::unique_ptr<Class_AD_Backend> DeviceHosts::createBackend(int32_t interfaceNumber) {
    if (ConverterControl* control = converter(interfaceNumber))
        return std::make_unique<ConverterBackend>(
            *control, InterfaceCatalogue::displayName(interfaceNumber, 0),
            InterfaceCatalogue::driverFile(interfaceNumber));
    LibadxHost* form = host(interfaceNumber);
    switch (interfaceNumber) {
    case InterfaceCatalogue::UsbAd16f:
        return std::make_unique<Class_USB_AD16f>(*form);
    case InterfaceCatalogue::UsbAd:
        return std::make_unique<Class_USB_AD>(*form);
    case InterfaceCatalogue::PciBase:
        return std::make_unique<Class_PciBase>(*form);
    default:
        return nullptr;
    }
}

void DeviceHosts::release(int32_t interfaceNumber) {
    LibadxHost* form = host(interfaceNumber);
    if (!form)
        return;
    form->IsOpen &= ~LibadxHost::AdSide;
    if (form->IsOpen == 0 && form->LIBADX1())
        form->LIBADX1()->close();
}

DeviceControl& DeviceHosts::usbAdControl() {
    LibadxHost* form = host(InterfaceCatalogue::UsbAd);
    if (!form->LIBADX1())
        throw DeviceError(QStringLiteral("no transport is configured for %1")
                              .arg(QLatin1String(Class_USB_AD::Device)));
    return *form->LIBADX1();
}

void DeviceHosts::setBlockTiming(float intervalSeconds, int32_t& samplesPerChannel) {
    usbAdControl().setBlockTiming(intervalSeconds, samplesPerChannel);
}

void DeviceHosts::addBlockChannel(int32_t& channel, int32_t& range) {
    usbAdControl().addBlockChannel(channel, range);
}

void DeviceHosts::acquireBlock() {
    usbAdControl().acquireBlock();
}

float DeviceHosts::blockSample(int32_t& channel, int32_t& sample) {
    return usbAdControl().blockSample(channel, sample);
}

void DeviceHosts::unloadHosts() {
    for (LibadxHost* form :
         {static_cast<LibadxHost*>(m_ad16f.get()), static_cast<LibadxHost*>(m_usbAd.get()),
          static_cast<LibadxHost*>(m_libadx.get())}) {
        if (form)
            form->Form_Unload();
    }
    if (m_converter)
        m_converter->close();
}
