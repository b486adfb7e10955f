#include "adc/Class_AD.h"

#include "platform/ZR2010.h"

#include <array>

const Class_AD::Exports& Class_AD::zr2010() {
    static const Exports exports{
        ZR2010::AD_load,           ZR2010::AD_init,       ZR2010::AD_set_range,
        ZR2010::AD_set_averaging,  ZR2010::AD_get,        ZR2010::AD_get_voltage,
        ZR2010::AD_channel_name,   ZR2010::AD_dll_date,   ZR2010::AD_interface_name,
        ZR2010::AD_has_diff_input, ZR2010::AD_input_mode, ZR2010::AD_ranges,
        ZR2010::AD_range,          ZR2010::AD_channels,   ZR2010::AD_winrt_device,
    };
    return exports;
}

Class_AD::Class_AD(const Exports& exports) : m_exports(exports) {
    // The library wants to be loaded before any other call; its answer does
    // not matter here because the facade loads the real driver later.
    std::string none;
    m_exports.AD_load(none);
}

template <typename Call> QString Class_AD::text(Call call) {
    // The library reports how many characters it wrote. A count beyond the
    // buffer (or negative) must never make us read past it.
    std::array<char, TextBufferSize> buffer{};
    const int32_t written = call(buffer.data());
    if (written <= 0) {
        return QString();
    }
    const int32_t length = written < TextBufferSize ? written : TextBufferSize;
    return QString::fromLocal8Bit(buffer.data(), length);
}

QString Class_AD::AD_channel_name(int32_t channel) {
    return text([&](char* buffer) { return m_exports.AD_channel_name(channel, buffer); });
}

int32_t Class_AD::AD_channels() {
    return m_exports.AD_channels();
}

QString Class_AD::AD_dll_date() {
    return text([&](char* buffer) { return m_exports.AD_dll_date(buffer); });
}

int32_t Class_AD::AD_get(int32_t channel) {
    return m_exports.AD_get(channel); // widened with its sign: 65535 arrives as -1
}

float Class_AD::AD_get_voltage(int32_t channel) {
    return m_exports.AD_get_voltage(channel);
}

int32_t Class_AD::AD_has_diff_input() {
    return m_exports.AD_has_diff_input();
}

int32_t Class_AD::AD_init(int32_t port) {
    // The library takes a 16-bit port; ports are small numbers, and the
    // narrowing wraps instead of failing.
    return m_exports.AD_init(static_cast<int16_t>(port));
}

int32_t Class_AD::AD_load(QString& dll) {
    std::string name = dll.toLocal8Bit().toStdString();
    const int32_t result = m_exports.AD_load(name);
    dll = QString::fromLocal8Bit(name.data(), static_cast<qsizetype>(name.size()));
    return result;
}

int32_t Class_AD::AD_input_mode(int32_t mode) {
    return m_exports.AD_input_mode(mode);
}

QString Class_AD::AD_interface_name() {
    return text([&](char* buffer) { return m_exports.AD_interface_name(buffer); });
}

void Class_AD::AD_Range(int32_t range, float& min, float& max) {
    m_exports.AD_range(range, &min, &max);
}

int32_t Class_AD::AD_Ranges() {
    return m_exports.AD_ranges();
}

int32_t Class_AD::AD_set_range(int32_t range) {
    return m_exports.AD_set_range(range);
}

int32_t Class_AD::AD_set_averaging(int32_t averaging) {
    return m_exports.AD_set_averaging(averaging);
}

int32_t Class_AD::AD_winrt_device() {
    return m_exports.AD_winrt_device();
}
