#pragma once
// Our own stand-in for the maker's driver-loader library. It loads no
// drivers: the AD_ entry points answer 0 and empty texts (and no kernel
// device, -1), which keeps the placeholder backend working. The two recorder helpers are real.
#include <cstdint>
#include <string>

namespace ZR2010 {
int32_t AD_load(std::string& name);
int16_t AD_init(int16_t port);
int32_t AD_set_range(int32_t range);
int32_t AD_set_averaging(int32_t count);
int16_t AD_get(int32_t channel);
float AD_get_voltage(int32_t channel);
// Text exports: fill `buffer` (256 characters) and return the characters written.
int32_t AD_channel_name(int32_t channel, char* buffer);
int32_t AD_dll_date(char* buffer);
int32_t AD_interface_name(char* buffer);
int32_t AD_has_diff_input();
int32_t AD_input_mode(int32_t mode);
int32_t AD_ranges();
void AD_range(int32_t range, float* min, float* max);
int32_t AD_channels();
int32_t AD_winrt_device();

// Copies `count` bytes; overlapping blocks are copied correctly.
void ZR_memcpy(void* destination, const void* source, int32_t count);
// time - stored, in wrapping 32-bit arithmetic: correct across a clock wrap.
int32_t ZR_SubTime(int32_t time, int32_t stored);
} // namespace ZR2010
