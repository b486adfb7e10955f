#pragma once
// The common A/D interface: the fifteen operations every backend offers, so
// that the facade holds any of them behind one pointer. Channels count from 0,
// ranges from 0 to AD_Ranges() - 1, voltages are single-precision volts,
// booleans are -1 (true) and 0 (false). AD_get_voltage of a device that does
// not answer throws a std::exception saying why; the facade makes that a
// failed reading, never a sample.
#include <QString>
#include <cstdint>

class ScanStream;

class Class_AD_Backend {
public:
    virtual ~Class_AD_Backend() = default;

    virtual QString AD_channel_name(int32_t channel) = 0;
    virtual int32_t AD_channels() = 0;
    virtual QString AD_dll_date() = 0;
    virtual int32_t AD_get(int32_t channel) = 0;
    virtual float AD_get_voltage(int32_t channel) = 0;
    virtual int32_t AD_has_diff_input() = 0;
    virtual int32_t AD_init(int32_t port) = 0;
    virtual int32_t AD_load(QString& dll) = 0;
    virtual int32_t AD_input_mode(int32_t mode) = 0;
    virtual QString AD_interface_name() = 0;
    virtual void AD_Range(int32_t range, float& min, float& max) = 0;
    virtual int32_t AD_Ranges() = 0;
    virtual int32_t AD_set_range(int32_t range) = 0;
    virtual int32_t AD_set_averaging(int32_t averaging) = 0;
    virtual int32_t AD_winrt_device() = 0;

    // The device's stream of hardware-timed scans while it is open with a
    // rate; null for a device read one sample a tick.
    virtual ScanStream* scanStream() { return nullptr; }
};
