#pragma once
// Streams the samples of a recorded history: one value per line, one column of
// a delimited or blank-separated table (with the sample times from another
// column if wanted), or raw little-endian binary samples; plain or
// gzip-compressed. Reads in large blocks and hands samples out in batches, so
// memory stays flat whatever the size. Lines before the first sample are header
// lines; a later line that gives no sample stops the reading with its number
// and the reason, and so does an input that gives no sample at all. With
// `skipGaps`, empty and NaN values after the first sample are gaps: counted,
// never returned as samples.
#include "common/InputStream.h"
#include "common/SampleFormat.h"
#include "common/SampleLine.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class SampleReader {
public:
    using Format = SampleFormat;
    // Delimiters besides plain characters.
    static constexpr char Blanks = SampleLine::Blanks; // runs of spaces and tabs
    static constexpr char Detect = 0; // ';', tab, ',' or blanks: the first that gives a sample

    struct Options {
        Format format = Format::Text;
        int column = 0; // 0: the whole line is the value; N >= 1: the N-th field
        char delimiter = ',';
        int timeColumn = 0; // 0: no times; N >= 1: the field with the time (needs `column`)
        bool skipGaps = false;
        bool requireCompressed = false; // the name says .gz: plain data is an error
        double scale = 1.0;             // binary: value = raw * scale + offset
        double offset = 0.0;
    };
    enum class Status { Sample, End, Error };

    // Samples handed out together; `times` is null without a time column.
    struct Batch {
        const float* values = nullptr;
        const double* times = nullptr;
        size_t size = 0;
    };

    // `input` is not owned and must outlive the reader.
    SampleReader(std::FILE* input, Options options);
    ~SampleReader();

    // The next samples (at least one) with Sample; End or Error (see error())
    // once every sample before it has been handed out.
    Status nextBatch(Batch& batch);

    // One sample at a time; time() is its time when there is a time column.
    Status next(float& value) {
        if (m_taken < m_decoded) {
            m_time = m_times ? m_times[m_taken] : 0.0;
            value = m_values[m_taken++];
            return Status::Sample;
        }
        return nextOne(value);
    }
    double time() const { return m_time; }

    int64_t lineNumber() const { return m_line; }
    int64_t headerLines() const { return m_headerLines; }
    int64_t gaps() const { return m_gaps; }
    // Bytes taken from the file, compressed ones for gzip: for progress.
    int64_t fileBytesRead() const { return m_input.fileBytesRead(); }
    // The delimiter in use: after the first sample, the one detected.
    char delimiter() const { return m_fields.delimiter; }
    const std::string& error() const { return m_error; }

private:
    Status nextOne(float& value);
    Status decode();
    template <SampleLine::Layout L> void decodeLines();
    void detectLines();
    bool refill();
    bool handleCarefully(const char* begin, const char* end);
    bool takeSample(float value, double time);
    void decodeBinary();
    template <typename Raw> void decodeRaw(size_t count);
    void takeOddBinary(double value);
    void refillBinary(size_t sampleSize);
    void fail(std::string message);
    void noSamples();
    void noteHeader(const char* begin, const char* end);

    Options m_options;
    SampleLine::Fields m_fields;
    InputStream m_input;
    std::unique_ptr<char[]> m_buffer;
    size_t m_start = 0;    // first unread byte
    size_t m_complete = 0; // end of the complete lines (or whole samples) in the buffer
    size_t m_filled = 0;
    bool m_eof = false;
    Status m_status = Status::Sample; // what follows the decoded samples
    std::unique_ptr<float[]> m_values;
    std::unique_ptr<double[]> m_times;
    size_t m_decoded = 0;
    size_t m_taken = 0;
    double m_time = 0.0;
    double m_lastTime = 0.0;
    int64_t m_line = 0;
    int64_t m_samples = 0;
    int64_t m_binaryPosition = 0; // samples of a binary file, gaps included
    int64_t m_headerLines = 0;
    int64_t m_gaps = 0;
    std::string m_firstHeader;
    std::string m_lastHeader;
    std::string m_error;
};
