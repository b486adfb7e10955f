#pragma once
// The simulated converter of interface 9 ("Dummy A/D"): eight 16-bit channels
// with one +/-10 V range, every channel carrying the same slow sine wave of the
// millisecond clock, so that counting, triggers and the recorder run without a
// device. Readings are reproducible bit for bit for a given clock value.
#include "adc/Class_AD_Backend.h"

class MillisecondClock;

class Class_AD_Dummy : public Class_AD_Backend {
public:
    // The clock must outlive the backend.
    explicit Class_AD_Dummy(const MillisecondClock& clock);

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

private:
    void setScale();

    const MillisecondClock& m_clock;
    int32_t Averaging = 0;
    float RangeMin = -10.0f;
    float RangeMax = 10.0f;
    float Lsb = 0.0f;
    float Offset = 0.0f;
};
