#include "adc/AdcFacade.h"

#include "adc/Class_AD.h"
#include "adc/Class_AD_Dummy.h"
#include "adc/InterfaceCatalogue.h"
#include "common/ErrorText.h"
#include "common/NumberText.h"
#include "platform/ProfileFile.h"
#include "platform/Prompts.h"
#include "platform/RegistryArea.h"

#include <QDir>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace {

// Run-time error numbers shown when a backend object cannot be created.
constexpr int32_t OutOfMemory = 7;
constexpr int32_t CannotCreateObject = 429;

// The registry holds text that anyone may have edited: anything that is not a
// number within the 32-bit range gives the default instead of an overflow.
int32_t readWholeNumber(const RegistryArea& registry, const QString& section, const QString& key,
                        int32_t defaultValue) {
    bool ok = false;
    const double value = registry.value(section, key, QString()).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) ||
        value < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
        value > static_cast<double>(std::numeric_limits<int32_t>::max())) {
        return defaultValue;
    }
    return static_cast<int32_t>(std::nearbyint(value));
}

// setBusy(true) on construction, setBusy(false) however the scope is left.
class BusyScope {
public:
    explicit BusyScope(std::function<void(bool)> setBusy) : m_setBusy(std::move(setBusy)) {
        if (m_setBusy) {
            m_setBusy(true);
        }
    }
    ~BusyScope() {
        if (m_setBusy) {
            m_setBusy(false);
        }
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    std::function<void(bool)> m_setBusy;
};

} // namespace

AdcFacade::AdcFacade(const MillisecondClock& clock, RegistryArea& registry, Prompts& prompts,
                     QString exportFolder, LibadxDevices& devices, QLocale locale)
    : m_clock(clock), m_registry(registry), m_prompts(prompts),
      m_exportFolder(std::move(exportFolder)), m_devices(devices), m_locale(std::move(locale)) {}

void AdcFacade::setChannelName(size_t channel, const QString& name) {
    if (channel < ADChannelInfo.size())
        ADChannelInfo[channel].ChannelName = name;
}

AdcFacade::~AdcFacade() = default;

Class_AD_Backend& AdcFacade::backend() {
    // Start-up resets the facade before anything else; should a caller come
    // first, it meets the placeholder instead of a null pointer.
    if (!ADBackend) {
        ADC_reset();
    }
    return *ADBackend;
}

bool AdcFacade::ADC_open(QString& name) {
    const int32_t number = ADC_interface_number(name);
    if (number == InterfaceCatalogue::None) {
        return false;
    }
    ADDriverFile = ADC_driver_file(number);
    if (ADDriverFile.isEmpty()) {
        return false;
    }
    const BusyScope busy(setBusy);

    ADReady = ADC_load(number, ADDriverFile) != 0;
    if (!ADReady) {
        return false;
    }
    // Success is judged on the whole result: a port number that happens to
    // wrap to 0 in 16 bits is still a device that initialised.
    const int32_t port = ADC_init(ADPort);
    ADPort = static_cast<int16_t>(port);
    if (port == 0) {
        ADReady = false;
        ADC_reset();
        return false;
    }
    // The facade keeps what the backend returns, so a backend may correct or
    // replace each setting here.
    ADAveraging = ADC_set_averaging(ADAveraging);
    ADInputMode = ADC_input_mode(ADInputMode);
    ADRange = ADC_set_range(ADRange);

    for (int32_t channel = 0; channel < static_cast<int32_t>(ADChannelInfo.size()); ++channel) {
        QString& channelName = ADChannelInfo[static_cast<size_t>(channel)].ChannelName;
        if (channelName.isEmpty()) {
            channelName = ADC_channel_name(channel);
        }
    }
    return true;
}

int32_t AdcFacade::ADC_load(int32_t number, QString& driverFile) {
    ADC_reset();
    ADInterface = number;

    std::unique_ptr<Class_AD_Backend> created;
    int32_t error = 0;
    try {
        if (number == InterfaceCatalogue::Simulated) {
            created = std::make_unique<Class_AD_Dummy>(m_clock);
        } else if (IsDeviceInterface(number)) {
            // A device that does not answer is no error worth a message: the
            // start-up names the interface that could not be opened.
            if (!m_devices.probe(number)) {
                return 0;
            }
            created = m_devices.createBackend(number);
            if (!created) {
                error = CannotCreateObject;
            }
        } else {
            return 0;
        }
    } catch (const std::bad_alloc&) {
        error = OutOfMemory;
    } catch (...) {
        error = CannotCreateObject;
    }
    if (error != 0) {
        m_prompts.messageBox(ErrorText(error), driverFile, PromptIcon::Critical);
        return 0;
    }
    ADBackend = std::move(created);
    return ADBackend->AD_load(driverFile);
}

