#include "devices/ReplayStream.h"

#include "devices/DeviceError.h"
#include "platform/MillisecondClock.h"

#include <algorithm>
#include <cmath>

namespace {
// As the simulated box: beyond this a tick would take more than any buffer holds.
constexpr double MaxRate = 1'000'000.0;
} // namespace

ReplayStream::ReplayStream(const MillisecondClock& clock, Opener open, SampleReader::Options reader,
                           Pace pace, QString name)
    : m_clock(clock), m_open(std::move(open)), m_readerOptions(reader), m_pace(pace),
      m_name(std::move(name)), m_rate(pace.rate) {}

ReplayStream::~ReplayStream() {
    m_reader.reset();
    if (m_file)
        std::fclose(m_file);
}

void ReplayStream::start() {
    m_roundOffset = 0.0;
    m_roundSamples = 0;
    openRound();
    if (m_pace.rate <= 0.0) {
        // The time column's first step is the converter's sample interval.
        Sample second;
        const SampleReader::Status status = readFile(second);
        if (status == SampleReader::Status::Error)
            throw DeviceError(
                QStringLiteral("%1: %2").arg(m_name, QString::fromStdString(m_reader->error())));
        if (status == SampleReader::Status::End)
            throw DeviceError(QStringLiteral("%1: the rate cannot be taken from the time column "
                                             "of a file with one sample (give rate=)")
                                  .arg(m_name));
        m_ahead.push_back(second);
        const double step = second.seconds - m_ahead.front().seconds;
        if (!(step * MaxRate >= 1.0))
            throw DeviceError(QStringLiteral("%1: the first two samples are %2 s apart in the "
                                             "time column: no rate of at most %3 scans a second "
                                             "(give rate=)")
                                  .arg(m_name)
                                  .arg(step)
                                  .arg(MaxRate, 0, 'f', 0));
        m_rate = 1.0 / step;
    }
    m_newest = m_ahead.front().value;
    m_next = 0;
    m_elapsedMs = 0;
    m_held = 0;
    m_taken = false;
}

// The first sample of the file again: at the start, and each round of a
// loop, whose times go on from the round before by one step.
void ReplayStream::openRound() {
    m_reader.reset();
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_ahead.clear();
    if (m_roundSamples > 0)
        m_roundOffset += m_roundLast - m_roundFirst + 1.0 / m_rate;
    m_roundSamples = 0;
    m_failure.clear();
    try {
        m_file = m_open();
    } catch (const DeviceError& error) {
        m_failure = error.why();
        throw;
    }
    m_reader = std::make_unique<SampleReader>(m_file, m_readerOptions);
    Sample first;
    const SampleReader::Status status = readFile(first);
    if (status != SampleReader::Status::Sample) {
        fail(status == SampleReader::Status::Error
                 ? QStringLiteral("%1: %2").arg(m_name, QString::fromStdString(m_reader->error()))
                 : QStringLiteral("%1 holds no samples any more").arg(m_name));
        throw DeviceError(m_failure);
    }
    m_ahead.push_back(first);
}

SampleReader::Status ReplayStream::readFile(Sample& sample) {
    const SampleReader::Status status = m_reader->next(sample.value);
    if (status == SampleReader::Status::Sample) {
        const double seconds = m_reader->time() * m_pace.secondsPerUnit;
        if (m_roundSamples++ == 0)
            m_roundFirst = seconds;
        m_roundLast = seconds;
        sample.seconds = seconds + m_roundOffset;
    }
    return status;
}

// The next sample to hand out; false once the file ended or broke (the
// reason in m_failure), after a loop has tried to start it again.
bool ReplayStream::nextSample(Sample& sample) {
    if (!m_ahead.empty()) {
        sample = m_ahead.front();
        m_ahead.erase(m_ahead.begin());
        return true;
    }
    if (!m_failure.isEmpty() || !m_reader)
        return false;
    const SampleReader::Status status = readFile(sample);
    if (status == SampleReader::Status::Sample)
        return true;
    if (status == SampleReader::Status::End && m_pace.loop) {
        try {
            openRound();
        } catch (const DeviceError&) {
            return false;
        }
        return nextSample(sample);
    }
    fail(status == SampleReader::Status::Error
             ? QStringLiteral("%1: %2").arg(m_name, QString::fromStdString(m_reader->error()))
             : QStringLiteral("%1 ended after %2 samples").arg(m_name).arg(m_roundSamples));
    return false;
}

void ReplayStream::fail(const QString& why) {
    m_reader.reset();
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_failure = why;
}

int64_t ReplayStream::skip(int64_t scans) {
    Sample sample;
    int64_t skipped = 0;
    while (skipped < scans && nextSample(sample))
        ++skipped;
    return skipped;
}

// Scan i falls due i / (rate * speed) seconds after the first take on the
// program's clock (a slow start-up loses nothing). While the file fails (gone
// at the start of a round of a loop) the replay's clock stands still.
void ReplayStream::takeScans(ScanBlock& block, int64_t maxScans) {
    const auto now = static_cast<uint32_t>(m_clock.timeGetTime());
    const uint32_t step = m_taken ? now - m_lastClock : 0;
    m_taken = true;
    m_lastClock = now;
    block.clear();
    block.channels = 1;
    if (!m_failure.isEmpty()) {
        if (!m_pace.loop)
            throw DeviceError(m_failure);
        openRound();
    } else {
        m_elapsedMs += step;
    }
    const double perSecond = m_rate * m_pace.speed;
    int64_t arrived =
        static_cast<int64_t>(std::floor(static_cast<double>(m_elapsedMs) * perSecond / 1000.0)) +
        1 - m_held;
    const auto buffer = std::max<int64_t>(1, static_cast<int64_t>(perSecond * BufferSeconds));
    if (const int64_t excess = arrived - m_next - buffer; excess > 0) {
        // At most a buffer of the file is skipped a take: a longer pause (a
        // suspended PC) holds the replay instead of reading for minutes.
        m_held += std::max<int64_t>(excess - buffer, 0);
        arrived -= std::max<int64_t>(excess - buffer, 0);
        block.lost = skip(std::min(excess, buffer));
        m_next += block.lost;
    }
    block.firstIndex = m_next;
    const int64_t wanted = std::min(arrived - m_next, std::max<int64_t>(maxScans, 0));
    const bool timed = m_readerOptions.timeColumn > 0;
    block.values.reserve(static_cast<size_t>(std::max<int64_t>(wanted, 0)));
    Sample sample;
    for (int64_t s = 0; s < wanted && nextSample(sample); ++s) {
        block.values.push_back(sample.value);
        if (timed)
            block.seconds.push_back(sample.seconds);
    }
    m_next += block.scans();
    if (block.scans() > 0)
        m_newest = block.values.back();
    else if (!m_failure.isEmpty())
        throw DeviceError(m_failure);
}
