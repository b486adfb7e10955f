#pragma once
// How one scan of an Industrial I/O buffer lies in the bytes read from the
// device node: the enabled elements in ascending scan index, each at an
// offset aligned to its storage size, the scan padded to its largest
// element. An element's type reads as "le:s12/16>>4" (byte order, signed or
// unsigned, valid bits, storage bits, optional repeat and shift); a type this
// program cannot decode is a DeviceError naming it.
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <vector>

class IioScanLayout {
public:
    struct Type {
        bool bigEndian = false;
        bool isSigned = false;
        int bits = 0;        // valid bits, 1 ... storageBits
        int storageBits = 0; // 8, 16, 32 or 64
        int repeat = 1;      // values of the element; the first is decoded
        int shift = 0;
        size_t bytes() const { return static_cast<size_t>(storageBits / 8 * repeat); }
    };
    // Throws DeviceError quoting `text` when it is no type that can be decoded.
    static Type parseType(const QByteArray& text);
    // The element's (first) value from the bytes at its offset.
    static int64_t decode(const Type& type, const uint8_t* at);

    // What an element is to the stream: a channel from 0, the timestamp, or
    // something enabled by another program that is stepped over.
    enum Role : int32_t { Timestamp = -1, Ignored = -2 };
    struct Element {
        int32_t scanIndex = 0;
        Type type;
        int32_t role = Ignored;
        size_t offset = 0; // set by the layout
    };
    explicit IioScanLayout(std::vector<Element> elements);

    size_t scanBytes() const { return m_scanBytes; }
    const std::vector<Element>& elements() const { return m_elements; }

private:
    std::vector<Element> m_elements;
    size_t m_scanBytes = 0;
};
