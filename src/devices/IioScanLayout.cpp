#include "devices/IioScanLayout.h"

#include "devices/DeviceError.h"

#include <QRegularExpression>
#include <QString>
#include <algorithm>

IioScanLayout::Type IioScanLayout::parseType(const QByteArray& text) {
    static const QRegularExpression format(
        QStringLiteral("^(be|le):([suf])(\\d{1,2})/(\\d{1,3})(?:X(\\d{1,3}))?(?:>>(\\d{1,2}))?$"));
    const QString type = QString::fromLatin1(text.trimmed().left(60));
    const QRegularExpressionMatch match = format.match(type);
    const auto refuse = [&type](const QString& why) {
        return DeviceError(QStringLiteral("the scan element type \"%1\" %2").arg(type, why));
    };
    if (!match.hasMatch())
        throw refuse(QStringLiteral("is not of the form le:s12/16>>4"));
    if (match.captured(2) == u"f")
        throw refuse(QStringLiteral("is floating point, which is not read"));
    Type parsed;
    parsed.bigEndian = match.captured(1) == u"be";
    parsed.isSigned = match.captured(2) == u"s";
    parsed.bits = match.captured(3).toInt();
    parsed.storageBits = match.captured(4).toInt();
    parsed.repeat = std::max(match.captured(5).toInt(), 1);
    parsed.shift = match.captured(6).toInt();
    const int storage = parsed.storageBits;
    if (storage != 8 && storage != 16 && storage != 32 && storage != 64)
        throw refuse(QStringLiteral("has a storage size other than 8, 16, 32 or 64 bits"));
    if (parsed.bits < 1 || parsed.shift + parsed.bits > parsed.storageBits)
        throw refuse(QStringLiteral("has more bits than its storage holds"));
    return parsed;
}

int64_t IioScanLayout::decode(const Type& type, const uint8_t* at) {
    const int bytes = type.storageBits / 8;
    uint64_t stored = 0;
    for (int i = 0; i < bytes; ++i) {
        const int from = type.bigEndian ? i : bytes - 1 - i;
        stored = (stored << 8) | at[from];
    }
    stored >>= type.shift;
    if (type.bits == 64)
        return static_cast<int64_t>(stored);
    const uint64_t mask = (uint64_t{1} << type.bits) - 1;
    stored &= mask;
    if (type.isSigned && (stored >> (type.bits - 1)) != 0)
        stored |= ~mask; // two's complement of the valid bits
    return static_cast<int64_t>(stored);
}

// The kernel places each element at a multiple of its own size and pads the
// scan to a multiple of the largest, so that scans follow each other aligned.
IioScanLayout::IioScanLayout(std::vector<Element> elements) : m_elements(std::move(elements)) {
    std::sort(m_elements.begin(), m_elements.end(),
              [](const Element& a, const Element& b) { return a.scanIndex < b.scanIndex; });
    size_t largest = 1;
    for (Element& element : m_elements) {
        const size_t size = element.type.bytes();
        m_scanBytes = (m_scanBytes + size - 1) / size * size;
        element.offset = m_scanBytes;
        m_scanBytes += size;
        largest = std::max(largest, size);
    }
    m_scanBytes = (m_scanBytes + largest - 1) / largest * largest;
}
