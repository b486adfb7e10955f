#include "common/SampleReader.h"

#include "common/PrintableText.h"

#include <cmath>
#include <cstring>
#include <limits>

using SampleLine::Kind;
using SampleLine::Layout;

namespace {
constexpr size_t BlockSize = 1 << 20;
constexpr size_t BatchSize = 4096;
constexpr size_t HeaderTextLimit = 60;
// Tried in this order: a ';' or a tab separates fields wherever it appears,
// while a comma may be a decimal comma and blanks may merely pad.
constexpr char Candidates[] = {';', '\t', ',', SampleLine::Blanks};

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}
} // namespace

SampleReader::SampleReader(std::FILE* input, Options options)
    // One spare byte for a line feed after a last line without one.
    : m_options(options), m_input(input), m_buffer(new char[BlockSize + 1]),
      m_values(new float[BatchSize]) {
    m_fields.column = options.column;
    m_fields.timeColumn = options.column > 0 ? options.timeColumn : 0;
    m_fields.delimiter = options.delimiter;
    if (m_fields.timeColumn > 0)
        m_times.reset(new double[BatchSize]);
    if (options.requireCompressed)
        m_input.requireCompressed();
}

SampleReader::~SampleReader() = default;

SampleReader::Status SampleReader::nextBatch(Batch& batch) {
    if (m_taken == m_decoded && m_status == Status::Sample)
        decode();
    if (m_taken == m_decoded)
        return m_status;
    batch.values = m_values.get() + m_taken;
    batch.times = m_times ? m_times.get() + m_taken : nullptr;
    batch.size = m_decoded - m_taken;
    m_taken = m_decoded;
    m_time = m_times ? m_times[m_decoded - 1] : 0.0;
    return Status::Sample;
}

SampleReader::Status SampleReader::nextOne(float& value) {
    if (m_status == Status::Sample)
        decode();
    return m_taken < m_decoded ? next(value) : m_status;
}

SampleReader::Status SampleReader::decode() {
    m_decoded = 0;
    m_taken = 0;
    while (m_decoded == 0 && m_status == Status::Sample) {
        if (m_options.format != Format::Text)
            decodeBinary();
        else if (m_fields.column == 0)
            decodeLines<Layout::Whole>();
        else if (m_fields.delimiter == Detect)
            detectLines();
        else if (m_fields.delimiter == Blanks)
            decodeLines<Layout::BlankSeparated>();
        else
            decodeLines<Layout::Delimited>();
    }
    return m_status;
}

void SampleReader::fail(std::string message) {
    m_error = std::move(message);
    m_status = Status::Error;
}

inline bool SampleReader::takeSample(float value, double time) {
    if (m_times) {
        if (m_samples > 0 && time < m_lastTime) {
            fail("line " + std::to_string(m_line) + ": time " + number(time) +
                 " is before the time of the sample before it (" + number(m_lastTime) + ")");
            return false;
        }
        m_lastTime = time;
        m_times[m_decoded] = time;
    }
    m_values[m_decoded++] = value;
    ++m_samples;
    return true;
}

// Runs of lines that quick() reads are taken with the state in registers;
// the rest goes through handleCarefully(), which reads any line as the rules say.
template <Layout L> void SampleReader::decodeLines() {
    const char* buffer = m_buffer.get();
    const SampleLine::Fields fields = m_fields;
    while (m_decoded < BatchSize && m_status == Status::Sample) {
        if (m_start == m_complete) {
            if (!refill())
                return;
            continue;
        }
        const char* p = buffer + m_start;
        const char* const complete = buffer + m_complete;
        if (!m_times) {
            float* values = m_values.get() + m_decoded;
            const size_t room = BatchSize - m_decoded;
            size_t taken = 0;
            double unused = 0.0;
            while (taken < room && p < complete) {
                const char* next = SampleLine::quick<L>(p, fields, values[taken], unused);
                if (!next)
                    break;
                p = next;
                ++taken;
            }
            m_line += static_cast<int64_t>(taken);
            m_samples += static_cast<int64_t>(taken);
            m_decoded += taken;
        } else {
            float value = 0.0f;
            double time = 0.0;
            while (m_decoded < BatchSize && p < complete && m_status == Status::Sample) {
                const char* next = SampleLine::quick<L>(p, fields, value, time);
                if (!next)
                    break;
                p = next;
                ++m_line;
                takeSample(value, time);
            }
        }
        m_start = static_cast<size_t>(p - buffer);
        if (m_decoded == BatchSize || p == complete || m_status != Status::Sample)
            continue;
        const auto* end = static_cast<const char*>(std::memchr(p, '\n', size_t(complete - p)));
        ++m_line;
        m_start = static_cast<size_t>(end - buffer) + 1;
        handleCarefully(p, end);
    }
}

