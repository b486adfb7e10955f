#pragma once
// Keeps a second copy of the program from running for the same user: an
// exclusive lock on a per-user file in the temporary folder, keyed by the
// executable's base name. The operating system drops the lock when the
// holder ends, crashed or not, so a stale lock is simply taken over.
#include "platform/TempFile.h"

#include <QString>

class SingleInstanceLock {
public:
    // True when this process now holds the lock; false when another copy does
    // (or the lock file cannot be opened safely: see errorText()).
    bool acquire(const QString& folder, const QString& baseName);
    bool isHeld() const { return m_held; }
    QString errorText() const { return m_file.errorText(); }
    // The folder is missing or cannot be written (rather than a file in the
    // lock's place that is not ours).
    bool folderUnusable() const { return m_file.errorNumber() == 76 || m_file.errorNumber() == 70; }
    void release();

    static QString lockFileName(const QString& baseName);

private:
    TempFile m_file;
    bool m_held = false;
};
