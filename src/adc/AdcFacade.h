#pragma once
// The one way into the A/D converter: holds the A/D state of the program (the
// chosen interface, the backend object that serves it, range, averaging, input
// mode, channel records, calibration), looks interface names up in the
// catalogue, opens and initialises the backend, and forwards every operation
// of the common interface unchanged. One instance, owned by the application.
#include "adc/Class_AD_Backend.h"
#include "adc/LibadxDevices.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class MillisecondClock;
class Prompts;
class RegistryArea;

struct ADChannelRecord {
    QString ChannelName;
    int32_t Color = 0;
    int32_t Selected = 0;
    int32_t Plot = 0;
};

class AdcFacade {
public:
    // clock: drives the simulated device; registry: "ADC"/"Range" and
    // "Advantech"/"DeviceNumber"; prompts: the error message of ADC_load;
    // exportFolder: where ADC_save_settings writes Hardware<N>;
    // devices: the vendor-control devices 20..22 (probe and backend creation).
    AdcFacade(const MillisecondClock& clock, RegistryArea& registry, Prompts& prompts,
              QString exportFolder, LibadxDevices& devices);
    ~AdcFacade();

    // Module state, with the names the rest of the program uses.
    std::unique_ptr<Class_AD_Backend> ADBackend;
    QString ADInterfaceName;
    QString ADDriverFile;
    int32_t ADInterface = 0;
    int32_t ADReady = 0; // -1 true, 0 false
    int16_t ADPort = 0;
    float CalOffset = 0.0f;
    float CalGain = 1.0f;
    int32_t ADAveraging = 0;
    int32_t ADRange = 0;
    int32_t ADInputMode = 0;
    int32_t AugerADChannel = 0;
    int16_t ADScan = 0;
    std::array<ADChannelRecord, 8> ADChannelInfo{};

    // Called with true when ADC_open starts and false on every way out (the
    // hourglass pointer of the GUI); may be empty.
    std::function<void(bool busy)> setBusy;

    // Opening. `name` is in/out: ADC_interface_number blanks an unknown name.
    int32_t ADC_open(QString& name);
    int32_t ADC_load(int32_t number, QString& driverFile);
    int32_t ADC_init(int16_t port);
    void ADC_reset();
    void ADC_close();

    // Wrappers of the common interface (arguments and results unchanged).
    float ADC_get_voltage(int32_t channel);
    int32_t ADC_get(int32_t channel);
    QString ADC_channel_name(int32_t channel);
    int32_t ADC_channels();
    int32_t ADC_ranges();
    void ADC_range(int32_t range, float& min, float& max);
    int32_t ADC_set_range(int32_t range);
    int32_t ADC_set_averaging(int32_t count);
    int32_t ADC_input_mode(int32_t mode);
    QString ADC_interface_name();
    int32_t ADC_winrt_device();
    // One averaged voltage per channel; false (values untouched) without channels.
    int32_t ADC_read_all(std::vector<float>& values);

    // Catalogue.
    int32_t ADC_interface_number(QString& name) const;
    QString ADC_catalogue_name(int32_t number) const;
    static QString ADC_driver_file(int32_t number);
    static bool IsLibadxInterface(int32_t number);

    // Writes the A/D settings export Hardware<N> (N from the driver file name)
    // into the export folder; does nothing for an empty name.
    void ADC_save_settings(QString& driverFile);
    QString exportPath(int32_t interfaceNumber) const;

private:
    // ADBackend, made the placeholder first when nothing has reset the facade yet.
    Class_AD_Backend& backend();

    const MillisecondClock& m_clock;
    RegistryArea& m_registry;
    Prompts& m_prompts;
    QString m_exportFolder;
    LibadxDevices& m_devices;
};
