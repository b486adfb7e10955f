#include "common/SampleReader.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
constexpr size_t BlockSize = 1 << 20;
constexpr size_t MaxLineLength = 1 << 16;

void trim(const char*& begin, const char*& end) {
    while (begin < end && (*begin == ' ' || *begin == '\t'))
        ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r'))
        --end;
}

std::string quoted(const char* begin, const char* end) {
    const size_t length = std::min<size_t>(static_cast<size_t>(end - begin), 40);
    // Built by appending: GCC 12 warns falsely about chained string additions.
    std::string text;
    text.reserve(length + 5);
    text.append(1, '"').append(begin, length);
    text.append(length < size_t(end - begin) ? "...\"" : "\"");
    return text;
}
} // namespace

SampleReader::SampleReader(std::FILE* input, Options options)
    : m_input(input), m_options(options), m_buffer(BlockSize) {}

bool SampleReader::parseValue(const char* begin, const char* end, bool commaIsDecimal, float& value,
                              std::string& why) {
    trim(begin, end);
    if (begin == end) {
        why = "the value is empty";
        return false;
    }
    char text[64];
    const size_t length = static_cast<size_t>(end - begin);
    if (length >= sizeof text) {
        why = quoted(begin, end) + " is not a number";
        return false;
    }
    std::memcpy(text, begin, length);
    const char* first = text;
    if (*first == '+')
        ++first;
    if (commaIsDecimal) {
        if (char* comma = static_cast<char*>(std::memchr(text, ',', length)))
            *comma = '.';
    }
    double parsed = 0.0;
    const auto [stop, error] = std::from_chars(first, text + length, parsed);
    const bool whole = stop == text + length;
    if (error == std::errc::result_out_of_range && whole) {
        why = quoted(begin, end) + " is out of range";
        return false;
    }
    if (error != std::errc() || !whole || !std::isfinite(parsed)) {
        why = quoted(begin, end) + " is not a number";
        return false;
    }
    if (std::fabs(parsed) > std::numeric_limits<float>::max()) {
        why = quoted(begin, end) + " is out of range";
        return false;
    }
    value = static_cast<float>(parsed);
    return true;
}

bool SampleReader::readLine(const char*& begin, const char*& end) {
    for (;;) {
        const char* data = m_buffer.data();
        const void* newline = std::memchr(data + m_start, '\n', m_filled - m_start);
        if (newline) {
            const char* stop = static_cast<const char*>(newline);
            begin = data + m_start;
            end = stop;
            m_start = static_cast<size_t>(stop - data) + 1;
            ++m_line;
            return checkLength(begin, end);
        }
        if (m_eof) {
            if (m_start == m_filled)
                return false;
            begin = data + m_start;
            end = data + m_filled;
            m_start = m_filled;
            ++m_line;
            return checkLength(begin, end);
        }
        // Keep the unfinished line and fill the rest of the buffer.
        const size_t kept = m_filled - m_start;
        if (kept > MaxLineLength) {
            ++m_line;
            return checkLength(data, data + kept);
        }
        std::memmove(m_buffer.data(), data + m_start, kept);
        m_start = 0;
        m_filled = kept;
        const size_t got = std::fread(m_buffer.data() + kept, 1, m_buffer.size() - kept, m_input);
        m_bytesRead += static_cast<int64_t>(got);
        m_filled += got;
        if (got == 0) {
            if (std::ferror(m_input)) {
                m_error =
                    "read error after line " + std::to_string(m_line) + ": " + std::strerror(errno);
                return false;
            }
            m_eof = true;
        }
    }
}

bool SampleReader::checkLength(const char* begin, const char* end) {
    if (static_cast<size_t>(end - begin) <= MaxLineLength)
        return true;
    m_error = "line " + std::to_string(m_line) + ": longer than " + std::to_string(MaxLineLength) +
              " characters";
    return false;
}

bool SampleReader::fieldOf(const char*& begin, const char*& end) const {
    for (int field = 1; field < m_options.column; ++field) {
        const void* separator = std::memchr(begin, m_options.delimiter, size_t(end - begin));
        if (!separator)
            return false;
        begin = static_cast<const char*>(separator) + 1;
    }
    if (const void* separator = std::memchr(begin, m_options.delimiter, size_t(end - begin)))
        end = static_cast<const char*>(separator);
    return true;
}

SampleReader::Status SampleReader::next(float& value) {
    const bool csv = m_options.column > 0;
    const char* begin = nullptr;
    const char* end = nullptr;
    while (readLine(begin, end)) {
        const char* lineBegin = begin;
        const char* lineEnd = end;
        trim(lineBegin, lineEnd);
        if (lineBegin == lineEnd)
            continue;
        std::string why;
        if (csv && !fieldOf(begin, end)) {
            why = "has no column " + std::to_string(m_options.column);
        } else if (parseValue(begin, end, !csv || m_options.delimiter != ',', value, why)) {
            m_seenSample = true;
            return Status::Sample;
        }
        if (csv && !m_seenSample) {
            ++m_headerLines;
            continue;
        }
        m_error = "line " + std::to_string(m_line) + ": " + why;
        return Status::Error;
    }
    return m_error.empty() ? Status::End : Status::Error;
}