bool SampleReader::handleCarefully(const char* begin, const char* end) {
    if (static_cast<size_t>(end - begin) > SampleLine::MaxLineLength) {
        fail("line " + std::to_string(m_line) + ": longer than " +
             std::to_string(SampleLine::MaxLineLength) + " characters");
        return false;
    }
    float value = 0.0f;
    double time = 0.0;
    std::string why;
    switch (SampleLine::careful(begin, end, m_fields, value, time, why)) {
    case Kind::Blank:
        return true;
    case Kind::Sample:
        return takeSample(value, time);
    case Kind::Gap:
        if (m_options.skipGaps) {
            ++m_gaps;
            return true;
        }
        [[fallthrough]];
    case Kind::Bad:
        break;
    }
    if (m_fields.column > 0 && m_samples == 0) {
        noteHeader(begin, end);
        return true;
    }
    fail("line " + std::to_string(m_line) + ": " + why);
    return false;
}

// Until a line gives a sample, every delimiter is tried on every line; the
// first line that gives one decides, and the lines before it are header lines.
void SampleReader::detectLines() {
    const char* buffer = m_buffer.get();
    while (m_decoded == 0 && m_status == Status::Sample) {
        if (m_start == m_complete) {
            if (!refill())
                return;
            continue;
        }
        const char* line = buffer + m_start;
        const auto* end = static_cast<const char*>(std::memchr(line, '\n', m_complete - m_start));
        ++m_line;
        m_start = static_cast<size_t>(end - buffer) + 1;
        if (static_cast<size_t>(end - line) > SampleLine::MaxLineLength) {
            handleCarefully(line, end);
            return;
        }
        SampleLine::Fields fields = m_fields;
        float value = 0.0f;
        double time = 0.0;
        std::string why;
        Kind kind = Kind::Bad;
        for (const char candidate : Candidates) {
            fields.delimiter = candidate;
            kind = SampleLine::careful(line, end, fields, value, time, why);
            if (kind == Kind::Sample) {
                m_fields.delimiter = candidate;
                takeSample(value, time);
                return;
            }
        }
        if (kind != Kind::Blank)
            noteHeader(line, end);
    }
}

void SampleReader::noteHeader(const char* begin, const char* end) {
    const size_t length = std::min<size_t>(static_cast<size_t>(end - begin), HeaderTextLimit + 1);
    if (m_headerLines++ == 0)
        m_firstHeader.assign(begin, length);
    m_lastHeader.assign(begin, length);
}

// Keeps the unfinished line, reads the next block and finds where its last
// complete line ends. False at the end of the input or on an error.
bool SampleReader::refill() {
    char* buffer = m_buffer.get();
    for (;;) {
        if (m_eof) {
            if (m_samples == 0)
                noSamples();
            else
                m_status = Status::End;
            return false;
        }
        const size_t kept = m_filled - m_start;
        if (kept > SampleLine::MaxLineLength) {
            ++m_line;
            fail("line " + std::to_string(m_line) + ": longer than " +
                 std::to_string(SampleLine::MaxLineLength) + " characters");
            return false;
        }
        std::memmove(buffer, buffer + m_start, kept);
        m_start = 0;
        m_filled = kept;
        m_complete = 0;
        const size_t got = m_input.read(buffer + kept, BlockSize - kept);
        if (got == 0) {
            if (m_input.failed()) {
                fail("after line " + std::to_string(m_line) + ": " + m_input.error());
                return false;
            }
            m_eof = true;
            if (kept == 0)
                continue;
            // The last line may lack its line feed; the spare byte takes one.
            buffer[m_filled++] = '\n';
            m_complete = m_filled;
            return true;
        }
        m_filled += got;
        if (const void* last = ::memrchr(buffer + kept, '\n', got)) {
            m_complete = static_cast<size_t>(static_cast<const char*>(last) - buffer) + 1;
            return true;
        }
    }
}