int32_t AdcFacade::ADC_init(int16_t port) {
    const int32_t result = backend().AD_init(port);
    if (result != 0) {
        // The range the user chose last time wins over the one in memory.
        ADRange =
            readWholeNumber(m_registry, QStringLiteral("ADC"), QStringLiteral("Range"), ADRange);
        backend().AD_set_range(ADRange);
    }
    return result;
}

void AdcFacade::ADC_reset() {
    ADBackend = std::make_unique<Class_AD>();
    ADInterface = InterfaceCatalogue::None;
}

void AdcFacade::ADC_close() {
    m_registry.setValue(QStringLiteral("ADC"), QStringLiteral("Range"), QString::number(ADRange));
    // Only the USB-AD16f holds its device open between probes and the end.
    if (ADInterface == InterfaceCatalogue::UsbAd16f) {
        m_devices.release(InterfaceCatalogue::UsbAd16f);
    }
}

std::optional<float> AdcFacade::readVoltage(int32_t channel) {
    try {
        return backend().AD_get_voltage(channel);
    } catch (const std::exception& error) {
        m_readFailure = QString::fromStdString(error.what());
        return std::nullopt;
    }
}

void AdcFacade::beginTick(int32_t countedChannel) {
    if (ADBackend && IsDeviceInterface(ADInterface))
        m_devices.beginTick(ADInterface, countedChannel);
}

QString AdcFacade::examineDevice(int32_t number, const QString& address) {
    return m_devices.examine(number, address);
}

float AdcFacade::ADC_get_voltage(int32_t channel) {
    return readVoltage(channel).value_or(std::numeric_limits<float>::quiet_NaN());
}

int32_t AdcFacade::ADC_get(int32_t channel) {
    return backend().AD_get(channel);
}

QString AdcFacade::ADC_channel_name(int32_t channel) {
    return backend().AD_channel_name(channel);
}

int32_t AdcFacade::ADC_channels() {
    return backend().AD_channels();
}

int32_t AdcFacade::ADC_ranges() {
    return backend().AD_Ranges();
}

void AdcFacade::ADC_range(int32_t range, float& min, float& max) {
    backend().AD_Range(range, min, max);
}

int32_t AdcFacade::ADC_set_range(int32_t range) {
    return backend().AD_set_range(range);
}

int32_t AdcFacade::ADC_set_averaging(int32_t count) {
    return backend().AD_set_averaging(count);
}

int32_t AdcFacade::ADC_input_mode(int32_t mode) {
    return backend().AD_input_mode(mode);
}

int32_t AdcFacade::ADC_has_diff_input() {
    return backend().AD_has_diff_input();
}

QString AdcFacade::ADC_interface_name() {
    return backend().AD_interface_name();
}

int32_t AdcFacade::ADC_winrt_device() {
    if (!ADBackend) {
        return -1;
    }
    return ADBackend->AD_winrt_device();
}

bool AdcFacade::ADC_read_all(std::vector<float>& values) {
    const int32_t count = ADC_channels();
    if (count < 1) {
        return false;
    }
    std::vector<float> read(static_cast<size_t>(count), 0.0f);
    if (ADInterface == InterfaceCatalogue::UsbAd) {
        try {
            readBlock(count, read);
        } catch (const std::exception& error) {
            m_readFailure = QString::fromStdString(error.what());
            return false;
        }
    } else {
        for (int32_t channel = 0; channel < count; ++channel) {
            const std::optional<float> voltage = readVoltage(channel);
            if (!voltage)
                return false;
            read[static_cast<size_t>(channel)] = *voltage;
        }
    }
    values = std::move(read);
    return true;
}

