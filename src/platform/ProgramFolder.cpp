#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

QString ProgramFolderChoice::settingsPath() const {
    return filePath(baseName + QStringLiteral(".INI"));
}

QString ProgramFolderChoice::filePath(const QString& name) const {
    return folder + u'/' + name;
}

bool ProgramFolder::isWritable(const QString& folder) {
    // QTemporaryFile fills in the random part of the name itself.
    QTemporaryFile probe(folder + QStringLiteral("/.write-probe"));
    return probe.open();
}

ProgramFolderChoice ProgramFolder::choose(const QString& requested, const QString& fallback,
                                          const QString& baseName,
                                          const std::function<bool(const QString&)>& isWritable) {
    ProgramFolderChoice choice;
    choice.baseName = baseName;
    choice.folder = QDir::cleanPath(QFileInfo(requested).absoluteFilePath());
    QDir().mkpath(choice.folder);
    if (isWritable(choice.folder))
        return choice;

    const QString fallbackFolder = QDir::cleanPath(QFileInfo(fallback).absoluteFilePath());
    QDir().mkpath(fallbackFolder);
    if (!isWritable(fallbackFolder)) {
        choice.message = QStringLiteral("Neither %1 nor %2 can be written: counts are not saved!")
                             .arg(choice.folder, fallbackFolder);
        return choice;
    }
    // Carry the files over the first time, so that the count reached so far
    // is where the program now looks for it.
    const ProgramFolderChoice original = choice;
    choice.folder = fallbackFolder;
    choice.usedFallback = true;
    for (const QString& path : {original.settingsPath(), original.filePath("Data.dat")}) {
        const QString target = choice.filePath(QFileInfo(path).fileName());
        if (QFileInfo::exists(path) && !QFileInfo::exists(target))
            QFile::copy(path, target);
    }
    choice.message = QStringLiteral("%1 cannot be written; settings are kept in %2")
                         .arg(original.folder, fallbackFolder);
    return choice;
}
