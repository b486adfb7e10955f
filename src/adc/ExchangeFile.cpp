#include "adc/ExchangeFile.h"

#include <QByteArray>
#include <QtEndian>
#include <array>

namespace {
constexpr int RecordLength = 8;
constexpr qint64 ServedSize = RecordLength * static_cast<qint64>(sizeof(float));

// The folder as reported, without trailing separators, so that the file name
// is never joined with a doubled one. The root folder stays "/".
QString withoutTrailingSeparator(QString folder) {
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
        folder.chop(1);
    }
    return folder;
}
} // namespace

ExchangeFile::ExchangeFile(QString tempFolder, ProblemSink& problems, const MillisecondClock& clock)
    : m_file(withoutTrailingSeparator(std::move(tempFolder)), QLatin1String(FileName), problems,
             clock) {}

bool ExchangeFile::ADCFile_open() {
    ADCFile_close();
    // The program runs on without the exchange file until it can be opened.
    if (!m_file.open(QStringLiteral("ADCFile_open")))
        return false;
    const std::array<float, RecordLength> zeros{};
    return ADCFile_write(zeros);
}

bool ExchangeFile::ADCFile_write(std::span<const float> record) {
    // Readers on any machine expect little-endian singles.
    QByteArray bytes(static_cast<qsizetype>(record.size() * sizeof(float)), Qt::Uninitialized);
    for (size_t i = 0; i < record.size(); ++i) {
        qToLittleEndian(record[i], bytes.data() + i * sizeof(float));
    }
    const bool wasOpen = m_file.isOpen();
    if (!m_file.writeAt(0, bytes.constData(), bytes.size(), QStringLiteral("ADCFile_write"))) {
        // Reported once by the file; without the file the program runs on.
        if (wasOpen && onServed)
            onServed(false);
        return !wasOpen;
    }
    // A whole record written at the start makes the file long enough by
    // itself; only a shorter one needs the file's length asked.
    const bool served = bytes.size() >= ServedSize || m_file.size() >= ServedSize;
    if (served && onServed) {
        onServed(true);
    }
    return true;
}

void ExchangeFile::ADCFile_close() {
    if (onServed) {
        onServed(false);
    }
    m_file.close();
}
