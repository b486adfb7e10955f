#pragma once
// Streams samples out of a recorded signal: one value per line, or one column
// of a CSV file. Reads in large blocks, so memory stays flat whatever the file
// size. A line that is not a number stops the reading with its line number and
// what is wrong; blank lines are skipped, and in CSV mode so are the header
// lines before the first number.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class SampleReader {
public:
    struct Options {
        int column = 0;       // 0: the whole line is the value; N >= 1: the N-th field
        char delimiter = ','; // field separator in CSV mode
    };
    enum class Status { Sample, End, Error };

    SampleReader(std::FILE* input, Options options);

    // The next sample in `value`, or End, or Error (see error()).
    Status next(float& value);

    int64_t lineNumber() const { return m_line; }
    int64_t headerLines() const { return m_headerLines; }
    int64_t bytesRead() const { return m_bytesRead; }
    const std::string& error() const { return m_error; }

    // Parses one field: blanks around it are ignored; a decimal comma is taken
    // when commas do not separate fields. Returns false with `why` filled.
    static bool parseValue(const char* begin, const char* end, bool commaIsDecimal, float& value,
                           std::string& why);

private:
    bool readLine(const char*& begin, const char*& end);
    bool checkLength(const char* begin, const char* end);
    bool fieldOf(const char*& begin, const char*& end) const;

    std::FILE* m_input;
    Options m_options;
    std::vector<char> m_buffer;
    size_t m_start = 0;
    size_t m_filled = 0;
    bool m_eof = false;
    int64_t m_line = 0;
    int64_t m_headerLines = 0;
    int64_t m_bytesRead = 0;
    bool m_seenSample = false;
    std::string m_error;
};
