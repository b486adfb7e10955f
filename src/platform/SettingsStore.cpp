#include "platform/SettingsStore.h"

#include "platform/ProblemSink.h"

#include <QFileInfo>

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

bool SettingsStore::save(const std::function<void(ProfileFile&)>& write) {
    ProfileFile current(m_path);
    // A file that cannot be read now is replaced by everything known of it,
    // never by the caller's keys alone.
    if (!current.load())
        current.loadText(m_known.text());
    write(current);
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
