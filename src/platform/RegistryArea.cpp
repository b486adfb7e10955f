#include "platform/RegistryArea.h"

#include <QSettings>

QString RegistryArea::defaultPath(const QString& configFolder, const QString& appName) {
    return configFolder + u'/' + appName + QStringLiteral(".ini");
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
