#pragma once
// Where the program keeps its settings file and recorder data: the folder of
// the executable, or the folder named by --config-dir. When that folder cannot
// be written, the per-user config folder is used instead and the reason is
// reported, so a count is never silently lost.
#include <QString>

#include <functional>

struct ProgramFolderChoice {
    QString folder;   // absolute, without a trailing separator
    QString baseName; // the executable's base name ("Cyclomarkator")
    bool usedFallback = false;
    QString message; // why the fallback was used, for the status line

    // Settings file: base name followed by ".INI" in the folder.
    QString settingsPath() const;
    QString filePath(const QString& name) const;
};

class ProgramFolder {
public:
    // requested: the --config-dir argument or the executable's folder;
    // fallback: the per-user config folder. Both are created when missing.
    // isWritable is the check used (replaceable in tests, where root can
    // write everywhere).
    static ProgramFolderChoice
    choose(const QString& requested, const QString& fallback, const QString& baseName,
           const std::function<bool(const QString&)>& isWritable = ProgramFolder::isWritable);
    // True when a file can be created and removed in `folder`.
    static bool isWritable(const QString& folder);
};
