#pragma once
// The cycle log of one test: a CSV file `<base>-cycles-<UTC start stamp>.csv`
// with `#` header lines, the column row and one row per logged cycle, plus
// flag rows (reference, failure, stall, restart, gap, set). Numbers are
// written with a point and 9 significant digits whatever the locale, so a
// single reads back exactly. Rows collect in memory and flush() hands them to
// the file in one write() (once per tick) and has them made durable at least
// once per `syncSeconds` of the rows' clock, by a thread of its own so that a
// slow disk never holds up the tick. A file that cannot be created or
// written is said once to the ProblemSink; the rows wait in a bounded buffer
// (the oldest dropped beyond it and counted), writing resumes by itself and a
// gap row marks where. An old file is never truncated or overwritten. The
// last RingCycles cycles are kept, logged or not, for writeBacklog().
#include "platform/BackgroundSync.h"
#include "recording/CycleLogSchedule.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ProblemSink;

// One row; `seconds` counts from the start of the test. Without `values`
// (stall, restart, set, gap) peak to amplitude stay empty.
struct CycleLogRow {
    int32_t cycle = 0;
    double seconds = 0.0;
    float peak = 0.0f;
    float valley = 0.0f;
    float mean = 0.0f;
    float amplitude = 0.0f;
    int64_t samples = 0;
    bool values = true;
};

enum class CycleLogFlag : uint8_t { None, Reference, Failure, Stall, Restart, Gap, Set };
// "", "reference", "failure", "stall", "restart", "gap", "set".
const char* cycleLogFlagName(CycleLogFlag flag);

class CycleLogFile {
public:
    static constexpr std::size_t RingCycles = 10'000;
    static constexpr std::size_t DefaultBufferBytes = 4u << 20;
    static constexpr const char* ColumnRow =
        "cycle,time,seconds,peak,valley,mean,amplitude,samples,flag\n";

    CycleLogFile(ProblemSink& problems, const CycleLogSchedule& schedule,
                 std::size_t bufferBytes = DefaultBufferBytes);
    ~CycleLogFile(); // writes what it can and makes it durable
    CycleLogFile(const CycleLogFile&) = delete;
    CycleLogFile& operator=(const CycleLogFile&) = delete;

    // A new log in `folder`, started at `startUtcMs` (ms since the epoch);
    // `headerLines` (without "# ") are the caller's: version, converter,
    // settings. A name already taken gets the next free second's stamp. When
    // the file cannot be created now it is said once and tried again at
    // every flush(). `base` must be a plain file name.
    void create(const QString& folder, const QString& base, int64_t startUtcMs,
                const QStringList& headerLines);
    // The same at exactly `path` (the offline counter): false with `error`
    // when it exists or cannot be created.
    bool createAt(const QString& path, int64_t startUtcMs, const QStringList& headerLines,
                  QString& error);
    // Continues the log at `path` after a restart: a torn last line left by a
    // crash is cut (and said); the start time comes from its header. False
    // with `error` when it cannot be opened or is no cycle log.
    bool resume(const QString& path, QString& error);

    // A counted cycle: kept in the ring, written when the schedule logs it.
    void cycle(const CycleLogRow& row);
    // A flag row, always written.
    void flagRow(const CycleLogRow& row, CycleLogFlag flag);
    // Writes every cycle of the ring that is not logged yet (after a failure
    // or stall), oldest first.
    void writeBacklog();
    // Once per tick, `seconds` on the rows' clock: one write() of the rows
    // collected; a sync is asked for when the last is syncSeconds or more ago.
    void flush(double seconds);
    // Writes and syncs whatever it can now (the end of a run). False when
    // rows are still waiting.
    bool close();

    CycleLogSchedule& schedule() { return m_schedule; }
    const CycleLogSchedule& schedule() const { return m_schedule; }
    void setSyncSeconds(double seconds) { m_syncSeconds = seconds; }
    // How the file is made durable, on a thread of its own (tests hold it up).
    void setSyncCall(BackgroundSync::SyncCall sync) { m_syncCall = std::move(sync); }
    // Syncs that finished (figures and tests).
    uint64_t syncsFinished() const { return m_syncer ? m_syncer->finished() : 0; }
    const QString& path() const { return m_path; }
    // The start of the test, ms since the epoch (read back by resume()).
    int64_t startUtcMs() const { return m_startUtcMs; }
    int64_t droppedRows() const { return m_droppedRows; }
    std::size_t waitingBytes() const { return m_pending.size(); }

private:
    struct Kept {
        CycleLogRow row;
        bool logged;
    };
    void startHeader(int64_t startUtcMs, const QStringList& headerLines);
    bool openNew();
    void append(const CycleLogRow& row, CycleLogFlag flag);
    void format(std::string& out, const CycleLogRow& row, CycleLogFlag flag);
    void writePending();
    void failed(const QString& what, int error);
    void markGap();
    void dropOldest();

    ProblemSink& m_problems;
    CycleLogSchedule m_schedule;
    std::size_t m_bufferBytes;
    double m_syncSeconds = 1.0;
    QString m_folder;
    QString m_base;
    QString m_path;
    int m_fd = -1;
    BackgroundSync::SyncCall m_syncCall;
    std::unique_ptr<BackgroundSync> m_syncer; // made for m_fd when first needed
    int64_t m_startUtcMs = 0;
    std::string m_pending;
    // m_pending's first m_keep bytes (a header, the rest of a line written in
    // part) must stay; a gap row of m_gapBytes follows them.
    std::size_t m_keep = 0;
    std::size_t m_gapBytes = 0;
    bool m_failing = false;
    bool m_unsynced = false;
    double m_lastSync = 0.0;
    double m_lastSeconds = 0.0;
    int32_t m_lastCycle = 0;
    CycleLogRow m_gap;
    int64_t m_droppedRows = 0;
    std::vector<Kept> m_ring;
    std::size_t m_ringNext = 0;
    // The clock text of the last second written, so most rows skip gmtime.
    int64_t m_stampSecond = -1;
    char m_stamp[24] = {};
};
