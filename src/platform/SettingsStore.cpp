#include "platform/SettingsStore.h"

#include "platform/ProblemSink.h"

#include "platform/AtomicFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

SettingsStore::SettingsStore(QString path, ProblemSink& problems)
    : m_path(std::move(path)), m_problems(problems), m_known(m_path) {}

SettingsStore::Loaded SettingsStore::load() {
    m_loadError.clear();
    if (m_known.load())
        return Loaded::Read;
    m_known.loadText(QString());
    if (!QFileInfo(m_path).exists() && !QFileInfo(m_path).isSymLink())
        return Loaded::Missing;
    m_loadError = m_known.lastError();
    return Loaded::Unreadable;
}

QString SettingsStore::savedStamp(const ProfileReader& file) {
    return file.rawValue(QStringLiteral("General"), QStringLiteral("Saved")).value_or(QString());
}

// A file that exists but cannot be read now (made unreadable, grown past the
// limit) keeps its content under a second name before it is replaced by
// everything the store knows, never by the caller's keys alone.
void SettingsStore::keepUnreadableAside(const QString& reason) {
    const QString target = AtomicFile::resolveLinks(m_path);
    const QString aside =
        target + QStringLiteral(".unreadable-") +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const bool kept =
        ::link(QFile::encodeName(target).constData(), QFile::encodeName(aside).constData()) == 0;
    m_problems.reportProblem(
        QStringLiteral("The settings file %1 could not be read (%2). It is written again with "
                       "everything the program holds%3.")
            .arg(m_path, reason,
                 kept ? QStringLiteral("; the unreadable one is kept as ") + aside : QString()));
}

bool SettingsStore::save(const std::function<void(ProfileFile&)>& write) {
    ProfileFile current(m_path);
    if (!current.load()) {
        // A folder or a device in its place is refused by the save itself.
        if (QFileInfo(m_path).isFile())
            keepUnreadableAside(current.lastError());
        current.loadText(m_known.text());
    }
    write(current);
    // The newer of two copies (the program folder and the per-user fallback)
    // is told by this stamp, not by file times, which copies do not keep.
    current.writeString(QStringLiteral("General"), QStringLiteral("Saved"),
                        QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    if (current.save()) {
        m_known.loadText(current.text());
        m_failing = false;
        return true;
    }
    m_lastError = current.lastError();
    // What the caller set stays known, so the next save writes it too.
    write(m_known);
    if (!m_failing) {
        m_failing = true;
        m_problems.reportProblem(
            QStringLiteral("The settings file %1 cannot be written (%2). Counting goes on; the "
                           "next save tries again.")
                .arg(m_path, m_lastError));
    }
    return false;
}
