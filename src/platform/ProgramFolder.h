#pragma once
// Where the program keeps its settings file and recorder data: its default
// home (ProgramHome), or the folder named by --config-dir. When that folder cannot
// be written, a fallback folder of this program folder inside the per-user
// config folder is used instead and the reason is reported, so a count is
// never silently lost. When both places hold a settings file (an earlier run
// counted on in the other one), the newer by its "Saved" stamp wins: its
// files are carried into the folder now used, the older settings file is
// kept aside, and the user is told.
#include <QString>

#include <functional>

struct ProgramFolderChoice {
    QString folder;    // absolute, without a trailing separator
    QString baseName;  // the executable's base name ("Cyclomarkator")
    QString requested; // the program folder asked for (the rig's identity)
    bool usedFallback = false;
    QString message; // what the user must know about the choice, for the status line

    // Settings file: base name followed by ".INI" in the folder.
    QString settingsPath() const;
    QString filePath(const QString& name) const;
};

class ProgramFolder {
public:
    // requested: the --config-dir argument or the default home;
    // configFolder: the per-user config folder. Folders are created when
    // missing. isWritable is the check used (replaceable in tests, where root
    // can write everywhere).
    static ProgramFolderChoice
    choose(const QString& requested, const QString& configFolder, const QString& baseName,
           const std::function<bool(const QString&)>& isWritable = ProgramFolder::isWritable);
    // The fallback of one program folder: its absolute path mirrored below
    // "fallback" in the config folder, so that two rigs never share one.
    static QString fallbackFor(const QString& requested, const QString& configFolder);
    // True when a file can be created and removed in `folder`.
    static bool isWritable(const QString& folder);
};
