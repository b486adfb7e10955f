#pragma once
// How one line of a recorded history gives a sample: the whole line as the
// value, or a value (and a time) taken from delimited or blank-separated
// fields. Two paths with the same results: quick() reads the usual line in one
// pass without copies and says "not sure" for everything else; careful() reads
// any line and says why one gives no sample. The reader tries quick() first.
#include "common/DecimalScan.h"

#include <cstdint>
#include <string>

namespace SampleLine {

constexpr size_t MaxLineLength = 1 << 16;
constexpr size_t MaxNumberLength = 63;
// Times beyond this (in whatever unit the file uses) are refused, so that any
// unit converts to 64-bit milliseconds without overflow.
constexpr double MaxTime = 1e15;

// Runs of spaces and tabs separate the fields, as numeric software writes them.
constexpr char Blanks = ' ';

struct Fields {
    int column = 0;     // 0: the whole line is the value; N >= 1: the N-th field
    int timeColumn = 0; // 0: no time; N >= 1: the field holding the time
    char delimiter = ',';
    // A decimal comma is taken unless commas separate the fields.
    bool commaIsDecimal() const { return column == 0 || delimiter != ','; }
};

enum class Kind { Blank, Sample, Gap, Bad };

// Reads [begin, end) (without its line feed). A Gap is an empty or NaN value
// or time; Gap and Bad come with `why` as the reader reports a line that does
// not give a sample.
Kind careful(const char* begin, const char* end, const Fields& fields, float& value, double& time,
             std::string& why);

// Today's rules for one number field: blanks around it are ignored, a leading
// '+' is allowed, the number must be finite. Refusals fill `why`.
bool parseNumber(const char* begin, const char* end, bool commaIsDecimal, double& value,
                 std::string& why);

// "column 2 with delimiter ','", for messages about lines that give no sample.
std::string describe(const Fields& fields);

enum class Layout { Whole, Delimited, BlankSeparated };

namespace detail {
inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// A number field at `p` with blanks around it; returns where the field ends
// (at the delimiter, the line feed or the blank after the number) or nullptr.
// A tab that separates fields is no blank.
template <Layout L>
inline const char* number(const char* p, char delimiter, bool comma, double& value) {
    while (isBlank(*p) && *p != delimiter)
        ++p;
    const char* start = p;
    p = DecimalScan::scan(p, comma, value);
    if (!p || static_cast<size_t>(p - start) > MaxNumberLength)
        return nullptr;
    if (L == Layout::BlankSeparated && isBlank(*p))
        return p;
    while ((isBlank(*p) || *p == '\r') && *p != delimiter)
        ++p;
    if (*p == '\n' || (L == Layout::Delimited && *p == delimiter))
        return p;
    return nullptr;
}

// Skips one field; returns the start of the next or nullptr at the line end.
template <Layout L> inline const char* skipField(const char* p, char delimiter) {
    if (L == Layout::BlankSeparated) {
        while (!isBlank(*p) && *p != '\n' && *p != '\r')
            ++p;
        while (isBlank(*p))
            ++p;
        return *p == '\n' || *p == '\r' ? nullptr : p;
    }
    while (*p != delimiter && *p != '\n')
        ++p;
    return *p == '\n' ? nullptr : p + 1;
}
} // namespace detail

// The usual line at `line`, which must end with a line feed somewhere ahead:
// returns the start of the next line with `value` (and `time`) set, or nullptr
// when the careful path must decide.
template <Layout L>
inline const char* quick(const char* line, const Fields& fields, float& value, double& time) {
    const bool comma = fields.commaIsDecimal();
    // Only a real delimiter may stop a field's blanks; a line feed never does.
    const char delimiter = L == Layout::Delimited ? fields.delimiter : '\n';
    double number = 0.0;
    const char* p = line;
    if (L == Layout::Whole) {
        p = detail::number<L>(p, delimiter, comma, number);
        if (!p || *p != '\n' || static_cast<size_t>(p - line) > MaxLineLength)
            return nullptr;
        value = static_cast<float>(number);
        return p + 1;
    }
    if (L == Layout::BlankSeparated) {
        while (detail::isBlank(*p))
            ++p;
    }
    const int last = fields.column > fields.timeColumn ? fields.column : fields.timeColumn;
    for (int field = 1;; ++field) {
        if (field == fields.column || field == fields.timeColumn) {
            const char* end = detail::number<L>(p, delimiter, comma, number);
            if (!end)
                return nullptr;
            if (field == fields.column)
                value = static_cast<float>(number);
            else if (!(number >= -MaxTime && number <= MaxTime))
                return nullptr;
            else
                time = number;
            if (field == last) {
                p = end;
                break;
            }
        }
        p = detail::skipField<L>(p, delimiter);
        if (!p)
            return nullptr;
    }
    while (*p != '\n')
        ++p;
    if (static_cast<size_t>(p - line) > MaxLineLength)
        return nullptr;
    return p + 1;
}

} // namespace SampleLine
