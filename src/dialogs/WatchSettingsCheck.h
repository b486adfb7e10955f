#pragma once
// The input checks of the watch dialog, free of widgets: they take the texts
// of every box and the check marks, and give either the whole settings and
// commands to apply or one message per refused box, so nothing is applied
// half. The limits are the ones the settings file takes (WatchState.h).
#include "counting/WatchSettingsFile.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <variant>

namespace WatchSettingsCheck {

// The boxes of the watch dialog that hold texts.
enum class Field {
    Settling,
    Reference,
    AmplitudeDrop,
    Band,
    Confirm,
    Stall,
    LogPerDecade,
    LogEveryNth,
    OnFailure,
    OnStall,
    Timeout
};

struct Texts {
    bool armed = false;
    bool amplitudeCheck = false;
    bool peakCheck = false;
    bool valleyCheck = false;
    QString settling;      // S, whole cycles
    QString reference;     // R, whole cycles
    QString amplitudeDrop; // X, %
    QString band;          // Y, %
    QString confirm;       // M, whole cycles
    QString stall;         // T, seconds, 0 for the automatic time
    QString logPerDecade;  // whole cycles per decade
    QString logEveryNth;   // whole cycles, 0 for none
    QString onFailure;     // command lines, kept as they are typed
    QString onStall;
    QString timeout; // whole seconds
};

// A refused box and why, in words for the user.
struct Problem {
    Field field;
    QString message;
    bool operator==(const Problem&) const = default;
};

struct Checked {
    WatchSettings settings;
    WatchCommands commands;
};

// Numbers take a decimal comma or point and nothing after them; whole boxes
// refuse fractions. Commands lose their outer blanks and are refused when
// longer than the settings file keeps or holding a line break or other
// control character. `locale` writes the limits in the messages.
std::variant<Checked, QList<Problem>> check(const Texts& texts, const QLocale& locale = QLocale());

} // namespace WatchSettingsCheck
