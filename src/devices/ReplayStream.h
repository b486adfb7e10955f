#pragma once
// A recorded history played as a converter that samples at its own rate, so
// the program counts it exactly as the offline counter counts the same file.
// Scan i is the i-th sample the offline counter counts (empty and NaN values
// skipped as it skips them), handed out once the program's clock has advanced
// i / (rate * speed) seconds since the first take; its time on the converter's
// clock is i / rate, or with a time column the file's own time (the rate is
// then the column's first step). At the end of the file every take throws, as
// a converter that stopped, unless the stream loops; a take later than the
// buffer (4 s of the program's clock) loses the oldest scans (at most another
// buffer of them; a longer pause holds the replay), said with their number,
// and never invents one.
#include "adc/ScanStream.h"
#include "common/SampleReader.h"

#include <QString>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

class MillisecondClock;

class ReplayStream final : public ScanStream {
public:
    struct Pace {
        double rate = 0.0;           // scans per second; 0: the time column's first step
        double speed = 1.0;          // times faster than real time
        double secondsPerUnit = 1.0; // of the time column
        bool loop = false;
    };
    // Opens the file, or throws DeviceError saying why it cannot.
    using Opener = std::function<std::FILE*()>;

    static constexpr double BufferSeconds = 4.0;

    // `name` names the file in messages; the clock must outlive the stream.
    ReplayStream(const MillisecondClock& clock, Opener open, SampleReader::Options reader,
                 Pace pace, QString name);
    ~ReplayStream() override;
    ReplayStream(const ReplayStream&) = delete;
    ReplayStream& operator=(const ReplayStream&) = delete;

    // Reads the first sample (the start-up reading; with a time column the
    // second too, for the rate). Throws DeviceError when the file cannot be
    // played.
    void start();

    double rate() const override { return m_rate; }
    int32_t channels() const override { return 1; }
    void takeScans(ScanBlock& block, int64_t maxScans) override;
    // The newest scan handed out; the first sample before any.
    float newest() const { return m_newest; }

private:
    struct Sample {
        float value = 0.0f;
        double seconds = 0.0;
    };
    void openRound();
    SampleReader::Status readFile(Sample& sample);
    bool nextSample(Sample& sample);
    int64_t skip(int64_t scans);
    void fail(const QString& why);

    const MillisecondClock& m_clock;
    Opener m_open;
    SampleReader::Options m_readerOptions;
    Pace m_pace;
    QString m_name;
    std::FILE* m_file = nullptr;
    std::unique_ptr<SampleReader> m_reader;
    std::vector<Sample> m_ahead; // read at the start of a round, not yet handed out
    double m_rate = 0.0;
    double m_roundOffset = 0.0; // seconds added to the times of this round of a loop
    double m_roundFirst = 0.0;  // the first time of the file
    double m_roundLast = 0.0;   // the newest time read
    int64_t m_roundSamples = 0; // samples read in this round
    bool m_taken = false;       // the replay's clock runs from the first take
    uint32_t m_lastClock = 0;
    int64_t m_elapsedMs = 0; // the clock while playing, unwrapped
    int64_t m_next = 0;      // the index of the next scan to hand out
    int64_t m_held = 0;      // scans of long pauses, neither played nor lost
    float m_newest = 0.0f;
    QString m_failure; // why takes fail; empty while playing
};
