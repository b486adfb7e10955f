#include "platform/ProgramFolder.h"

#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {
const QString DataFile = QStringLiteral("Data.dat");

// The "Saved" stamp of a settings file, or nothing when it has none or
// cannot be read (a file of an older version counts as the oldest).
QString stampOf(const QString& path) {
    ProfileFile file(path);
    return file.load() ? SettingsStore::savedStamp(file) : QString();
}

// Copies `from` over `to` in one atomic replacement.
bool carry(const QString& from, const QString& to) {
    QFile source(from);
    return source.open(QIODevice::ReadOnly) && AtomicFile::write(to, source.readAll());
}
} // namespace

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

QString ProgramFolder::fallbackFor(const QString& requested, const QString& configFolder) {
    const QString absolute = QDir::cleanPath(QFileInfo(requested).absoluteFilePath());
    return QDir::cleanPath(configFolder + QStringLiteral("/fallback/") + absolute);
}

ProgramFolderChoice ProgramFolder::choose(const QString& requested, const QString& configFolder,
                                          const QString& baseName,
                                          const std::function<bool(const QString&)>& isWritable) {
    ProgramFolderChoice choice;
    choice.baseName = baseName;
    choice.requested = QDir::cleanPath(QFileInfo(requested).absoluteFilePath());
    choice.folder = choice.requested;
    QDir().mkpath(choice.folder);
    ProgramFolderChoice other = choice;
    other.folder = fallbackFor(requested, configFolder);
    if (!isWritable(choice.folder)) {
        QDir().mkpath(other.folder);
        if (!isWritable(other.folder)) {
            choice.message =
                QStringLiteral("Neither %1 nor %2 can be written: counts are not saved!")
                    .arg(choice.folder, other.folder);
            return choice;
        }
        std::swap(choice.folder, other.folder);
        choice.usedFallback = true;
        choice.message = QStringLiteral("%1 cannot be written; settings are kept in %2")
                             .arg(other.folder, choice.folder);
    }
    // The other place may hold what an earlier run counted on to; the newer
    // settings win, whichever place they are in.
    const QString ours = choice.settingsPath(), theirs = other.settingsPath();
    if (!QFileInfo::exists(theirs))
        return choice;
    const QString ourStamp = stampOf(ours), theirStamp = stampOf(theirs);
    if (QFileInfo::exists(ours) && !(theirStamp > ourStamp))
        return choice;
    QString aside;
    if (QFileInfo::exists(ours)) {
        aside = ours + QStringLiteral(".older-") +
                QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
        QFile::rename(ours, aside);
    }
    if (!carry(theirs, ours))
        return choice;
    if (QFileInfo::exists(other.filePath(DataFile)))
        carry(other.filePath(DataFile), choice.filePath(DataFile));
    QString told =
        QStringLiteral("The settings saved %1 in %2 are used")
            .arg(theirStamp.isEmpty() ? QStringLiteral("earlier") : theirStamp, other.folder);
    if (!aside.isEmpty())
        told += QStringLiteral(" (the older %1 is kept as %2)").arg(ours, aside);
    choice.message = choice.message.isEmpty() ? told : choice.message + QStringLiteral("; ") + told;
    return choice;
}
