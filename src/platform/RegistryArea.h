#pragma once
// The program's registry area: sections and keys exactly as named, values as
// text, stored in an INI file named after the executable (the application
// name). Each rig has its own, below "rigs" in the per-user config folder
// (see rigPath()), so that one rig's range never opens another; the one
// per-user area of earlier versions moves into the first rig that opens.
#include <QString>

class RegistryArea {
public:
    // filePath: the file that holds the area (see rigPath()).
    explicit RegistryArea(QString filePath) : m_path(std::move(filePath)) {}
    // The per-user area of earlier versions: ~/.config/Cyclomarkator/Cyclomarkator.ini.
    static QString defaultPath(const QString& configFolder, const QString& appName);
    // The area of the rig whose program folder is `programFolder`: its
    // absolute path mirrored below "rigs" in the config folder, as the
    // fallback folders are, e.g. ~/.config/Cyclomarkator/rigs/lab/rig1/Cyclomarkator.ini.
    static QString rigPath(const QString& configFolder, const QString& programFolder,
                           const QString& appName);
    // Moves the area at `userPath` to `rigPath` when the rig has none yet.
    // True when it moved; a second rig then finds nothing to take.
    static bool takeOver(const QString& userPath, const QString& rigPath);

    QString value(const QString& section, const QString& key, const QString& defaultValue) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    const QString& path() const { return m_path; }

private:
    QString m_path;
};
