#include "devices/ConverterBackend.h"

#include "devices/ConverterControl.h"

namespace {
constexpr int32_t True = -1;
}

ConverterBackend::ConverterBackend(ConverterControl& control, QString name, QString device)
    : m_control(control), m_name(std::move(name)), m_device(std::move(device)) {}

QString ConverterBackend::AD_channel_name(int32_t channel) {
    return m_control.found().channelNames.value(channel);
}

int32_t ConverterBackend::AD_channels() {
    return m_control.channels();
}

// Shown live in the setup dialog: a reading that fails shows as 0 there, as
// the raw counts of the other backends do, and never ends the program.
int32_t ConverterBackend::AD_get(int32_t channel) {
    try {
        return m_control.readRaw(channel + 1);
    } catch (...) {
        return 0;
    }
}

float ConverterBackend::AD_get_voltage(int32_t channel) {
    return m_control.readVoltage(channel + 1, 0);
}

int32_t ConverterBackend::AD_init(int32_t) {
    return m_control.isOpen() ? True : 0;
}

int32_t ConverterBackend::AD_load(QString&) {
    return m_control.isOpen() || m_control.open(m_device) ? True : 0;
}

QString ConverterBackend::AD_interface_name() {
    return m_name + QStringLiteral(": ") + m_control.found().description;
}

void ConverterBackend::AD_Range(int32_t range, float& min, float& max) {
    if (range != 0)
        return;
    min = m_control.found().span.first;
    max = m_control.found().span.second;
}

ScanStream* ConverterBackend::scanStream() {
    return m_control.isOpen() ? m_control.scanStream() : nullptr;
}
