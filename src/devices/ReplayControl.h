#pragma once
// The "replay:" transport: a recorded signal played one sample per tick, so a
// lab can watch its own load history being counted and a demo needs no
// hardware. The file is read as the offline counter reads it (one value per
// line, or column=N of a table; gzip too; empty and NaN values are gaps and
// skipped), and counted alike: every reading within a tick sees the same
// sample, readings before the first tick see the first sample (the start-up
// reading), and the first tick takes that sample too; only counting ticks
// (with a counted channel) move on. At the end every
// reading fails, as of a device that stopped answering, unless loop=1 starts
// the file again. One channel, whose one range is the smallest of 1, 2 or 5
// times a power of ten volts either side that holds every sample. The file
// must be a regular file (a FIFO would hold the tick until a writer came).
// Opening reads its first OpenScanSteps * scanStepBytes bytes, so that a
// damaged start is refused at once and a file of gigabytes does not hold the
// start for seconds; each tick then reads one step further until the whole
// file is known, widening the range as larger samples are met and telling
// the number of samples (or where the file is damaged) in the description.
// With rate=HZ or time_column=N (and speed=K) the file plays as a stream at
// its own rate instead (ReplayStream); readings then show its newest scan.
#include "common/SampleReader.h"
#include "devices/ConverterControl.h"
#include "devices/ReplayStream.h"

#include <QString>
#include <cstdint>
#include <cstdio>
#include <memory>

class AddressOptions;
class MillisecondClock;

class ReplayControl final : public ConverterControl {
public:
    static constexpr int64_t ScanStepBytes = 1 << 20;
    static constexpr int OpenScanSteps = 4;
    struct Options {
        QString path;
        int column = 0; // 0: the whole line is the value
        bool loop = false;
        double rate = 0.0;     // scans per second of a stream; 0: none, or the time column's
        int timeColumn = 0;    // the field with the times in seconds (a stream)
        double timeUnit = 1.0; // seconds per unit of the time column (time_unit=s|ms)
        double speed = 1.0;    // a stream plays this many times faster than real time
        bool streams() const { return rate > 0.0 || timeColumn > 0; }
        int64_t scanStepBytes = ScanStepBytes; // file bytes read ahead per tick
    };
    // The text after "replay:"; throws DeviceError naming the wrong part.
    static Options parse(const QString& text);

    // The clock paces a stream and must outlive the control.
    ReplayControl(const MillisecondClock& clock, Options options);
    ~ReplayControl() override;
    ReplayControl(const ReplayControl&) = delete;
    ReplayControl& operator=(const ReplayControl&) = delete;

    void beginTick(int32_t countedChannel) override;
    ScanStream* scanStream() override { return m_stream.get(); }
    // The index of the sample now played, from 0.
    int64_t position() const { return m_position; }
    // Whether the whole file has been read ahead.
    bool scanned() const { return !m_scanner; }

protected:
    Found connect() override;
    void disconnect() override;
    Reading take(int32_t channel) override;

private:
    static void parseStream(const AddressOptions& options, Options& parsed);
    Found openStream(Found found);
    SampleReader::Options readerOptions() const;
    std::FILE* openFile() const;
    void scan(int64_t bytes);
    void endScan();
    void cover(double volts);
    QString scanDescription() const;
    void startAgain();
    void advance();
    void stop(const QString& why);

    const MillisecondClock& m_clock;
    Options m_options;
    QString m_name; // the file name without its folder, for messages
    std::FILE* m_file = nullptr;
    std::unique_ptr<SampleReader> m_reader;
    std::FILE* m_scanFile = nullptr;
    std::unique_ptr<SampleReader> m_scanner; // null once the whole file is read ahead
    int64_t m_samples = 0;                   // read ahead so far
    int64_t m_gaps = 0;                      // of the whole file, once read ahead
    double m_peak = 0.0;                     // of those and of every sample played
    QString m_scanError;                     // where the read ahead found damage
    int64_t m_position = 0;
    bool m_started = false;
    float m_current = 0.0f;
    QString m_failure; // why readings fail now; empty while playing
    std::unique_ptr<ReplayStream> m_stream;
};
