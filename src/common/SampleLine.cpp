#include "common/SampleLine.h"

#include "common/PrintableText.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

namespace SampleLine {
namespace {
void trim(const char*& begin, const char*& end) {
    while (begin < end && (*begin == ' ' || *begin == '\t'))
        ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r'))
        --end;
}

std::string quoted(const char* begin, const char* end) {
    return quotedText(std::string_view(begin, static_cast<size_t>(end - begin)));
}

// Field `n` (from 1) of [begin, end), or false when the line has fewer fields.
bool fieldAt(const char*& begin, const char*& end, int n, char delimiter) {
    if (delimiter == Blanks) {
        trim(begin, end);
        for (int field = 1;; ++field) {
            const char* stop = begin;
            while (stop < end && *stop != ' ' && *stop != '\t')
                ++stop;
            if (field == n) {
                end = stop;
                return begin < end;
            }
            begin = stop;
            while (begin < end && (*begin == ' ' || *begin == '\t'))
                ++begin;
            if (begin == end)
                return false;
        }
    }
    for (int field = 1; field < n; ++field) {
        const void* separator = std::memchr(begin, delimiter, size_t(end - begin));
        if (!separator)
            return false;
        begin = static_cast<const char*>(separator) + 1;
    }
    if (const void* separator = std::memchr(begin, delimiter, size_t(end - begin)))
        end = static_cast<const char*>(separator);
    return true;
}

bool isNanText(const char* begin, const char* end) {
    trim(begin, end);
    if (begin < end && *begin == '+')
        ++begin;
    double parsed = 0.0;
    const auto [stop, error] = std::from_chars(begin, end, parsed);
    return error == std::errc() && stop == end && std::isnan(parsed);
}

std::string delimiterName(char delimiter) {
    if (delimiter == Blanks)
        return "blanks";
    if (delimiter == '\t')
        return "tab";
    return std::string("'").append(1, delimiter).append("'");
}

// One field: Sample, Gap (empty or NaN) or Bad, with the reason in `why`.
Kind field(const char* begin, const char* end, bool commaIsDecimal, double& value,
           std::string& why) {
    if (parseNumber(begin, end, commaIsDecimal, value, why))
        return Kind::Sample;
    const char* b = begin;
    const char* e = end;
    trim(b, e);
    return b == e || isNanText(b, e) ? Kind::Gap : Kind::Bad;
}
} // namespace

bool parseNumber(const char* begin, const char* end, bool commaIsDecimal, double& value,
                 std::string& why) {
    trim(begin, end);
    if (begin == end) {
        why = "the value is empty";
        return false;
    }
    char text[MaxNumberLength + 1];
    const size_t length = static_cast<size_t>(end - begin);
    if (length > MaxNumberLength) {
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
    value = parsed;
    return true;
}

std::string describe(const Fields& fields) {
    return "column " + std::to_string(fields.column) + " with delimiter " +
           delimiterName(fields.delimiter);
}

Kind careful(const char* begin, const char* end, const Fields& fields, float& value, double& time,
             std::string& why) {
    const char* lineBegin = begin;
    const char* lineEnd = end;
    trim(lineBegin, lineEnd);
    if (lineBegin == lineEnd)
        return Kind::Blank;
    const bool comma = fields.commaIsDecimal();
    const char* b = begin;
    const char* e = end;
    if (fields.column > 0 && !fieldAt(b, e, fields.column, fields.delimiter)) {
        why = "has no column " + std::to_string(fields.column) + " (delimiter " +
              delimiterName(fields.delimiter) + ")";
        return Kind::Bad;
    }
    double number = 0.0;
    Kind kind = field(b, e, comma, number, why);
    if (kind == Kind::Sample && std::fabs(number) > std::numeric_limits<float>::max()) {
        trim(b, e);
        why = quoted(b, e) + " is out of range";
        return Kind::Bad;
    }
    value = static_cast<float>(number);
    if (kind == Kind::Bad || fields.timeColumn == 0)
        return kind;
    b = begin;
    e = end;
    std::string timeWhy;
    if (!fieldAt(b, e, fields.timeColumn, fields.delimiter)) {
        why = "has no time column " + std::to_string(fields.timeColumn) + " (delimiter " +
              delimiterName(fields.delimiter) + ")";
        return Kind::Bad;
    }
    Kind timeKind = field(b, e, comma, time, timeWhy);
    if (timeKind == Kind::Sample && !(std::fabs(time) <= MaxTime)) {
        trim(b, e);
        timeWhy = quoted(b, e) + " is out of range";
        timeKind = Kind::Bad;
    }
    if (timeKind == Kind::Sample || (kind == Kind::Gap && timeKind == Kind::Gap))
        return kind;
    why = timeWhy == "the value is empty" ? "the time is empty" : "time " + timeWhy;
    return timeKind;
}

} // namespace SampleLine
