#include "devices/SimulatedBox.h"

#include "devices/DeviceError.h"
#include "devices/LibadxRanges.h"
#include "platform/MillisecondClock.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

QString unusable(const QString& option, const QString& why) {
    return QStringLiteral("sim: option \"%1\" %2").arg(option, why);
}

// A whole value with a decimal point: a comma would be read as the next option.
double number(const QString& option, const QString& value, double min) {
    bool ok = false;
    const double parsed = value.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(parsed))
        throw DeviceError(
            unusable(option, QStringLiteral("needs a number (with a decimal point)")));
    if (parsed < min)
        throw DeviceError(unusable(option, QStringLiteral("must be at least %1").arg(min)));
    return parsed;
}

constexpr double MaxRate = 1'000'000.0;

// A rate or frequency: above 0 (a rate of 0 would divide by zero) and at most `max`.
double positive(const QString& option, const QString& value, double max) {
    const double parsed = number(option, value, 0.0);
    if (!(parsed > 0.0) || parsed > max)
        throw DeviceError(
            unusable(option, QStringLiteral("must be above 0 and at most %1").arg(max, 0, 'f', 0)));
    return parsed;
}

int64_t count(const QString& option, const QString& value) {
    bool ok = false;
    const qlonglong parsed = value.trimmed().toLongLong(&ok);
    if (!ok || parsed < 0)
        throw DeviceError(unusable(option, QStringLiteral("needs a whole number of 0 or more")));
    return parsed;
}

int32_t channelCount(const QString& option, const QString& value) {
    bool ok = false;
    const int parsed = value.trimmed().toInt(&ok);
    if (!ok || parsed < 1 || parsed > SimulatedBox::Channels)
        throw DeviceError(unusable(
            option,
            QStringLiteral("must be a whole number from 1 to %1").arg(SimulatedBox::Channels)));
    return parsed;
}

} // namespace

SimulatedBox::Options SimulatedBox::parse(const QString& text) {
    Options options;
    QStringList seen;
    for (const QString& item : text.split(u',', Qt::SkipEmptyParts)) {
        const qsizetype equals = item.indexOf(u'=');
        const QString key = item.left(equals).trimmed();
        if (equals < 0)
            throw DeviceError(unusable(item.trimmed(), QStringLiteral("is not name=value")));
        if (seen.contains(key))
            throw DeviceError(unusable(key, QStringLiteral("is given twice")));
        seen.append(key);
        const QString value = item.mid(equals + 1);
        if (seen.contains(QStringLiteral("period_ms")) &&
            seen.contains(QStringLiteral("frequency")))
            throw DeviceError(unusable(key, QStringLiteral("cannot be given with period_ms and "
                                                           "frequency both")));
        if (key == u"period_ms")
            options.periodMs = number(key, value, 1.0);
        else if (key == u"frequency")
            options.periodMs = 1000.0 / positive(key, value, MaxRate / 2.0);
        else if (key == u"rate")
            options.rate = positive(key, value, MaxRate);
        else if (key == u"channels")
            options.channels = channelCount(key, value);
        else if (key == u"scans")
            options.scans = count(key, value);
        else if (key == u"amplitude")
            options.amplitude = number(key, value, 0.0);
        else if (key == u"offset")
            options.offset = number(key, value, -std::numeric_limits<double>::infinity());
        else if (key == u"noise")
            options.noise = number(key, value, 0.0);
        else if (key == u"fail_after")
            options.failAfter = count(key, value);
        else if (key == u"recover_after")
            options.recoverAfter = count(key, value);
        else if (key == u"fail_open" && (value.trimmed() == u"0" || value.trimmed() == u"1"))
            options.failOpen = value.trimmed() == u"1";
        else if (key == u"fail_open")
            throw DeviceError(unusable(key, QStringLiteral("must be 0 or 1")));
        else
            throw DeviceError(unusable(
                key, QStringLiteral("is unknown (known: period_ms, frequency, "
                                    "rate, channels, scans, amplitude, offset, noise, fail_after, "
                                    "recover_after, fail_open)")));
    }
    return options;
}

