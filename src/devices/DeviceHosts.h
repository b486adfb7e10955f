#pragma once
// The rig's LIBADX devices: the host objects Form_BMC_AD16f, Form_BMC_USBAD
// and Form_BMC_LibadX, each created on first use with the control that the
// [Devices] section of the settings file names for its device string
// ("usbbase:0=sim:"). A device string without an entry finds no device; an
// entry that cannot be used is told in a message naming the key and the file,
// and finds none either. The session owns one for the whole run and calls
// unloadHosts() at the end; backends it creates refer to its hosts and must
// not outlive it.
#include "adc/LibadxDevices.h"
#include "devices/DeviceControl.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

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
    static constexpr const char* Section = "Devices";

    // `settings`: the settings file as the session loaded it (read when a host
    // is first used); `prompts`: where an unusable entry is told (start-up,
    // where someone waits for the device). Both must outlive this object.
    DeviceHosts(const ProfileFile& settings, Prompts& prompts, const MillisecondClock& clock);
    // The same with another maker of controls (tests).
    DeviceHosts(const ProfileFile& settings, Prompts& prompts, ControlFactory makeControl);
    ~DeviceHosts() override;

    bool probe(int32_t interfaceNumber) override;
    std::unique_ptr<Class_AD_Backend> createBackend(int32_t interfaceNumber) override;
    void release(int32_t interfaceNumber) override;
    void setBlockTiming(float intervalSeconds, int32_t& samplesPerChannel) override;
    void addBlockChannel(int32_t& channel, int32_t& range) override;
    void acquireBlock() override;
    float blockSample(int32_t& channel, int32_t& sample) override;
    void unloadHosts() override;

    // The host of interface 20, 21 or 22, created on first use; null for others.
    LibadxHost* host(int32_t interfaceNumber);

    // The transport address the settings give `device`, or nothing when there
    // is no entry or it is empty; `key` receives the key it was found under.
    static std::optional<QString> address(const ProfileReader& settings, const QString& device,
                                          QString* key = nullptr);

private:
    std::unique_ptr<DeviceControl> makeControl(const QString& device);
    DeviceControl& usbAdControl();

    const ProfileFile& m_settings;
    Prompts& m_prompts;
    ControlFactory m_makeControl;
    std::unique_ptr<Form_BMC_AD16f> m_ad16f;
    std::unique_ptr<Form_BMC_USBAD> m_usbAd;
    std::unique_ptr<Form_BMC_LibadX> m_libadx;
};
