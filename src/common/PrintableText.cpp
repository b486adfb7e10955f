#include "common/PrintableText.h"

namespace {
// Length of the valid UTF-8 sequence of a printable character at `i`, or 0.
size_t printableSequence(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead >= 0x20 && lead < 0x7f)
        return 1;
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        if (lead == 0xc2)
            low = 0xa0; // U+0080..U+009F are the C1 controls
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        if (lead == 0xe0)
            low = 0xa0; // overlong forms
        if (lead == 0xed)
            high = 0x9f; // surrogates
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        if (lead == 0xf0)
            low = 0x90;
        if (lead == 0xf4)
            high = 0x8f;
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xbf)
            return 0;
    }
    return length;
}
} // namespace

std::string printableText(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = printableSequence(text, i);
        if (length > 0) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        const auto byte = static_cast<unsigned char>(text[i++]);
        out.append("\\x").append(1, hex[byte >> 4]).append(1, hex[byte & 15]);
    }
    return out;
}

std::string quotedText(std::string_view text, size_t limit) {
    const bool cut = text.size() > limit;
    // Built by appending: GCC 12 warns falsely about chained string additions.
    std::string quoted(1, '"');
    quoted.append(printableText(text.substr(0, limit)));
    quoted.append(cut ? "...\"" : "\"");
    return quoted;
}
