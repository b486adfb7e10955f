#pragma once
// The forms in which a recorded history comes: text, or raw little-endian
// samples of one of four types, with their sizes, names and a way to read one
// sample on any host.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

enum class SampleFormat { Text, F32LE, F64LE, I16LE, I32LE };

// Bytes per binary sample (1 for text, which has none).
constexpr size_t sampleSize(SampleFormat format) {
    switch (format) {
    case SampleFormat::I16LE:
        return 2;
    case SampleFormat::F32LE:
    case SampleFormat::I32LE:
        return 4;
    case SampleFormat::F64LE:
        return 8;
    default:
        return 1;
    }
}

// "text", "f32le", "f64le", "i16le", "i32le": as --format takes them.
constexpr const char* formatName(SampleFormat format) {
    constexpr const char* names[] = {"text", "f32le", "f64le", "i16le", "i32le"};
    return names[static_cast<int>(format)];
}

// A little-endian sample at `p`, on any host.
template <typename Raw> Raw loadLittleEndian(const char* p) {
    using Bits = std::conditional_t<sizeof(Raw) == 2, uint16_t,
                                    std::conditional_t<sizeof(Raw) == 4, uint32_t, uint64_t>>;
    Bits bits = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&bits, p, sizeof bits);
    } else {
        for (size_t i = 0; i < sizeof bits; ++i)
            bits |= Bits{static_cast<unsigned char>(p[i])} << (8 * i);
    }
    Raw raw;
    std::memcpy(&raw, &bits, sizeof raw);
    return raw;
}
