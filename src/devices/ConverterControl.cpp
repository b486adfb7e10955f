#include "devices/ConverterControl.h"

#include "devices/DeviceError.h"

#include <algorithm>
#include <cmath>

bool ConverterControl::open(const QString& device) {
    if (m_open)
        close();
    try {
        m_found = connect();
    } catch (const DeviceError& error) {
        m_openError = error.why();
        return false;
    }
    m_openError.clear();
    m_ranges = LibadxRanges::of(device);
    if (m_ranges.empty())
        m_ranges = {m_found.span};
    m_open = true;
    return true;
}

void ConverterControl::close() {
    if (!m_open)
        return;
    m_open = false;
    disconnect();
}

void ConverterControl::setSpan(std::pair<float, float> span) {
    if (m_ranges.size() == 1 && m_ranges.front() == m_found.span)
        m_ranges.front() = span;
    m_found.span = span;
}

int32_t ConverterControl::channels() const {
    return m_open ? static_cast<int32_t>(m_found.channelNames.size()) : 0;
}

void ConverterControl::checkChannel(int32_t channel) const {
    if (!m_open)
        throw DeviceError(QStringLiteral("the device is not open"));
    if (channel < 1 || channel > channels())
        throw DeviceError(QStringLiteral("the device has no channel %1").arg(channel));
}

ConverterControl::Reading ConverterControl::checked(int32_t channel, int32_t range) {
    checkChannel(channel);
    if (range < 0 || range >= static_cast<int32_t>(m_ranges.size()))
        throw DeviceError(QStringLiteral("the device has no range %1").arg(range));
    const Reading reading = take(channel);
    const auto [low, high] = m_ranges[static_cast<size_t>(range)];
    // Compared in single precision, as the value is handed on.
    const auto volts = static_cast<float>(reading.volts);
    if (!std::isfinite(volts))
        throw DeviceError(QStringLiteral("channel %1 gave no number (%2); the reading is skipped")
                              .arg(channel)
                              .arg(reading.volts));
    if (volts < low || volts > high)
        throw DeviceError(
            QStringLiteral("channel %1 read %2 V, outside the range %3 V ... %4 V; the reading "
                           "is skipped")
                .arg(channel)
                .arg(reading.volts)
                .arg(low)
                .arg(high));
    return reading;
}

float ConverterControl::readVoltage(int32_t channel, int32_t range) {
    return static_cast<float>(checked(channel, range).volts);
}

int32_t ConverterControl::readRaw(int32_t channel) {
    checkChannel(channel);
    return take(channel).raw;
}

void ConverterControl::setBlockTiming(float intervalSeconds, int32_t& samplesPerChannel) {
    if (!(intervalSeconds > 0.0f))
        throw DeviceError(QStringLiteral("the sample interval must be above 0 s"));
    samplesPerChannel = 1;
    m_blockChannels.clear();
    m_block.clear();
}

void ConverterControl::addBlockChannel(int32_t& channel, int32_t& range) {
    m_blockChannels.emplace_back(channel, range);
}

void ConverterControl::acquireBlock() {
    if (m_blockChannels.empty())
        throw DeviceError(QStringLiteral("the block read was not set up"));
    std::vector<float> block;
    for (const auto& [channel, range] : m_blockChannels)
        block.push_back(readVoltage(channel, range));
    m_block = std::move(block);
}

float ConverterControl::blockSample(int32_t& channel, int32_t& sample) {
    const auto listed =
        std::find_if(m_blockChannels.begin(), m_blockChannels.end(),
                     [channel](const auto& entry) { return entry.first == channel; });
    if (listed == m_blockChannels.end() || sample != 1 || m_block.size() != m_blockChannels.size())
        throw DeviceError(
            QStringLiteral("no sample %1 of channel %2 in the block").arg(sample).arg(channel));
    return m_block[static_cast<size_t>(listed - m_blockChannels.begin())];
}