void SampleReader::noSamples() {
    if (m_options.format != Format::Text || m_line == 0) {
        fail(m_gaps > 0 ? "no samples: all " + std::to_string(m_gaps) + " values are gaps"
                        : std::string("no samples: the input is empty"));
        return;
    }
    if (m_fields.column == 0 || m_headerLines == 0) {
        fail("no samples: all " + std::to_string(m_line) + " lines are blank" +
             (m_gaps > 0 ? " or gaps" : ""));
        return;
    }
    std::string message = "no line gives a sample from ";
    if (m_fields.delimiter == Detect)
        message += "column " + std::to_string(m_fields.column) +
                   " with ';', tab, ',' or blanks as delimiter";
    else
        message += SampleLine::describe(m_fields);
    if (m_fields.timeColumn > 0)
        message += " and time column " + std::to_string(m_fields.timeColumn);
    message += "; " + std::to_string(m_headerLines) + " lines read like " +
               quotedText(m_firstHeader, HeaderTextLimit);
    if (m_headerLines > 1 && m_lastHeader != m_firstHeader)
        message += " ... " + quotedText(m_lastHeader, HeaderTextLimit);
    fail(message);
}

// Decodes whole samples of the buffer; a sample that is no finite single
// (NaN, infinite, beyond the float range after scaling) takes the slow way.
template <typename Raw> void SampleReader::decodeRaw(size_t count) {
    const char* p = m_buffer.get() + m_start;
    const bool plain = m_options.scale == 1.0 && m_options.offset == 0.0;
    float* out = m_values.get();
    for (size_t i = 0; i < count && m_status == Status::Sample; ++i, p += sizeof(Raw)) {
        const Raw raw = loadLittleEndian<Raw>(p);
        const double value = plain ? static_cast<double>(raw)
                                   : static_cast<double>(raw) * m_options.scale + m_options.offset;
        if (value >= -std::numeric_limits<float>::max() &&
            value <= std::numeric_limits<float>::max()) {
            out[m_decoded++] = static_cast<float>(value);
            ++m_samples;
        } else {
            takeOddBinary(value);
        }
        ++m_binaryPosition;
        m_start += sizeof(Raw);
    }
}

void SampleReader::takeOddBinary(double value) {
    const std::string where =
        "sample " + std::to_string(m_binaryPosition) + " (byte " +
        std::to_string(m_binaryPosition * int64_t(sampleSize(m_options.format))) + ")";
    if (std::isnan(value)) {
        if (m_options.skipGaps)
            ++m_gaps;
        else
            fail(where + " is NaN (--gaps skip takes it as a gap)");
    } else if (std::isinf(value)) {
        fail(where + " is infinite");
    } else {
        fail(where + " is out of range: " + number(value));
    }
}

void SampleReader::decodeBinary() {
    const size_t size = sampleSize(m_options.format);
    while (m_decoded < BatchSize && m_status == Status::Sample) {
        const size_t whole = (m_filled - m_start) / size;
        if (whole == 0) {
            refillBinary(size);
            continue;
        }
        const size_t count = std::min(whole, BatchSize - m_decoded);
        switch (m_options.format) {
        case Format::F32LE:
            decodeRaw<float>(count);
            break;
        case Format::F64LE:
            decodeRaw<double>(count);
            break;
        case Format::I16LE:
            decodeRaw<int16_t>(count);
            break;
        case Format::I32LE:
            decodeRaw<int32_t>(count);
            break;
        case Format::Text:
            return;
        }
    }
}

void SampleReader::refillBinary(size_t size) {
    char* buffer = m_buffer.get();
    const size_t kept = m_filled - m_start;
    std::memmove(buffer, buffer + m_start, kept);
    m_start = 0;
    m_filled = kept;
    const size_t got = m_eof ? 0 : m_input.read(buffer + kept, BlockSize - kept);
    m_filled += got;
    if (got > 0)
        return;
    m_eof = true;
    const std::string where = "sample " + std::to_string(m_binaryPosition) + " (byte " +
                              std::to_string(m_binaryPosition * int64_t(size)) + ")";
    if (m_input.failed())
        fail(where + ": " + m_input.error());
    else if (kept > 0)
        fail(where + " is cut off after " + std::to_string(kept) + " of its " +
             std::to_string(size) + " bytes: the " + formatName(m_options.format) +
             " input is truncated");
    else if (m_samples == 0)
        noSamples();
    else
        m_status = Status::End;
}
