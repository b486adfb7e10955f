#include "platform/ZR2010.h"

#include <cstring>

namespace ZR2010 {
// No driver is ever loaded: every A/D entry point reports "nothing here".
int32_t AD_load(std::string&) {
    return 0;
}
int16_t AD_init(int16_t) {
    return 0;
}
int32_t AD_set_range(int32_t) {
    return 0;
}
int32_t AD_set_averaging(int32_t) {
    return 0;
}
int16_t AD_get(int32_t) {
    return 0;
}
float AD_get_voltage(int32_t) {
    return 0.0f;
}
int32_t AD_channel_name(int32_t, char*) {
    return 0;
}
int32_t AD_dll_date(char*) {
    return 0;
}
int32_t AD_interface_name(char*) {
    return 0;
}
int32_t AD_has_diff_input() {
    return 0;
}
int32_t AD_input_mode(int32_t) {
    return 0;
}
int32_t AD_ranges() {
    return 0;
}
void AD_range(int32_t, float* min, float* max) {
    if (min)
        *min = 0.0f;
    if (max)
        *max = 0.0f;
}
int32_t AD_channels() {
    return 0;
}
int32_t AD_winrt_device() {
    return -1;
}

void ZR_memcpy(void* destination, const void* source, int32_t count) {
    if (count > 0)
        std::memmove(destination, source, static_cast<size_t>(count));
}

int32_t ZR_SubTime(int32_t time, int32_t stored) {
    return static_cast<int32_t>(static_cast<uint32_t>(time) - static_cast<uint32_t>(stored));
}
} // namespace ZR2010