SimulatedBox::SimulatedBox(const MillisecondClock& clock, Options options)
    : m_clock(clock), m_options(options) {}

bool SimulatedBox::open(const QString& device) {
    if (m_options.failOpen)
        return false;
    // Another device string gets the four ranges of the USB-AD16f.
    m_ranges = LibadxRanges::of(device);
    if (m_ranges.empty())
        m_ranges = LibadxRanges::of(QStringLiteral("usbbase:0"));
    m_open = true;
    m_stream.start();
    return true;
}

void SimulatedBox::close() {
    m_open = false;
}

void SimulatedBox::answerOrThrow() {
    if (!m_open)
        throw DeviceError(QStringLiteral("the device is not open"));
    ++m_readings;
    const int64_t failAfter = m_options.failAfter;
    if (failAfter < 0 || m_readings <= failAfter)
        return;
    if (m_options.recoverAfter >= 0 && m_readings > failAfter + m_options.recoverAfter)
        return;
    throw DeviceError(
        QStringLiteral("no answer from the simulated box (reading %1)").arg(m_readings));
}

void SimulatedBox::checkChannel(int32_t channel) const {
    if (channel < 1 || channel > m_options.channels)
        throw DeviceError(QStringLiteral("the device has no channel %1").arg(channel));
}

std::pair<float, float> SimulatedBox::limits(int32_t range) const {
    if (range < 0 || range >= static_cast<int32_t>(m_ranges.size()))
        throw DeviceError(QStringLiteral("the device has no range %1").arg(range));
    return m_ranges[static_cast<size_t>(range)];
}

float SimulatedBox::signal(int32_t channel, double timeMs) {
    const bool first = channel == 1;
    const double period = first ? m_options.periodMs : channel * 2000.0;
    const double amplitude = first ? m_options.amplitude : 0.8;
    double value =
        (first ? m_options.offset : 0.0) +
        amplitude * std::sin(2.0 * std::numbers::pi * std::fmod(timeMs, period) / period);
    if (first && m_options.noise > 0.0)
        value += noise();
    return static_cast<float>(value);
}

// xorshift32: the same noise on every run and every platform.
double SimulatedBox::noise() {
    m_noiseState ^= m_noiseState << 13;
    m_noiseState ^= m_noiseState >> 17;
    m_noiseState ^= m_noiseState << 5;
    return m_options.noise * (m_noiseState / 2147483647.5 - 1.0);
}

float SimulatedBox::readVoltage(int32_t channel, int32_t range) {
    answerOrThrow();
    checkChannel(channel);
    const auto [low, high] = limits(range);
    const auto now = static_cast<double>(static_cast<uint32_t>(m_clock.timeGetTime()));
    return std::clamp(signal(channel, now), low, high);
}

void SimulatedBox::setBlockTiming(float intervalSeconds, int32_t& samplesPerChannel) {
    if (!(intervalSeconds > 0.0f))
        throw DeviceError(QStringLiteral("the sample interval must be above 0 s"));
    samplesPerChannel = std::clamp(samplesPerChannel, 1, MaxBlockSamples);
    m_interval = intervalSeconds;
    m_samples = samplesPerChannel;
    m_blockChannels.clear();
    m_block.clear();
}

void SimulatedBox::addBlockChannel(int32_t& channel, int32_t& range) {
    checkChannel(channel);
    limits(range);
    m_blockChannels.emplace_back(channel, range);
}

void SimulatedBox::acquireBlock() {
    answerOrThrow();
    if (m_samples < 1 || m_blockChannels.empty())
        throw DeviceError(QStringLiteral("the block read was not set up"));
    const auto start = static_cast<double>(static_cast<uint32_t>(m_clock.timeGetTime()));
    m_block.clear();
    for (const auto& [channel, range] : m_blockChannels) {
        const auto [low, high] = limits(range);
        for (int32_t j = 0; j < m_samples; ++j)
            m_block.push_back(
                std::clamp(signal(channel, start + j * 1000.0 * m_interval), low, high));
    }
}

