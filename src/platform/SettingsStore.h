#pragma once
// The program's settings file as one store with one policy, shared by every
// part that keeps keys in it (the counter, the main window, the recorder).
// It is read once at start-up; each save reads the file again (so sections
// that others keep in it survive), sets the caller's keys and replaces the
// file atomically. A file that exists but cannot be read is never replaced by
// one with less in it: the store keeps it aside under a second name and
// writes everything it knows, which is at least everything it loaded and
// everything saved since. Every save stamps "General"/"Saved" with the time
// in UTC. A save that fails is reported once per episode to the problem sink;
// the next save tries again.
#include "platform/ProfileFile.h"

#include <QString>
#include <functional>

class ProblemSink;

class SettingsStore {
public:
    enum class Loaded { Read, Missing, Unreadable };

    SettingsStore(QString path, ProblemSink& problems);

    // Reads the file. Unreadable: it exists but cannot be read (permissions,
    // too large, not a regular file); loadError() says why.
    Loaded load();
    QString loadError() const { return m_loadError; }

    // What was loaded, with every key saved since: for the readers at start-up.
    const ProfileFile& file() const { return m_known; }
    const QString& path() const { return m_path; }

    // Sets keys through `write` and saves. False when the file could not be
    // written; lastError() says why.
    bool save(const std::function<void(ProfileFile&)>& write);
    QString lastError() const { return m_lastError; }
    bool failing() const { return m_failing; }

    // The "General"/"Saved" stamp of a settings file (ISO 8601, UTC), or empty.
    static QString savedStamp(const ProfileReader& file);

private:
    void keepUnreadableAside(const QString& reason);

    QString m_path;
    ProblemSink& m_problems;
    ProfileFile m_known;
    QString m_loadError;
    QString m_lastError;
    bool m_failing = false;
};
