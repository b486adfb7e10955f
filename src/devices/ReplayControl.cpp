#include "devices/ReplayControl.h"

#include "devices/AddressOptions.h"
#include "devices/DeviceError.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

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
                                 {QStringLiteral("column"), QStringLiteral("loop"),
                                  QStringLiteral("rate"), QStringLiteral("time_column"),
                                  QStringLiteral("time_unit"), QStringLiteral("speed")});
    if (path.isEmpty())
        throw DeviceError(QStringLiteral("replay: the address names no file (replay:FILE)"));
    Options parsed;
    parsed.path = path;
    parsed.column = static_cast<int>(options.whole(QStringLiteral("column"), 0, 0, 1000));
    parsed.loop = options.whole(QStringLiteral("loop"), 0, 0, 1) == 1;
    parseStream(options, parsed);
    return parsed;
}

// rate= or time_column= make a stream; speed= and time_unit= only go with one.
void ReplayControl::parseStream(const AddressOptions& options, Options& parsed) {
    const auto within = [&](const QString& name, double max) {
        const double value = options.number(name, 0.0, 0.0);
        if (options.has(name) && !(value > 0.0 && value <= max))
            throw DeviceError(options.refusal(
                name, QStringLiteral("must be above 0 and at most %1").arg(max, 0, 'f', 0)));
        return value;
    };
    parsed.rate = within(QStringLiteral("rate"), 1'000'000.0);
    parsed.timeColumn = static_cast<int>(options.whole(QStringLiteral("time_column"), 0, 1, 1000));
    const QString unit =
        options.choice(QStringLiteral("time_unit"), {"s", "ms"}, QStringLiteral("s"));
    parsed.timeUnit = unit == u"ms" ? 0.001 : 1.0;
    if (options.has(QStringLiteral("speed")))
        parsed.speed = within(QStringLiteral("speed"), 100.0);
    const auto refuse = [&](const char* name, const char* why) {
        throw DeviceError(options.refusal(QString::fromLatin1(name), QString::fromLatin1(why)));
    };
    if (parsed.rate > 0.0 && parsed.timeColumn > 0)
        refuse("rate", "cannot be given with time_column: the rate is the time column's step");
    if (parsed.timeColumn > 0 && parsed.column == 0)
        refuse("time_column", "needs column= for the values");
    if (parsed.timeColumn > 0 && parsed.timeColumn == parsed.column)
        refuse("time_column", "names the column of the values");
    if (options.has(QStringLiteral("time_unit")) && parsed.timeColumn == 0)
        refuse("time_unit", "is for time_column");
    if (options.has(QStringLiteral("speed")) && !parsed.streams())
        refuse("speed", "is for a stream (rate= or time_column=)");
}

ReplayControl::ReplayControl(const MillisecondClock& clock, Options options)
    : m_clock(clock), m_options(std::move(options)), m_name(QFileInfo(m_options.path).fileName()) {}

ReplayControl::~ReplayControl() {
    disconnect();
    endScan();
}

SampleReader::Options ReplayControl::readerOptions() const {
    SampleReader::Options options;
    options.column = m_options.column;
    options.delimiter = SampleReader::Detect;
    options.timeColumn = m_options.timeColumn;
    options.skipGaps = true;
    return options;
}

