#pragma once
// The "iio:" transport: an A/D converter with a Linux Industrial I/O driver
// (an ADS1115 on a Raspberry Pi, say), read through sysfs. The device is
// found by its name ("iio:ads1115") or its node ("iio:iio:device0") below
// /sys/bus/iio/devices, or below the folder that "?root=" names (for tests).
// Its channels are its in_voltageN_raw files in ascending N; a reading is
// (raw + offset) * scale millivolts, with scale and offset per channel or
// shared, read afresh each time. The one range spans what the channels' bit
// widths (scan_elements/in_voltageN_type) and scales allow, else +/-10 V.
// A sysfs read of a slow converter takes as long as one conversion (about
// 8 ms for an ADS1115 at 128 samples/s), so the reads of one tick stay
// within TickBudgetNs: the counted channel is read every tick and the others
// in turn, each answering with its last reading until its turn comes. A node
// that vanishes fails its readings and is looked for again every tick.
// With "?rate=HZ" the device streams through its buffer (IioBuffer) from
// its node, /dev/iio:deviceN or the one "?dev=" names (relative to the root);
// readings outside the counting then come from the newest scan.
#include "devices/ConverterControl.h"
#include "devices/IioBuffer.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class IioControl final : public ConverterControl {
public:
    struct Options {
        QString target; // a device name, or a node "iio:deviceN"
        QString root = QStringLiteral("/sys/bus/iio/devices");
        double rate = 0.0; // scans per second; 0: one reading a tick
        QString device;    // the node to stream from; empty: /dev/ and the node's name
    };
    // The text after "iio:"; throws DeviceError naming the wrong part.
    static Options parse(const QString& text);

    static constexpr int64_t TickBudgetNs = 20'000'000;
    // Monotonic nanoseconds; the time a read takes is measured with it.
    using Stopwatch = std::function<int64_t()>;
    static int64_t steadyNanoseconds();

    explicit IioControl(Options options, Stopwatch stopwatch = &IioControl::steadyNanoseconds);

    void beginTick(int32_t countedChannel) override;
    // Whether the last tick had to read channels in turn.
    bool slow() const { return m_slow; }
    ScanStream* scanStream() override { return m_buffer.get(); }

protected:
    Found connect() override;
    void disconnect() override { m_buffer.reset(); }
    Reading take(int32_t channel) override;

private:
    struct Channel {
        int index = 0;                   // N of in_voltageN_raw
        QString scale, offset;           // the files in force; empty: 1 and 0
        int64_t rawMin = 0, rawMax = -1; // rawMax < rawMin: bit width unknown
        Reading last;
        bool haveLast = false;
        uint64_t tick = 0; // the tick `last` belongs to
    };

    QString findNode() const;
    std::vector<Channel> listChannels(const QString& node) const;
    Reading readChannel(Channel& channel);
    void relocate();
    void startStream();
    void plan();
    QString description() const;

    Options m_options;
    Stopwatch m_now;
    QString m_node; // the device's folder
    QString m_name; // its name file, or the node
    std::vector<Channel> m_channels;
    uint64_t m_tick = 0;
    int64_t m_spent = 0; // ns the reads of this tick took
    int32_t m_counted = 0;
    int64_t m_perRead = 0; // ns, a running mean
    size_t m_turn = 0;     // where the turn of the other channels goes on
    std::vector<bool> m_fresh;
    bool m_slow = false;
    bool m_lost = false;
    uint64_t m_lookedFor = 0; // the tick of the last search for a lost node
    QString m_lostWhy;
    std::unique_ptr<IioBuffer> m_buffer;
    uint64_t m_drainedTick = 0; // the tick whose readings the newest scan answers
};
