#pragma once
// A converter that samples by its own clock (a stream): every channel is
// sampled together at a fixed rate, and each such scan carries its index on
// the converter's clock, so its time is index / rate seconds whatever the PC
// was doing. The counting takes every scan that arrived since the last tick,
// in order; a device without a rate has no stream and keeps the one-sample
// tick. A stream belongs to the device control that opened it and lives as
// long as the device stays open.
#include <cstddef>
#include <cstdint>
#include <vector>

// Scans as they left the converter, in volts, scan-major: the value of
// channel c (from 0) of scan s is values[s * channels + c].
struct ScanBlock {
    int64_t firstIndex = 0;    // the index of the first scan in `values`
    int32_t channels = 0;      // values per scan
    std::vector<float> values; // whole scans only
    // Scans that were lost just before `firstIndex` (a buffer that ran over,
    // ours or the kernel's): they are never invented, only said.
    int64_t lost = 0;
    // The time of each scan in seconds where the converter stamps its scans
    // itself (a replayed history with a time column); empty: index / rate.
    std::vector<double> seconds{}; // {}: a block may be brace-initialised without it

    int64_t scans() const {
        return channels > 0 ? static_cast<int64_t>(values.size()) / channels : 0;
    }
    float value(int64_t scan, int32_t channel) const {
        return values[static_cast<size_t>(scan * channels + channel)];
    }
    void clear() {
        values.clear();
        seconds.clear();
        lost = 0;
    }
};

class ScanStream {
public:
    virtual ~ScanStream() = default;

    // Scans per second on the converter's clock; always above 0.
    virtual double rate() const = 0;
    // The channels of every scan (at most the eight of the exchange record).
    virtual int32_t channels() const = 0;
    // Replaces `block` with every scan that arrived since the last call, at
    // most `maxScans` of them; scans beyond that wait for the next call while
    // the stream's own buffer holds them, and are counted as lost when it
    // overruns. A block without scans is no failure: nothing has arrived yet.
    // Throws std::exception saying why when the stream failed or stopped (a
    // failed read: nothing in the block is a sample).
    virtual void takeScans(ScanBlock& block, int64_t maxScans) = 0;
};
