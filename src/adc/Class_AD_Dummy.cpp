#include "adc/Class_AD_Dummy.h"

#include "platform/MillisecondClock.h"

#include <cmath>

Class_AD_Dummy::Class_AD_Dummy(const MillisecondClock& clock) : m_clock(clock) {
    // The scale is also set here, not only by AD_load, so that a reading taken
    // before AD_load never divides by a zero Lsb.
    setScale();
}

void Class_AD_Dummy::setScale() {
    RangeMin = -10.0f;
    RangeMax = 10.0f;
    // Each step is rounded to single on purpose: readings must match the
    // converter counts that other programs have recorded from this device.
    Lsb = static_cast<float>(20.0 / 65535.0);
    Offset = static_cast<float>(static_cast<double>(Lsb) * 65535.0 / 2.0);
}

QString Class_AD_Dummy::AD_channel_name(int32_t channel) {
    return QStringLiteral("AD_") + QString::number(channel);
}

int32_t Class_AD_Dummy::AD_channels() {
    return 8;
}

QString Class_AD_Dummy::AD_dll_date() {
    return QStringLiteral("Apr. 02, 2010 (R)");
}

int32_t Class_AD_Dummy::AD_get(int32_t) {
    const double t = m_clock.timeGetTime() * 0.001;
    double x = t / 20.0;
    // 3.1415 rather than pi: one period lasts about 20.0005 s, and recorded
    // runs of the simulated device depend on exactly that.
    x = (x + x) * 3.1415;
    const float v = static_cast<float>(std::sin(x) * 10.0);
    const float shifted = v + Offset;
    // Lsb and Offset are fixed and |v| <= 10, so the quotient lies within
    // 0..65535 and the conversion cannot overflow. nearbyint rounds halves to
    // even under the default rounding mode.
    return static_cast<int32_t>(
        std::nearbyint(static_cast<double>(shifted) / static_cast<double>(Lsb)));
}

float Class_AD_Dummy::AD_get_voltage(int32_t channel) {
    // A reading before the first AD_set_averaging averages one sample instead
    // of dividing by zero.
    const int32_t count = Averaging < 1 ? 1 : Averaging;
    float sum = 0.0f;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t raw = AD_get(channel);
        sum = static_cast<float>(static_cast<double>(Lsb) * raw - Offset + sum);
    }
    return static_cast<float>(static_cast<double>(sum) / count);
}

int32_t Class_AD_Dummy::AD_has_diff_input() {
    return 0;
}

int32_t Class_AD_Dummy::AD_init(int32_t) {
    return -1;
}

int32_t Class_AD_Dummy::AD_load(QString&) {
    setScale();
    return -1;
}

int32_t Class_AD_Dummy::AD_input_mode(int32_t) {
    return 0;
}

QString Class_AD_Dummy::AD_interface_name() {
    return QStringLiteral("Dummy A/D");
}

void Class_AD_Dummy::AD_Range(int32_t, float& min, float& max) {
    min = RangeMin;
    max = RangeMax;
}

int32_t Class_AD_Dummy::AD_Ranges() {
    return 1;
}

int32_t Class_AD_Dummy::AD_set_range(int32_t) {
    return 0;
}

int32_t Class_AD_Dummy::AD_set_averaging(int32_t averaging) {
    Averaging = averaging >= 1 ? averaging : 1;
    return Averaging;
}

int32_t Class_AD_Dummy::AD_winrt_device() {
    return -1;
}