// Opened without waiting and refused unless it is a regular file: a FIFO in
// its place (at the start or at a round of a loop) would hold the tick until
// a writer came.
std::FILE* ReplayControl::openFile() const {
    const QByteArray name = QFile::encodeName(m_options.path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        throw DeviceError(QStringLiteral("cannot open %1: %2")
                              .arg(m_options.path, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        throw DeviceError(QStringLiteral("%1 is %2, not a recorded signal")
                              .arg(m_options.path, S_ISDIR(status.st_mode)
                                                       ? QStringLiteral("a folder")
                                                       : QStringLiteral("not a regular file")));
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        throw DeviceError(QStringLiteral("cannot open %1: %2")
                              .arg(m_options.path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    return file;
}

ConverterControl::Found ReplayControl::connect() {
    disconnect();
    endScan();
    m_scanFile = openFile();
    m_scanner = std::make_unique<SampleReader>(m_scanFile, readerOptions());
    m_samples = 0;
    m_gaps = 0;
    m_peak = 0.0;
    m_scanError.clear();
    scan(OpenScanSteps * m_options.scanStepBytes);
    m_started = false;
    if (m_scanError.isEmpty())
        startAgain();
    if (const QString why = m_scanError.isEmpty() ? m_failure : m_scanError; !why.isEmpty()) {
        endScan();
        disconnect();
        throw DeviceError(why);
    }
    Found found;
    found.channelNames << (m_options.column > 0 ? QStringLiteral("column %1").arg(m_options.column)
                                                : m_name);
    const float range = roundRange(m_peak);
    found.span = {-range, range};
    found.description = scanDescription();
    if (!m_options.streams())
        return found;
    // A stream reads the file on its own; the one-sample reader stays closed.
    disconnect();
    return openStream(found);
}

ConverterControl::Found ReplayControl::openStream(Found found) {
    ReplayStream::Pace pace{m_options.rate, m_options.speed, m_options.timeUnit, m_options.loop};
    auto stream = std::make_unique<ReplayStream>(
        m_clock, [this] { return openFile(); }, readerOptions(), pace, m_name);
    stream->start();
    m_stream = std::move(stream);
    found.description = scanDescription();
    return found;
}

// Reads ahead about `bytes` of the file: its samples, its peak, and where it
// is damaged. At the end the file is closed and the description says it all.
void ReplayControl::scan(int64_t bytes) {
    if (!m_scanner)
        return;
    const int64_t until = m_scanner->fileBytesRead() + std::max<int64_t>(bytes, 1);
    SampleReader::Batch batch;
    SampleReader::Status status = SampleReader::Status::Sample;
    while (m_scanner->fileBytesRead() < until &&
           (status = m_scanner->nextBatch(batch)) == SampleReader::Status::Sample) {
        for (size_t i = 0; i < batch.size; ++i)
            cover(static_cast<double>(batch.values[i]));
        m_samples += static_cast<int64_t>(batch.size);
    }
    if (status == SampleReader::Status::Sample)
        return;
    if (status == SampleReader::Status::Error)
        m_scanError =
            QStringLiteral("%1: %2").arg(m_name, QString::fromStdString(m_scanner->error()));
    m_gaps = m_scanner->gaps();
    endScan();
    if (isOpen())
        describe(scanDescription());
}

void ReplayControl::endScan() {
    m_scanner.reset();
    if (m_scanFile)
        std::fclose(m_scanFile);
    m_scanFile = nullptr;
}

QString ReplayControl::scanDescription() const {
    QString text = QStringLiteral("%1, %2 samples").arg(m_name).arg(m_samples);
    if (m_scanner)
        text += QStringLiteral(" so far (reading ahead)");
    else if (m_gaps > 0)
        text += QStringLiteral(" (%1 gaps skipped)").arg(m_gaps);
    if (!m_scanError.isEmpty())
        text += QStringLiteral(", damaged: ") + m_scanError;
    if (m_options.loop)
        text += QStringLiteral(", played in a loop");
    if (m_stream) {
        text += QStringLiteral(", %1 scans a second").arg(m_stream->rate());
        if (m_options.speed != 1.0)
            text += QStringLiteral(" played %1 times as fast").arg(m_options.speed);
    }
    return text;
}

// Every sample, read ahead or played, lies within the range.
void ReplayControl::cover(double volts) {
    const double size = std::fabs(volts);
    if (!(size > m_peak))
        return;
    m_peak = size;
    const float range = roundRange(m_peak);
    if (isOpen() && range > found().span.second)
        setSpan({-range, range});
}

void ReplayControl::disconnect() {
    m_stream.reset();
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
    if (status == SampleReader::Status::Sample) {
        cover(m_current);
        return;
    }
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
        cover(m_current);
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
    scan(m_options.scanStepBytes);
    if (countedChannel < 1 || m_stream)
        return;
    // The first tick takes the sample that the start-up reading saw.
    if (!m_started) {
        m_started = true;
        return;
    }
    advance();
}

ReplayControl::Reading ReplayControl::take(int32_t) {
    if (m_stream)
        return Reading{m_stream->newest(), 0};
    if (!m_failure.isEmpty())
        throw DeviceError(m_failure);
    return Reading{m_current, 0};
}
