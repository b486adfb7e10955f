#include "devices/ReplayControl.h"

#include "devices/AddressOptions.h"
#include "devices/DeviceError.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// The smallest of 1, 2 or 5 times a power of ten at or above `peak`.
float roundRange(double peak) {
    for (int exponent = -3; exponent < 38; ++exponent) {
        for (const double mantissa : {1.0, 2.0, 5.0}) {
            const double range = mantissa * std::pow(10.0, exponent);
            if (range >= peak)
                return static_cast<float>(range);
        }
    }
    return std::numeric_limits<float>::max();
}

} // namespace

ReplayControl::Options ReplayControl::parse(const QString& text) {
    const auto [path, query] = AddressOptions::split(text);
    const AddressOptions options(QStringLiteral("replay"), query,
                                 {QStringLiteral("column"), QStringLiteral("loop")});
    if (path.isEmpty())
        throw DeviceError(QStringLiteral("replay: the address names no file (replay:FILE)"));
    Options parsed;
    parsed.path = path;
    parsed.column = static_cast<int>(options.whole(QStringLiteral("column"), 0, 0, 1000));
    parsed.loop = options.whole(QStringLiteral("loop"), 0, 0, 1) == 1;
    return parsed;
}

ReplayControl::ReplayControl(Options options)
    : m_options(std::move(options)), m_name(QFileInfo(m_options.path).fileName()) {}

ReplayControl::~ReplayControl() {
    disconnect();
}

SampleReader::Options ReplayControl::readerOptions() const {
    SampleReader::Options options;
    options.column = m_options.column;
    options.delimiter = SampleReader::Detect;
    options.skipGaps = true;
    return options;
}

std::FILE* ReplayControl::openFile() const {
    std::FILE* file = std::fopen(QFile::encodeName(m_options.path).constData(), "rb");
    if (!file)
        throw DeviceError(QStringLiteral("cannot open %1: %2")
                              .arg(m_options.path, QString::fromLocal8Bit(std::strerror(errno))));
    return file;
}

ConverterControl::Found ReplayControl::connect() {
    disconnect();
    if (QFileInfo(m_options.path).isDir())
        throw DeviceError(
            QStringLiteral("%1 is a folder, not a recorded signal").arg(m_options.path));
    std::FILE* scanned = openFile();
    SampleReader reader(scanned, readerOptions());
    SampleReader::Batch batch;
    SampleReader::Status status;
    int64_t samples = 0;
    double peak = 0.0;
    while ((status = reader.nextBatch(batch)) == SampleReader::Status::Sample) {
        for (size_t i = 0; i < batch.size; ++i)
            peak = std::max(peak, std::fabs(static_cast<double>(batch.values[i])));
        samples += static_cast<int64_t>(batch.size);
    }
    std::fclose(scanned);
    if (status == SampleReader::Status::Error)
        throw DeviceError(
            QStringLiteral("%1: %2").arg(m_name, QString::fromStdString(reader.error())));
    m_samples = samples;
    Found found;
    found.channelNames << (m_options.column > 0 ? QStringLiteral("column %1").arg(m_options.column)
                                                : m_name);
    const float range = roundRange(peak);
    found.span = {-range, range};
    found.description = QStringLiteral("%1, %2 samples").arg(m_name).arg(samples);
    if (reader.gaps() > 0)
        found.description += QStringLiteral(" (%1 gaps skipped)").arg(reader.gaps());
    if (m_options.loop)
        found.description += QStringLiteral(", played in a loop");
    m_started = false;
    startAgain();
    if (!m_failure.isEmpty())
        throw DeviceError(m_failure);
    return found;
}

void ReplayControl::disconnect() {
    m_reader.reset();
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
}

void ReplayControl::stop(const QString& why) {
    disconnect();
    m_failure = why;
}

// The first sample again: at opening, and each round of a loop. A file
// removed meanwhile fails the readings until it is back.
void ReplayControl::startAgain() {
    disconnect();
    m_position = 0;
    try {
        m_file = openFile();
    } catch (const DeviceError& error) {
        m_failure = error.why();
        return;
    }
    m_reader = std::make_unique<SampleReader>(m_file, readerOptions());
    m_failure.clear();
    const SampleReader::Status status = m_reader->next(m_current);
    if (status == SampleReader::Status::Sample)
        return;
    stop(status == SampleReader::Status::Error
             ? QStringLiteral("%1: %2").arg(m_name, QString::fromStdString(m_reader->error()))
             : QStringLiteral("%1 holds no samples any more").arg(m_name));
}

void ReplayControl::advance() {
    if (!m_reader) {
        // Ended, damaged, or gone at the start of a round: a loop tries again.
        if (m_options.loop)
            startAgain();
        return;
    }
    const SampleReader::Status status = m_reader->next(m_current);
    if (status == SampleReader::Status::Sample) {
        ++m_position;
        return;
    }
    if (status == SampleReader::Status::End && m_options.loop) {
        startAgain();
        return;
    }
    stop(status == SampleReader::Status::Error
             ? QStringLiteral("%1: %2").arg(m_name, QString::fromStdString(m_reader->error()))
             : QStringLiteral("%1 ended after %2 samples").arg(m_name).arg(m_position + 1));
}

// Only the counting moves on: the live readings of the setup dialog (no
// counted channel) show the sample where the counting paused.
void ReplayControl::beginTick(int32_t countedChannel) {
    if (countedChannel < 1)
        return;
    // The first tick takes the sample that the start-up reading saw.
    if (!m_started) {
        m_started = true;
        return;
    }
    advance();
}

ReplayControl::Reading ReplayControl::take(int32_t) {
    if (!m_failure.isEmpty())
        throw DeviceError(m_failure);
    return Reading{m_current, 0};
}
