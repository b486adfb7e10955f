#pragma once
// What the USB-AD16f, USB-AD and PCI-Base backends share: eight channels
// "AD_1".."AD_8" (fewer when the transport has fewer), no raw counts, single-ended input only, a
// range table, and averaged readings through the control of their host object. A reading the device
// does not answer throws DeviceError; the facade turns that into a failed reading. The host must
// outlive the backend.
#include "adc/Class_AD_Backend.h"

#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

class LibadxHost;

class LibadxBackend : public Class_AD_Backend {
public:
    struct Model {
        QString device;        // the device string AD_load opens
        QString dllDate;       // AD_dll_date
        QString interfaceName; // AD_interface_name
        std::vector<std::pair<float, float>> ranges;
    };

    QString AD_channel_name(int32_t channel) override;
    int32_t AD_channels() override;
    QString AD_dll_date() override;
    int32_t AD_get(int32_t channel) override;
    float AD_get_voltage(int32_t channel) override;
    int32_t AD_has_diff_input() override;
    int32_t AD_init(int32_t port) override;
    int32_t AD_load(QString& dll) override;
    int32_t AD_input_mode(int32_t mode) override;
    QString AD_interface_name() override;
    void AD_Range(int32_t range, float& min, float& max) override;
    int32_t AD_Ranges() override;
    int32_t AD_set_range(int32_t range) override;
    int32_t AD_set_averaging(int32_t averaging) override;
    int32_t AD_winrt_device() override;
    ScanStream* scanStream() override;

    const QString& device() const { return m_model.device; }

protected:
    LibadxBackend(LibadxHost& host, Model model);

private:
    float read(int32_t channel);

    LibadxHost& m_host;
    Model m_model;
    int32_t m_averaging = 0;
    int32_t m_range = 0;
};
