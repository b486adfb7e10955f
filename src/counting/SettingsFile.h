#pragma once
// The counting and trigger settings in the program's settings file (sections
// "HARDWARE", "Cyclomarkator", "Trigger", "Profile"). Loading never fails: a
// missing or damaged key gives the default, and every value is checked so
// that no negative count, NaN or out-of-range choice reaches the state. The
// settings store saves what writeSettings() sets, atomically.
#include "counting/CountingState.h"

#include <QLocale>
#include <QString>
#include <cstdint>

class ProfileFile;

namespace SettingsFile {
// Reads the keys into `state`; `interfaceName` receives "HARDWARE"/"A/D-Converter"
// and `alwaysOnTop` (when given) "Cyclomarkator"/"AlwaysOnTop".
void LoadSettings(const ProfileFile& file, CountingState& state, QString& interfaceName,
                  bool* alwaysOnTop = nullptr);

// Sets every key in `file` (in memory); singles are written with the
// locale's decimal comma or point, flags as -1/0 or 0/1 as the file keeps them.
void writeSettings(ProfileFile& file, const CountingState& state, const QString& interfaceName,
                   bool alwaysOnTop, const QLocale& locale = QLocale::system());

// "HARDWARE"/"A/D-Converter": the interface opened at the next start.
void writeInterface(ProfileFile& file, const QString& interfaceName);

// "HARDWARE"/"Device": the address of the converter of interfaces 23..25.
QString readDevice(const ProfileFile& file);
// Written when there is an address, or a key to change: the settings files of
// rigs without such a converter keep their shape.
void writeDevice(ProfileFile& file, const QString& address);
} // namespace SettingsFile
