#pragma once
// Reads a cycle log back for its trend picture: the header (test, failure
// criterion), the cycles' peak, valley and amplitude at 16 bytes a row, and
// the flag rows (the reference and a failure carry values). It reads
// incrementally: each read() takes only the bytes appended since the last,
// and a last line without its newline (a row being written) waits for the
// next read. A damaged line is said once, with its number, and skipped.
#include "recording/CycleLogFile.h"

#include <QString>

#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

class ProblemSink;

// One logged cycle, as the picture needs it.
struct TrendRow {
    int32_t cycle;
    float peak;
    float valley;
    float amplitude;
};

// A flag row; `values` when it carries peak, valley and amplitude.
struct CycleLogMark {
    int32_t cycle = 0;
    CycleLogFlag flag = CycleLogFlag::None;
    bool values = false;
    float peak = 0.0f;
    float valley = 0.0f;
    float amplitude = 0.0f;
};

struct CycleLogHeader {
    QString test;             // the test or rig, else the converter line
    QString criterion;        // "amplitude drop 10 %, band 20 %"; empty without a watch
    double dropPercent = 0.0; // 0: not checked
    double bandPercent = 0.0; // 0: not checked
};

class CycleLogReader {
public:
    // At most this many bad lines are said one by one; the rest are counted.
    static constexpr int64_t SaidBadLines = 20;
    // A longer line is no row of a cycle log.
    static constexpr std::size_t LongestLine = 4096;

    CycleLogReader(const QString& path, ProblemSink& problems);

    // Reads what was appended since the last call, at most `mostBytes` of it
    // (a window reads a long log in pieces; behindBytes() tells what is left).
    // False with error() when the file cannot be read or is no cycle log; the
    // rows read stay.
    bool read(int64_t mostBytes = std::numeric_limits<int64_t>::max());

    const CycleLogHeader& header() const { return m_header; }
    const std::vector<TrendRow>& rows() const { return m_rows; }
    const std::vector<CycleLogMark>& marks() const { return m_marks; }
    int64_t badLines() const { return m_badLines; }
    // Bytes of a last line still without its newline.
    int64_t waitingBytes() const { return m_waiting; }
    // Bytes the file held beyond what the last read() took.
    int64_t behindBytes() const { return m_behind; }
    const QString& error() const { return m_error; }
    const QString& path() const { return m_path; }

private:
    void consume(std::string_view chunk);
    void line(std::string_view text);
    void headerLine(std::string_view text);
    bool row(std::string_view text, QString& why);
    void bad(const QString& why);
    void notALog();
    void startOver();

    QString m_path;
    ProblemSink& m_problems;
    int64_t m_offset = 0; // bytes taken, up to the end of the last whole line
    int64_t m_lineNumber = 0;
    int64_t m_waiting = 0;
    int64_t m_behind = 0;
    bool m_firstLineSeen = false;
    bool m_skippingLongLine = false;
    int m_testKey = -1; // which header key named the test (see headerLine)
    std::string m_partial;
    CycleLogHeader m_header;
    std::vector<TrendRow> m_rows;
    std::vector<CycleLogMark> m_marks;
    int64_t m_badLines = 0;
    QString m_error;
};
