#pragma once
// The backend of interfaces 23, 24 and 25 (Linux Industrial I/O, Modbus/TCP,
// recorded signal): the channels, their names and the one range that the
// converter's control found when it opened, raw counts where the transport
// has them, and the status text of what was found as its interface name.
// Every reading within a tick is the same, so the samples per reading stay 1.
// The control (opened by the probe) must outlive the backend.
#include "adc/Class_AD_Backend.h"

#include <QString>

class ConverterControl;

class ConverterBackend final : public Class_AD_Backend {
public:
    // `name`: the interface's catalogue name; `device`: what AD_load opens
    // the control as when the probe did not (its driver file).
    ConverterBackend(ConverterControl& control, QString name, QString device);

    QString AD_channel_name(int32_t channel) override;
    int32_t AD_channels() override;
    QString AD_dll_date() override { return QString(); }
    int32_t AD_get(int32_t channel) override;
    float AD_get_voltage(int32_t channel) override;
    int32_t AD_has_diff_input() override { return 0; }
    int32_t AD_init(int32_t port) override;
    int32_t AD_load(QString& dll) override;
    int32_t AD_input_mode(int32_t) override { return 0; }
    QString AD_interface_name() override;
    void AD_Range(int32_t range, float& min, float& max) override;
    int32_t AD_Ranges() override { return 1; }
    int32_t AD_set_range(int32_t) override { return 0; }
    int32_t AD_set_averaging(int32_t) override { return 1; }
    int32_t AD_winrt_device() override { return -1; }
    ScanStream* scanStream() override;

private:
    ConverterControl& m_control;
    QString m_name;
    QString m_device;
};
