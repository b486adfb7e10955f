#pragma once
// The one way into the A/D converter: holds the A/D state of the program (the
// chosen interface, the backend object that serves it, range, averaging, input
// mode, channel records, calibration), looks interface names up in the
// catalogue, opens and initialises the backend, and forwards every operation
// of the common interface unchanged. One instance, owned by the session; its
// state changes only through the operations below.
#include "adc/Class_AD_Backend.h"
#include "adc/LibadxDevices.h"

#include <QLocale>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class MillisecondClock;
class ScanStream;
class Prompts;
class RegistryArea;

struct ADChannelRecord {
    QString ChannelName;
    int32_t Color = 0;
    int32_t Selected = 0;
    int32_t Plot = 0;
};

// The two-point calibration: volts = reading * Gain + Offset.
struct Calibration {
    float Offset = 0.0f;
    float Gain = 1.0f;
};

class AdcFacade {
public:
    static constexpr size_t ChannelRecords = 8;

    // clock: drives the simulated device; registry: "ADC"/"Range" and
    // "Advantech"/"DeviceNumber"; prompts: the error message of ADC_load
    // (start-up or the setup dialog, where a person waits for the device);
    // exportFolder: where ADC_save_settings writes Hardware<N>; devices: the
    // devices 20..25 of the device layer; locale: the decimal separator of the export.
    AdcFacade(const MillisecondClock& clock, RegistryArea& registry, Prompts& prompts,
              QString exportFolder, LibadxDevices& devices, QLocale locale = QLocale::system());
    ~AdcFacade();

    // The interface named in the settings file. A name the catalogue does not
    // know is kept as it is (and written back): a device missing today must
    // not erase the rig's configuration.
    const QString& interfaceName() const { return ADInterfaceName; }
    void setInterfaceName(const QString& name) { ADInterfaceName = name; }
    // The address of the converter of interfaces 23..25 ("replay:signal.csv"),
    // kept as the settings file gives it and written back with the interface.
    const QString& deviceAddress() const { return m_deviceAddress; }
    void setDeviceAddress(const QString& address) { m_deviceAddress = address; }
    // The driver file of the opened interface ("DummyAD", "LibadX.ocx").
    const QString& driverFile() const { return ADDriverFile; }
    // The interface number of the backend now held; 0 for the placeholder.
    int32_t interfaceNumber() const { return ADInterface; }
    // The backend is loaded and initialised: the counting reads it only then.
    bool ready() const { return ADReady; }
    void setReady(bool ready) { ADReady = ready; }

    int32_t range() const { return ADRange; }
    void setRange(int32_t range) { ADRange = range; }
    int32_t averaging() const { return ADAveraging; }
    void setAveraging(int32_t count) { ADAveraging = count; }
    int32_t inputMode() const { return ADInputMode; }
    void setInputMode(int32_t mode) { ADInputMode = mode; }
    int32_t augerChannel() const { return AugerADChannel; }
    void setAugerChannel(int32_t channel) { AugerADChannel = channel; }
    const Calibration& calibration() const { return m_calibration; }
    void setCalibration(const Calibration& calibration) { m_calibration = calibration; }
    const std::array<ADChannelRecord, ChannelRecords>& channelInfo() const { return ADChannelInfo; }
    void setChannelName(size_t channel, const QString& name);

    // Called with true when ADC_open starts and false on every way out (the
    // hourglass pointer of the GUI); may be empty.
    std::function<void(bool busy)> setBusy;

    // Opening. `name` is in/out: ADC_interface_number blanks an unknown name.
    bool ADC_open(QString& name);
    int32_t ADC_load(int32_t number, QString& driverFile);
    int32_t ADC_init(int16_t port);
    void ADC_reset();
    void ADC_close();

    // One reading of `channel`, or nothing when the device did not answer;
    // readFailure() then says why. A failed reading is never a sample.
    std::optional<float> readVoltage(int32_t channel);
    const QString& readFailure() const { return m_readFailure; }
    // The ready converter's stream of hardware-timed scans; null when it is
    // read one sample a tick.
    ScanStream* scanStream() { return ADReady && ADBackend ? ADBackend->scanStream() : nullptr; }
    // Called before the readings of each tick (the counting's, the live
    // readings'): a converter then shows one moment of its signal to them all
    // and reads `countedChannel` (-1: none) afresh.
    void beginTick(int32_t countedChannel);
    // What `address` finds as interface `number` (see LibadxDevices::examine).
    QString examineDevice(int32_t number, const QString& address);

    // Wrappers of the common interface (arguments and results unchanged, but
    // for a reading the device did not answer: NaN, never a plausible voltage).
    float ADC_get_voltage(int32_t channel);
    int32_t ADC_get(int32_t channel);
    QString ADC_channel_name(int32_t channel);
    int32_t ADC_channels();
    int32_t ADC_ranges();
    void ADC_range(int32_t range, float& min, float& max);
    int32_t ADC_set_range(int32_t range);
    int32_t ADC_set_averaging(int32_t count);
    int32_t ADC_input_mode(int32_t mode);
    int32_t ADC_has_diff_input();
    QString ADC_interface_name();
    int32_t ADC_winrt_device();
    // One averaged voltage per channel; false (values untouched) without
    // channels or when a reading failed. Interface 21 reads all its channels
    // in one block through the device control.
    bool ADC_read_all(std::vector<float>& values);

    // Catalogue.
    int32_t ADC_interface_number(QString& name) const;
    QString ADC_catalogue_name(int32_t number) const;
    static QString ADC_driver_file(int32_t number);
    static bool IsLibadxInterface(int32_t number);
    // 20..25: opened through the device layer.
    static bool IsDeviceInterface(int32_t number);

    // Writes the A/D settings export Hardware<N> (N from the driver file name)
    // into the export folder; does nothing for an empty or unknown name.
    void ADC_save_settings(QString& driverFile);
    QString exportPath(int32_t interfaceNumber) const;

private:
    // ADBackend, made the placeholder first when nothing has reset the facade yet.
    Class_AD_Backend& backend();
    void readBlock(int32_t channels, std::vector<float>& values);

    const MillisecondClock& m_clock;
    RegistryArea& m_registry;
    Prompts& m_prompts;
    QString m_exportFolder;
    LibadxDevices& m_devices;
    QLocale m_locale;

    std::unique_ptr<Class_AD_Backend> ADBackend;
    QString ADInterfaceName;
    QString ADDriverFile;
    int32_t ADInterface = 0;
    bool ADReady = false;
    int16_t ADPort = 0;
    Calibration m_calibration;
    int32_t ADAveraging = 0;
    int32_t ADRange = 0;
    int32_t ADInputMode = 0;
    int32_t AugerADChannel = 0;
    int16_t ADScan = 0;
    std::array<ADChannelRecord, ChannelRecords> ADChannelInfo{};
    QString m_readFailure;
    QString m_deviceAddress;
};
