#pragma once
// The specimen watch in the settings file's [Watch] section: its settings,
// the commands run on its events, and the reference and failure it keeps, so
// that a restart keeps both. Every value that is not what its key takes is
// refused with one clear message and the default is kept; a damaged reference
// or failure is refused whole, never half taken. Keys (numbers take a decimal
// comma or point; flags are 0 or 1, -1 is read as 1):
//   Armed, SettlingCycles (S), ReferenceCycles (R), AmplitudeCheck,
//   AmplitudeDropPercent (X), PeakCheck, ValleyCheck, BandPercent (Y),
//   ConfirmCycles (M), StallSeconds (T, 0 for the default rule),
//   LogPerDecade (1..1000, default 20) and LogEveryNth (0 for none): the
//   cycle log's schedule,
//   ReferencePeak, ReferenceValley, ReferenceAmplitude (volts), ReferenceFrom,
//   ReferenceTo (cycles), ReferenceTaken (seconds since the epoch, UTC),
//   FailedAt (N_f), FailedCriterion (amplitude|peak|valley), FailedValues
//   ("peak; valley; amplitude" of cycle N_f), FailedConfirmedAt (cycle),
//   FailedTime (seconds since the epoch, UTC, when cycle N_f ended),
//   OnFailure, OnStall (commands; values are cut at 255 characters like every
//   value of the file; one CommandSplit refuses is refused, so nothing runs),
//   CommandTimeout (seconds, 1..86400, default 60),
//   FailureCommandRun (the N_f whose failure was told: its command started,
//   or there was none), StallCommandRun (the start of the stall told, seconds
//   since the epoch, UTC). These marks are saved before a command starts, so
//   a restart never runs one twice; a failure saved without its mark is told
//   at the next start.
// An empty ReferenceAmplitude or FailedAt means none.
#include "counting/WatchState.h"

#include <QLocale>
#include <QString>
#include <QStringList>

class ProfileFile;
class ProfileReader;

struct WatchCommands {
    QString onFailure;
    QString onStall;
    int32_t timeoutSeconds = 60;
    static constexpr int32_t MaxTimeoutSeconds = 86400;
    // A value of the settings file keeps this many characters, no more.
    static constexpr qsizetype MaxCommandLength = 255;
    bool operator==(const WatchCommands&) const = default;
};

// Which events were told (see FailureCommandRun, StallCommandRun above).
struct WatchCommandMarks {
    int32_t failureRun = -1; // N_f, or -1 for none
    double stallRun = 0;     // the stall's start, or 0 for none
    bool operator==(const WatchCommandMarks&) const = default;
};

struct WatchFileContents {
    WatchSettings settings;
    WatchReference reference;
    WatchFailure failure;
    WatchCommands commands;
    WatchCommandMarks marks;
};

namespace WatchSettingsFile {
// Reads [Watch]; each refused value adds one message to `problems`.
WatchFileContents load(const ProfileReader& file, QStringList& problems);
// Sets every key of [Watch] in `file` (in memory; the caller saves).
void write(ProfileFile& file, const WatchFileContents& contents,
           const QLocale& locale = QLocale::system());
} // namespace WatchSettingsFile
