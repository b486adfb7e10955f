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
// Characters that end a line or change how the text around them reads.
bool unprintable(char16_t c) {
    return c < 0x20 || (c >= 0x7f && c < 0xa0) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}
} // namespace

QString printableLine(QStringView text) {
    static const char16_t hex[] = u"0123456789ABCDEF";
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!unprintable(u)) {
            out.append(c);
            continue;
        }
        const bool wide = u >= 0x100;
        out.append(QStringView(wide ? u"\\u" : u"\\x"));
        for (int shift = wide ? 12 : 4; shift >= 0; shift -= 4)
            out.append(QChar(hex[(u >> shift) & 15]));
    }
    return out;
}

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
