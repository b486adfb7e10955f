#pragma once
// The running program's cycle log: one CycleLogFile per test (per specimen) in
// the program folder, `<base>-cycles-<UTC start stamp>.csv`, fed with the cycle
// records of both counting paths and with what the specimen watch finds. The
// file's name is kept in [CycleLog] File= of the settings file with every save
// of the count, so a restart continues that very file with a "restart" row. A
// count set to 0 (a reset, a new specimen) closes the file and starts a new
// one; any other count set is a "set" row. A failure or a stall writes the
// last 10 000 cycles not logged yet and then every cycle, until the failure is
// cleared or the stall ends. Rows collect during the tick; flush() hands them
// to the file in one write and must come after the tick's save of the count.
// Problems are said once to the ProblemSink; counting never waits for the log.
#include "recording/CycleLogFile.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class AdcFacade;
class CoreWatch;
class ProfileFile;
class ProfileReader;
struct CountingState;
struct CycleRecord;

class CoreCycleLog {
public:
    // Everything given by reference must outlive the log. epochSeconds: the
    // wall clock (seconds since the epoch) of restart, set and flush times;
    // cycle times come from the records.
    CoreCycleLog(const CountingState& state, const AdcFacade& adc, const CoreWatch& watch,
                 ProblemSink& problems, std::function<double()> epochSeconds);
    ~CoreCycleLog();

    // Where the logs go: the settings file's folder, named after its base
    // name, and the present test's file from its [CycleLog] File= key.
    void load(const QString& settingsPath, const ProfileReader& file);
    void write(ProfileFile& file) const;

    // The first call opens the log: the stored file is continued with a
    // "restart" row at the present count; a file that is gone or is no cycle
    // log is said once, and a new one is started.
    void begin();
    // A counted cycle, after the watch has judged it.
    void cycle(const CycleRecord& record);
    // The count was set (and saved): a "set" row, or for 0 a new file; true
    // when the file changed, so the caller saves its name.
    bool countSet(int32_t count);
    // The user cleared the watch's failure: from the next cycle on the
    // schedule applies again (unless a stall lasts).
    void failureCleared();
    // Once per tick, after its save: the watch's news as rows, then one write.
    void flush();

    // The present test's log, empty before there is one.
    const QString& path() const;

private:
    void startNew();
    void followWatch();
    QStringList headerLines() const;
    double secondsOf(double epochSeconds) const;
    void flagNow(int32_t count, CycleLogFlag flag);

    const CountingState& m_state;
    const AdcFacade& m_adc;
    const CoreWatch& m_watch;
    ProblemSink& m_problems;
    std::function<double()> m_epochSeconds;
    QString m_folder;
    QString m_base;
    QString m_storedName;
    std::unique_ptr<CycleLogFile> m_file;
    double m_startEpoch = 0;
    bool m_referenceSeen = false;
    bool m_failureSeen = false;
    bool m_stalledSeen = false;
    double m_stallSince = 0;
    bool m_hasRows = false; // the file holds or awaits a row beyond its header
};