float SimulatedBox::blockSample(int32_t& channel, int32_t& sample) {
    const auto listed =
        std::find_if(m_blockChannels.begin(), m_blockChannels.end(),
                     [channel](const auto& entry) { return entry.first == channel; });
    if (listed == m_blockChannels.end() || sample < 1 || sample > m_samples ||
        m_block.size() != m_blockChannels.size() * static_cast<size_t>(m_samples))
        throw DeviceError(
            QStringLiteral("no sample %1 of channel %2 in the block").arg(sample).arg(channel));
    const auto index =
        static_cast<size_t>(listed - m_blockChannels.begin()) * static_cast<size_t>(m_samples) +
        static_cast<size_t>(sample - 1);
    return m_block[index];
}

ScanStream* SimulatedBox::scanStream() {
    return m_open && m_options.rate > 0.0 ? &m_stream : nullptr;
}

void SimulatedBox::Stream::start() {
    m_lastClock = static_cast<uint32_t>(m_box.m_clock.timeGetTime());
    m_elapsedMs = 0;
    m_next = 0;
}

// Scan i is taken at i / rate seconds after the start on the program's clock.
// Each take counts as one reading for the injected faults; scans of a silent
// spell are skipped, as a converter that stopped would have none.
void SimulatedBox::Stream::takeScans(ScanBlock& block, int64_t maxScans) {
    const auto now = static_cast<uint32_t>(m_box.m_clock.timeGetTime());
    m_elapsedMs += now - m_lastClock;
    m_lastClock = now;
    const double rate = m_box.m_options.rate;
    auto arrived = static_cast<int64_t>(std::floor(m_elapsedMs * rate / 1000.0)) + 1;
    const int64_t end = m_box.m_options.scans;
    if (end >= 0 && arrived >= end) {
        arrived = end;
        if (m_next >= end)
            throw DeviceError(QStringLiteral("the simulated stream ended after %1 scans").arg(end));
    }
    block.clear();
    const int32_t channels = m_box.m_options.channels;
    block.channels = channels;
    try {
        m_box.answerOrThrow();
    } catch (...) {
        m_next = arrived;
        throw;
    }
    const auto buffer = static_cast<int64_t>(rate * BufferSeconds);
    if (arrived - m_next > buffer) {
        block.lost = arrived - m_next - buffer;
        m_next += block.lost;
    }
    block.firstIndex = m_next;
    const int64_t scans = std::min(arrived - m_next, std::max<int64_t>(maxScans, 0));
    block.values.resize(static_cast<size_t>(scans * channels));
    float low = std::numeric_limits<float>::infinity();
    float high = -low;
    for (const auto& [min, max] : m_box.m_ranges) {
        low = std::min(low, min);
        high = std::max(high, max);
    }
    // Each sine is taken exactly at the block's first scan and then turned on
    // by its step angle, scan by scan: a few multiplications a value instead
    // of a sine, which would cost a fast stream more than the counting does.
    const double startMs = static_cast<double>(m_next) * 1000.0 / rate;
    for (int32_t channel = 1; channel <= channels; ++channel) {
        const bool first = channel == 1;
        const double period = first ? m_box.m_options.periodMs : channel * 2000.0;
        const double amplitude = first ? m_box.m_options.amplitude : 0.8;
        const double offset = first ? m_box.m_options.offset : 0.0;
        const bool noisy = first && m_box.m_options.noise > 0.0;
        const double angle = 2.0 * std::numbers::pi * std::fmod(startMs, period) / period;
        const double step = 2.0 * std::numbers::pi * (1000.0 / rate) / period;
        double sine = std::sin(angle), cosine = std::cos(angle);
        const double stepSine = std::sin(step), stepCosine = std::cos(step);
        float* out = block.values.data() + (channel - 1);
        for (int64_t scan = 0; scan < scans; ++scan, out += channels) {
            const double value = offset + amplitude * sine + (noisy ? m_box.noise() : 0.0);
            *out = std::clamp(static_cast<float>(value), low, high);
            const double turned = sine * stepCosine + cosine * stepSine;
            cosine = cosine * stepCosine - sine * stepSine;
            sine = turned;
        }
    }
    m_next += scans;
}
