#include "platform/RegistryArea.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <cstdio>

QString RegistryArea::defaultPath(const QString& configFolder, const QString& appName) {
    return configFolder + u'/' + appName + QStringLiteral(".ini");
}

QString RegistryArea::rigPath(const QString& configFolder, const QString& programFolder,
                              const QString& appName) {
    const QString absolute = QDir::cleanPath(QFileInfo(programFolder).absoluteFilePath());
    return QDir::cleanPath(configFolder + QStringLiteral("/rigs/") + absolute + u'/' + appName +
                           QStringLiteral(".ini"));
}

bool RegistryArea::takeOver(const QString& userPath, const QString& rigPath) {
    const QFileInfo user(userPath);
    if (!user.isFile() || QFileInfo::exists(rigPath))
        return false;
    QDir().mkpath(QFileInfo(rigPath).absolutePath());
    // One rename: of two rigs that open at once, only one finds the file.
    return std::rename(QFile::encodeName(userPath).constData(),
                       QFile::encodeName(rigPath).constData()) == 0;
}

QString RegistryArea::value(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    const QSettings settings(m_path, QSettings::IniFormat);
    return settings.value(section + u'/' + key, defaultValue).toString();
}

void RegistryArea::setValue(const QString& section, const QString& key, const QString& value) {
    QSettings settings(m_path, QSettings::IniFormat);
    settings.setValue(section + u'/' + key, value);
    settings.sync();
}
