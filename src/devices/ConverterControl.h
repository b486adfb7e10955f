#pragma once
// What the Industrial I/O, Modbus/TCP and replay transports share: the device
// is found or reached when it opens (its channels, their names, the span of
// its one range and a description for the setup dialog); every reading is
// checked before anyone sees it, so a value that is not finite or lies
// outside the selected range is a failed reading, never a sample; and the
// block read takes one reading per channel. Opened under a LIBADX device
// string ("usbbase:0") the range index is that device's; under any other
// name the device's own single range.
#include "devices/DeviceControl.h"
#include "devices/LibadxRanges.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <utility>
#include <vector>

class ConverterControl : public DeviceControl {
public:
    struct Found {
        QString description; // "ads1115, 4 channels"
        QStringList channelNames;
        std::pair<float, float> span{-10.0f, 10.0f}; // volts
    };

    bool open(const QString& device) final;
    void close() final;
    float readVoltage(int32_t channel, int32_t range) final;
    // The raw count behind the reading of `channel` in this tick; 0 where the
    // transport has no counts. Throws DeviceError as readVoltage() does.
    int32_t readRaw(int32_t channel);
    // The block holds one sample per channel: the count is lowered to 1.
    void setBlockTiming(float intervalSeconds, int32_t& samplesPerChannel) final;
    void addBlockChannel(int32_t& channel, int32_t& range) final;
    void acquireBlock() final;
    float blockSample(int32_t& channel, int32_t& sample) final;
    int32_t channels() const final;

    bool isOpen() const { return m_open; }
    // What the last open() found; why it failed when it did.
    const Found& found() const { return m_found; }
    const QString& openError() const { return m_openError; }
    const LibadxRanges::Table& rangeTable() const { return m_ranges; }

protected:
    struct Reading {
        double volts = 0.0;
        int32_t raw = 0;
    };
    // Finds or reaches the device; throws DeviceError saying why it cannot.
    virtual Found connect() = 0;
    virtual void disconnect() = 0;
    // The reading of `channel` (from 1, one of those found) in this tick;
    // throws DeviceError when the device does not answer.
    virtual Reading take(int32_t channel) = 0;
    // A changed description (a device found to be slow, a file that ended).
    void describe(const QString& description) { m_found.description = description; }
    // A span learnt while the device runs (a replayed file read ahead in
    // steps); the range table follows where it is the device's own.
    void setSpan(std::pair<float, float> span);

private:
    void checkChannel(int32_t channel) const;
    Reading checked(int32_t channel, int32_t range);

    bool m_open = false;
    Found m_found;
    QString m_openError;
    LibadxRanges::Table m_ranges;
    std::vector<std::pair<int32_t, int32_t>> m_blockChannels; // channel, range
    std::vector<float> m_block;
};
