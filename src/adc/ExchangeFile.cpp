#include "adc/ExchangeFile.h"

#include "common/ErrorText.h"
#include "platform/ProblemSink.h"

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

ExchangeFile::ExchangeFile(QString tempFolder, ProblemSink& problems)
    : m_tempFolder(withoutTrailingSeparator(std::move(tempFolder))), m_problems(problems) {}

// The user's error text for the operation, with the file and the reason.
void ExchangeFile::report(const char* operation) {
    m_problems.reportProblem(
        QStringLiteral("%1: %2 (%3)")
            .arg(QLatin1String(operation), ErrorText(m_file.errorNumber()), m_file.errorText()));
}

QString ExchangeFile::path() const {
    if (m_tempFolder == QLatin1String("/")) {
        return m_tempFolder + QLatin1String(FileName);
    }
    return m_tempFolder + QLatin1Char('/') + QLatin1String(FileName);
}

bool ExchangeFile::ADCFile_open() {
    ADCFile_close();
    if (!m_file.open(m_tempFolder, QLatin1String(FileName))) {
        // The program runs on without the exchange file; writes then do nothing.
        report("ADCFile_open");
        ADCFile_close();
        return false;
    }
    const std::array<float, RecordLength> zeros{};
    return ADCFile_write(zeros);
}

bool ExchangeFile::ADCFile_write(std::span<const float> record) {
    if (!m_file.isOpen()) {
        return true;
    }
    // Readers on any machine expect little-endian singles.
    QByteArray bytes(static_cast<qsizetype>(record.size() * sizeof(float)), Qt::Uninitialized);
    for (size_t i = 0; i < record.size(); ++i) {
        qToLittleEndian(record[i], bytes.data() + i * sizeof(float));
    }
    if (!m_file.writeAt(0, bytes.constData(), bytes.size())) {
        // Reported once: the file stays closed until the next open, so a full
        // disk does not raise a message every 40 ms.
        report("ADCFile_write");
        ADCFile_close();
        return false;
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
