#pragma once
// The counting and trigger settings in the program's settings file (sections
// "HARDWARE", "Cyclomarkator", "Trigger", "Profile"). Loading never fails: a
// missing or damaged file or key gives the defaults, and every value is
// checked so that no negative count, NaN or out-of-range choice reaches the
// state. Saving keeps every other section and key and replaces the file
// atomically, so a crash leaves the old or the new file, never a torn one.
#include "counting/CountingState.h"

#include <QLocale>
#include <QString>
#include <cstdint>

class ProfileFile;

namespace SettingsFile {
// Reads the keys into `state`; `interfaceName` receives "HARDWARE"/"A/D-Converter"
// and `alwaysOnTop` (when given) "Cyclomarkator"/"AlwaysOnTop".
void LoadSettings(const ProfileFile& file, CountingState& state, QString& interfaceName,
                  int32_t* alwaysOnTop = nullptr);

// Sets every key in `file` (in memory); singles are written with the
// locale's decimal comma or point.
void writeSettings(ProfileFile& file, const CountingState& state, const QString& interfaceName,
                   int32_t alwaysOnTop, const QLocale& locale = QLocale::system());

// Loads the file at `path` as it is now, sets the keys and saves it in one
// atomic replacement. False (with the reason in `error`) when it could not be
// written; the old file is then untouched.
bool SaveSettings(const QString& path, const CountingState& state, const QString& interfaceName,
                  int32_t alwaysOnTop, const QLocale& locale = QLocale::system(),
                  QString* error = nullptr);
} // namespace SettingsFile