// The USB-AD takes every channel in one block of ADAveraging samples each,
// 10 ms apart, and the mean of each channel's samples is its voltage.
void AdcFacade::readBlock(int32_t channels, std::vector<float>& values) {
    // A count below 1 (nothing set yet) takes one sample instead of dividing
    // by zero; the control may lower the count to what it can take.
    int32_t samples = std::max(ADAveraging, 1);
    m_devices.setBlockTiming(0.01f, samples);
    samples = std::max(samples, 1);
    for (int32_t k = 1; k <= channels; ++k) {
        int32_t channel = k;
        int32_t range = ADRange;
        m_devices.addBlockChannel(channel, range);
    }
    m_devices.acquireBlock();
    for (int32_t k = 1; k <= channels; ++k) {
        float sum = 0.0f;
        for (int32_t j = 1; j <= samples; ++j) {
            int32_t channel = k;
            int32_t sample = j;
            sum += m_devices.blockSample(channel, sample);
        }
        values[static_cast<size_t>(k - 1)] = sum / static_cast<float>(samples);
    }
}

int32_t AdcFacade::ADC_interface_number(QString& name) const {
    if (name.isEmpty()) {
        return 0;
    }
    if (const int32_t legacy = InterfaceCatalogue::legacyNumber(name); legacy != 0) {
        return legacy;
    }
    const QString upper = name.toUpper();
    for (int32_t number = InterfaceCatalogue::Highest; number >= 1; --number) {
        const QString display = ADC_catalogue_name(number);
        if (!display.isEmpty() && display.toUpper() == upper) {
            return number;
        }
    }
    name.clear();
    return 0;
}

QString AdcFacade::ADC_catalogue_name(int32_t number) const {
    const int32_t device = number == InterfaceCatalogue::AdvantechPci1716
                               ? readWholeNumber(m_registry, QStringLiteral("Advantech"),
                                                 QStringLiteral("DeviceNumber"), 0)
                               : 0;
    return InterfaceCatalogue::displayName(number, device);
}

QString AdcFacade::ADC_driver_file(int32_t number) {
    return InterfaceCatalogue::driverFile(number);
}

bool AdcFacade::IsLibadxInterface(int32_t number) {
    return InterfaceCatalogue::isLibadx(number);
}

bool AdcFacade::IsDeviceInterface(int32_t number) {
    return InterfaceCatalogue::isLibadx(number) || InterfaceCatalogue::isConverter(number);
}

QString AdcFacade::exportPath(int32_t interfaceNumber) const {
    return QDir(m_exportFolder)
        .filePath(QStringLiteral("Hardware") + QString::number(interfaceNumber));
}

void AdcFacade::ADC_save_settings(QString& driverFile) {
    if (driverFile.isEmpty()) {
        return;
    }
    // A name outside the catalogue is blanked by the look-up; exporting it
    // would only leave a stray "Hardware0" with a nameless section behind.
    const int32_t number = ADC_interface_number(driverFile);
    if (number == InterfaceCatalogue::None) {
        return;
    }
    QDir().mkpath(m_exportFolder);
    ProfileFile file(exportPath(number));
    file.load(); // keeps whatever else the file holds; a missing file starts empty

    const QString section = QStringLiteral("ADC: ") + driverFile;
    file.writeString(section, QStringLiteral("Range"), QString::number(ADRange));
    file.writeString(section, QStringLiteral("Averaging"), QString::number(ADAveraging));
    // The settings file's number writer: ASCII digits and sign and the user's
    // decimal separator, which ParseNumber reads back under any locale.
    file.writeString(section, QStringLiteral("Offset"),
                     NumberText::shortestSingle(m_calibration.Offset, m_locale));
    file.writeString(section, QStringLiteral("Gain"),
                     NumberText::shortestSingle(m_calibration.Gain, m_locale));
    file.writeString(section, QStringLiteral("Scan"), QString::number(ADScan));
    file.writeString(section, QStringLiteral("Differential"), QString::number(ADInputMode));
    file.writeString(section, QStringLiteral("AugerADChannel"), QString::number(AugerADChannel));

    for (size_t i = 0; i < ADChannelInfo.size(); ++i) {
        const ADChannelRecord& channel = ADChannelInfo[i];
        const QString channelSection = QStringLiteral("ADC: CH") + QString::number(i);
        file.writeString(channelSection, QStringLiteral("ChannelName"), channel.ChannelName);
        file.writeString(channelSection, QStringLiteral("Selected"),
                         QString::number(channel.Selected));
        file.writeString(channelSection, QStringLiteral("Plot"), QString::number(channel.Plot));
        file.writeString(channelSection, QStringLiteral("Color"), QString::number(channel.Color));
    }
    // Nothing reads the export back, so a failed save is not worth a message;
    // the previous file stays whole.
    file.save();
}
