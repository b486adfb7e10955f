#include "platform/UserFolders.h"

#include <QDir>

namespace {
QString fromEnvironment(const char* name) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString() : QDir::cleanPath(value);
}
} // namespace

QString UserFolders::tempFolder() {
    for (const char* name : {"TMPDIR", "XDG_RUNTIME_DIR"}) {
        const QString folder = fromEnvironment(name);
        if (!folder.isEmpty())
            return folder;
    }
    return QStringLiteral("/tmp");
}

QString UserFolders::configFolder() {
    QString base = fromEnvironment("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    const QString folder = base + QStringLiteral("/Cyclomarkator");
    QDir().mkpath(folder);
    return folder;
}
