#pragma once
// The rig's devices. The LIBADX ones: the host objects Form_BMC_AD16f,
// Form_BMC_USBAD and Form_BMC_LibadX, each created on first use with the
// control that the [Devices] section of the settings file names for its
// device string ("usbbase:0=sim:"). The converters of interfaces 23..25: the
// control at the address of [HARDWARE] Device=, opened by the probe. A device
// string without an entry finds no device; an entry or address that cannot be
// used is told in a message naming the key and the file, and finds none
// either. The session owns one for the whole run and calls unloadHosts() at
// the end; backends it creates refer to its controls and must not outlive it.
#include "adc/LibadxDevices.h"
#include "devices/DeviceControl.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class ConverterControl;
class Form_BMC_AD16f;
class Form_BMC_LibadX;
class Form_BMC_USBAD;
class LibadxHost;
class MillisecondClock;
class ProfileFile;
class ProfileReader;
class Prompts;

class DeviceHosts final : public LibadxDevices {
public:
    using ControlFactory = std::function<std::unique_ptr<DeviceControl>(const QString& address)>;
    using ConverterFactory = std::function<std::unique_ptr<ConverterControl>(
        int32_t interfaceNumber, const QString& address)>;
    static constexpr const char* Section = "Devices";
    // Where the converter's address is kept.
    static constexpr const char* DeviceSection = "HARDWARE";
    static constexpr const char* DeviceKey = "Device";

    // `settings`: the settings file as the session loaded it (read when a host
    // is first used); `prompts`: where an unusable entry is told (start-up,
    // where someone waits for the device). Both must outlive this object.
    DeviceHosts(const ProfileFile& settings, Prompts& prompts, const MillisecondClock& clock);
    // The same with another maker of controls (tests); without a maker of
    // converters, interfaces 23..25 find no device.
    DeviceHosts(const ProfileFile& settings, Prompts& prompts, ControlFactory makeControl,
                ConverterFactory makeConverter = nullptr);
    ~DeviceHosts() override;

    bool probe(int32_t interfaceNumber) override;
    std::unique_ptr<Class_AD_Backend> createBackend(int32_t interfaceNumber) override;
    void release(int32_t interfaceNumber) override;
    void setBlockTiming(float intervalSeconds, int32_t& samplesPerChannel) override;
    void addBlockChannel(int32_t& channel, int32_t& range) override;
    void acquireBlock() override;
    float blockSample(int32_t& channel, int32_t& sample) override;
    void unloadHosts() override;
    void beginTick(int32_t interfaceNumber, int32_t countedChannel) override;
    void setQuiet(bool quiet) override { m_quiet = quiet; }
    QString examine(int32_t interfaceNumber, const QString& address) override;

    // The host of interface 20, 21 or 22, created on first use; null for others.
    LibadxHost* host(int32_t interfaceNumber);
    // The converter of interface 23, 24 or 25 at the Device= address, made on
    // first use; null for others and for an address that cannot be used.
    ConverterControl* converter(int32_t interfaceNumber);

    // The transport address the settings give `device`, or nothing when there
    // is no entry or it is empty; `key` receives the key it was found under.
    static std::optional<QString> address(const ProfileReader& settings, const QString& device,
                                          QString* key = nullptr);

private:
    std::unique_ptr<DeviceControl> makeControl(const QString& device);
    DeviceControl& usbAdControl();
    bool probeConverter(int32_t interfaceNumber);
    void tell(const QString& text);

    const ProfileFile& m_settings;
    Prompts& m_prompts;
    ControlFactory m_makeControl;
    ConverterFactory m_makeConverter;
    std::unique_ptr<Form_BMC_AD16f> m_ad16f;
    std::unique_ptr<Form_BMC_USBAD> m_usbAd;
    std::unique_ptr<Form_BMC_LibadX> m_libadx;
    std::unique_ptr<ConverterControl> m_converter;
    int32_t m_converterNumber = 0;
    QString m_converterAddress; // the address the converter was made for
    bool m_quiet = false;
};
