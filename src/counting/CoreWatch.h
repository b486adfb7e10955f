#pragma once
// The specimen watch inside the running counter: the cycle recorder and the
// watch fed from both counting paths, the [Watch] keys it loads at start and
// writes with every save of the count, and the texts that tell of its events
// and its state. The counting core gathers a tick's events here, saves, and
// only then shows them (takeEvents()). Times given to it are the run's
// monotonic seconds; the watch keeps seconds since the epoch, anchored once at
// the first time it is given, so a clock set by hand does not make a stall.
#include "counting/CycleRecorder.h"
#include "counting/SpecimenWatch.h"
#include "counting/WatchSettingsFile.h"

#include <QString>
#include <QStringList>
#include <functional>

class CoreView;
class ProfileFile;
class XtRecorderModel;
class ProfileReader;

class CoreWatch {
public:
    // epochSeconds: the wall clock, read once to anchor the run's seconds.
    explicit CoreWatch(std::function<double()> epochSeconds = &CoreWatch::systemEpochSeconds);

    // Reads [Watch]; each refused value adds one message to `problems`.
    void load(const ProfileReader& file, QStringList& problems);
    void write(ProfileFile& file, const QLocale& locale) const;

    // A confirmed extreme, then (when it completed one) the counted cycle.
    void extremum(float value, bool maximum) { m_recorder.extremum(value, maximum); }
    void cycleCompleted(int32_t number, int64_t sampleIndex, double runSeconds);
    // One tick: `answering`, the device gave a sample (runSeconds then counts).
    void tick(double runSeconds, bool answering);
    // The count was set or reset to `count` at sample `sampleIndex`.
    void countSet(int32_t count, int64_t sampleIndex);
    void setSettings(const WatchSettings& settings, const WatchCommands& commands);
    // "Take reference now", taken at the wall clock's time: false when no
    // complete cycle was seen. "Clear failure": false when there is none.
    bool takeReferenceNow();
    bool clearFailure();

    // An event's command (FailureConfirmed or StallBegun) is due: one is set
    // and the event has no mark yet. markCommand() marks it; the caller saves
    // the mark before the command starts. An event without a command is
    // marked at once, so a command set later never tells of an old failure.
    bool commandDue(uint32_t event) const;
    void markCommand(uint32_t event);
    const WatchCommandMarks& marks() const { return m_marks; }

    // What changed since the last call (for the caller to save, then show).
    WatchEvents takeEvents();
    bool pending() const { return m_events.any(); }
    const SpecimenWatch& watch() const { return m_watch; }
    const WatchCommands& commands() const { return m_commands; }
    const CycleRecord& lastCycle() const { return m_recorder.last(); }

    // Shows what takeEvents() gives, once saved: a failure and a stall are
    // problems (red), the end of a stall a recovery (green), each with a title
    // and a mark on the chart; then the one-line state when it changed
    // (`always`: look even when no cycle or event came). Gives the events shown.
    WatchEvents show(CoreView& view, XtRecorderModel& recorder, bool always);

    // What the status line says of each event, empty for none.
    QString eventText(uint32_t event) const;
    // One short line: "off", "armed", "taking reference 37/50", "watching
    // ±2.1 %" (the largest departure of the last cycle, in % of the reference
    // amplitude), "FAILED at N_f 5000", "stalled since 14:03:27".
    QString stateText() const;

    static double systemEpochSeconds();

private:
    double epoch(double runSeconds);
    double departurePercent() const;
    void note(WatchEvents events);

    std::function<double()> m_epochSeconds;
    CycleRecorder m_recorder;
    SpecimenWatch m_watch;
    WatchCommands m_commands;
    WatchCommandMarks m_marks;
    WatchEvents m_events;
    bool m_anchored = false;
    double m_offset = 0;
    int32_t m_forgottenFrom = 0; // the reference a count set forgot, for its message
    int32_t m_forgottenTo = 0;
    int32_t m_forgottenAt = 0;
    QString m_shownText;
    int32_t m_shownCycle = -1;
};
