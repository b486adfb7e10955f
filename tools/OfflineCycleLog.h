#pragma once
// The cycle log of a recorded history (--cycles FILE.csv): the program's
// cycle recorder fed from the counter's events, with the default schedule,
// and with --watch the watch's reference, failure and stalls as flag rows (a
// failure or stall writes the backlog and then every cycle), so a recorded
// test and a live one give the same file apart from its times. Rows are
// written in blocks and made durable once, at the end.
#include "CountOptions.h"
#include "OfflineCounter.h"
#include "counting/CycleRecorder.h"
#include "platform/ProblemSink.h"
#include "recording/CycleLogFile.h"

class OfflineWatch;

class OfflineCycleLog : public CountObserver, private ProblemSink {
public:
    // `watch` (not owned, null without --watch) must be told each event first.
    OfflineCycleLog(const CountOptions& options, const QString& inputName,
                    const OfflineWatch* watch);

    // Creates the file; false with `error` when it exists or cannot be made.
    bool open(QString& error);
    void extremum(const ExtremumEvent& event) override;
    void trigger(const TriggerEvent&) override {}
    bool wantsPeaks() const override { return false; }
    // Writes the rest; false with `error` when rows could not be written.
    bool finish(QString& error);

private:
    void reportProblem(const QString& text) override { m_problem = text; }
    QStringList headerLines() const;
    void followWatch();

    CountOptions m_options;
    QString m_inputName;
    const OfflineWatch* m_watch;
    CycleRecorder m_recorder;
    CycleLogFile m_log;
    QString m_problem;
    bool m_referenceSeen = false;
    bool m_failureSeen = false;
    std::size_t m_stallsSeen = 0;
};
