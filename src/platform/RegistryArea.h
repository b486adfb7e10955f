#pragma once
// The program's per-user registry area: sections and keys exactly as named,
// values as text, stored in an INI file in the per-user config folder named
// after the executable (the application name), e.g.
// ~/.config/Cyclomarkator/Cyclomarkator.ini.
#include <QString>

class RegistryArea {
public:
    // filePath: the file that holds the area (see defaultPath()).
    explicit RegistryArea(QString filePath) : m_path(std::move(filePath)) {}
    static QString defaultPath(const QString& configFolder, const QString& appName);

    QString value(const QString& section, const QString& key, const QString& defaultValue) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    const QString& path() const { return m_path; }

private:
    QString m_path;
};
