#pragma once
// The "sim:" transport: an eight-channel box with deterministic signals, so
// that the USB-AD16f, USB-AD and PCI-Base interfaces can be tried without
// hardware and tested through the whole program. Channel k (from 0) carries a
// sine of 0.8 V and period (k + 1) * 2 s of the program's clock; the options
// change channel 0 and inject faults. Readings are clipped to the selected
// range, whose table follows the device string it was opened with. With a
// rate it is a stream: hardware-timed scans of all channels at that rate on
// the program's clock, so a fast test is simulated exactly.
#include "adc/ScanStream.h"
#include "devices/DeviceControl.h"

#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

class MillisecondClock;

class SimulatedBox final : public DeviceControl {
public:
    static constexpr int32_t Channels = 8;

    struct Options {
        double periodMs = 2000.0; // channel 0
        double amplitude = 0.8;
        double offset = 0.0;
        double noise = 0.0;          // peak of the seeded, evenly spread noise
        int64_t failAfter = -1;      // stop answering after this many readings
        int64_t recoverAfter = -1;   // ... and answer again after this many more
        bool failOpen = false;       // the device never opens
        double rate = 0.0;           // scans per second of the stream; 0: no stream
        int32_t channels = Channels; // 1..8
        int64_t scans = -1;          // the stream ends after this many scans; -1: never
    };
    // "period_ms=4000,amplitude=2,fail_after=100" (the text after "sim:");
    // "frequency=300" (Hz) instead of period_ms, "rate=20000" for a stream.
    // Throws DeviceError naming the option that cannot be used.
    static Options parse(const QString& text);

    // The clock must outlive the box.
    SimulatedBox(const MillisecondClock& clock, Options options);

    bool open(const QString& device) override;
    void close() override;
    float readVoltage(int32_t channel, int32_t range) override;
    void setBlockTiming(float intervalSeconds, int32_t& samplesPerChannel) override;
    void addBlockChannel(int32_t& channel, int32_t& range) override;
    void acquireBlock() override;
    float blockSample(int32_t& channel, int32_t& sample) override;
    ScanStream* scanStream() override;
    int32_t channels() const override {
        return m_options.channels == Channels ? 0 : m_options.channels;
    }

    // Readings tried so far (a block acquisition counts as one).
    int64_t readings() const { return m_readings; }
    // The largest block it takes per channel.
    static constexpr int32_t MaxBlockSamples = 4096;

    // Scans the stream holds for a late reader before it runs over: 4 s.
    static constexpr double BufferSeconds = 4.0;

private:
    class Stream final : public ScanStream {
    public:
        explicit Stream(SimulatedBox& box) : m_box(box) {}
        void start();
        double rate() const override { return m_box.m_options.rate; }
        int32_t channels() const override { return m_box.m_options.channels; }
        void takeScans(ScanBlock& block, int64_t maxScans) override;

    private:
        SimulatedBox& m_box;
        uint32_t m_lastClock = 0;
        int64_t m_elapsedMs = 0; // the clock since start(), unwrapped
        int64_t m_next = 0;      // the next scan to deliver
    };

    // Counts one reading and throws while the injected fault lasts.
    void answerOrThrow();
    void checkChannel(int32_t channel) const;
    std::pair<float, float> limits(int32_t range) const;
    float signal(int32_t channel, double timeMs);
    double noise(); // the next value of channel 0's noise

    const MillisecondClock& m_clock;
    Options m_options;
    bool m_open = false;
    std::vector<std::pair<float, float>> m_ranges;
    int64_t m_readings = 0;
    uint32_t m_noiseState = 0x2545F491u;
    float m_interval = 0.0f;
    int32_t m_samples = 0;
    std::vector<std::pair<int32_t, int32_t>> m_blockChannels; // channel, range
    std::vector<float> m_block; // channel-major, m_samples per listed channel
    Stream m_stream{*this};
};
