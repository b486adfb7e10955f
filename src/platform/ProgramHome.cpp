#include "platform/ProgramHome.h"

#include <QDir>
#include <QFileInfo>

bool ProgramHome::isInstalled(const QString& executablePath) {
    const QString folder = QDir::cleanPath(QFileInfo(executablePath).absolutePath());
    const QString name = QFileInfo(folder).fileName();
    return name == u"bin" || name == u"sbin" || folder.startsWith(u"/usr/") ||
           folder.startsWith(u"/opt/") || folder == u"/usr" || folder == u"/opt";
}

QString ProgramHome::dataFolder() {
    // The XDG rules ignore a relative path: it would name a folder below
    // wherever the program happens to be started.
    QString base = QDir::cleanPath(qEnvironmentVariable("XDG_DATA_HOME"));
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QStringLiteral("/cyclomarkator"));
}

QString ProgramHome::defaultFolder(const QString& executablePath) {
    return isInstalled(executablePath) ? dataFolder() : QFileInfo(executablePath).absolutePath();
}
