#pragma once
// The placeholder backend: forwards every operation to the driver-loader
// library (by default our ZR2010 stand-in), so that the facade always has an
// object to call while no device is open. Creating it calls the library's
// AD_load once with an empty name.
#include "adc/Class_AD_Backend.h"

#include <string>

class Class_AD : public Class_AD_Backend {
public:
    // The library's entry points. A test may hand in its own table to see
    // what the class makes of unusual library answers.
    struct Exports {
        int32_t (*AD_load)(std::string& name);
        int16_t (*AD_init)(int16_t port);
        int32_t (*AD_set_range)(int32_t range);
        int32_t (*AD_set_averaging)(int32_t count);
        int16_t (*AD_get)(int32_t channel);
        float (*AD_get_voltage)(int32_t channel);
        int32_t (*AD_channel_name)(int32_t channel, char* buffer);
        int32_t (*AD_dll_date)(char* buffer);
        int32_t (*AD_interface_name)(char* buffer);
        int32_t (*AD_has_diff_input)();
        int32_t (*AD_input_mode)(int32_t mode);
        int32_t (*AD_ranges)();
        void (*AD_range)(int32_t range, float* min, float* max);
        int32_t (*AD_channels)();
        int32_t (*AD_winrt_device)();
    };
    static const Exports& zr2010();

    // Size of the buffer handed to the library's text exports.
    static constexpr int TextBufferSize = 256;

    explicit Class_AD(const Exports& exports = zr2010());

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
    template <typename Call> static QString text(Call call);

    Exports m_exports;
};
