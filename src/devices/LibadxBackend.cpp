#include "devices/LibadxBackend.h"

#include "devices/DeviceError.h"
#include "devices/LibadxHost.h"

namespace {
constexpr int32_t True = -1;
constexpr int32_t Channels = 8;
} // namespace

LibadxBackend::LibadxBackend(LibadxHost& host, Model model)
    : m_host(host), m_model(std::move(model)) {}

QString LibadxBackend::AD_channel_name(int32_t channel) {
    return QStringLiteral("AD_") + QString::number(static_cast<int64_t>(channel) + 1);
}

// A transport with fewer channels than the box (a four-channel converter
// behind "usbbase:0") has only those: asking for the others would fail every
// tick of the counting.
int32_t LibadxBackend::AD_channels() {
    const DeviceControl* control = m_host.LIBADX1();
    const int32_t own = control ? control->channels() : 0;
    return own > 0 && own < Channels ? own : Channels;
}

QString LibadxBackend::AD_dll_date() {
    return m_model.dllDate;
}

int32_t LibadxBackend::AD_get(int32_t) {
    return 0;
}

float LibadxBackend::read(int32_t channel) {
    DeviceControl* control = m_host.LIBADX1();
    if (!control)
        throw DeviceError(QStringLiteral("no transport is configured for %1").arg(m_model.device));
    // The control numbers channels from 1.
    return control->readVoltage(channel + 1, m_range);
}

float LibadxBackend::AD_get_voltage(int32_t channel) {
    // Before AD_init and AD_set_averaging have run the count is 0: one reading
    // then, never 0 / 0.
    const int32_t count = m_averaging < 1 ? 1 : m_averaging;
    float sum = 0.0f;
    for (int32_t i = 0; i < count; ++i)
        sum += read(channel);
    return sum / static_cast<float>(count);
}

int32_t LibadxBackend::AD_has_diff_input() {
    return 0;
}

int32_t LibadxBackend::AD_init(int32_t) {
    try {
        m_range = 0;
        read(0); // brings the device to a known state; the value does not matter
        AD_set_averaging(1);
        return True;
    } catch (...) {
        return 0;
    }
}

int32_t LibadxBackend::AD_load(QString&) {
    bool open = true;
    if (m_host.IsOpen == 0) {
        // An error of the control only makes the result false.
        try {
            open = m_host.LIBADX1() && m_host.LIBADX1()->open(m_model.device);
        } catch (...) {
            open = false;
        }
    }
    if (open)
        m_host.IsOpen |= LibadxHost::AdSide;
    return open ? True : 0;
}

int32_t LibadxBackend::AD_input_mode(int32_t) {
    return 0;
}

QString LibadxBackend::AD_interface_name() {
    return m_model.interfaceName;
}

void LibadxBackend::AD_Range(int32_t range, float& min, float& max) {
    // Callers ask only for existing entries; any other leaves min and max alone.
    if (range < 0 || range >= AD_Ranges())
        return;
    min = m_model.ranges[static_cast<size_t>(range)].first;
    max = m_model.ranges[static_cast<size_t>(range)].second;
}

int32_t LibadxBackend::AD_Ranges() {
    return static_cast<int32_t>(m_model.ranges.size());
}

int32_t LibadxBackend::AD_set_range(int32_t range) {
    if (range >= 0 && range < AD_Ranges())
        m_range = range;
    return m_range;
}

int32_t LibadxBackend::AD_set_averaging(int32_t averaging) {
    if (averaging >= 1)
        m_averaging = averaging;
    return m_averaging;
}

int32_t LibadxBackend::AD_winrt_device() {
    return -1;
}

ScanStream* LibadxBackend::scanStream() {
    DeviceControl* control = m_host.LIBADX1();
    return control && (m_host.IsOpen & LibadxHost::AdSide) ? control->scanStream() : nullptr;
}
