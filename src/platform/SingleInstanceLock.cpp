#include "platform/SingleInstanceLock.h"

#include <unistd.h>

QString SingleInstanceLock::lockFileName(const QString& baseName) {
    return QStringLiteral("%1-%2.lock").arg(baseName).arg(::geteuid());
}

bool SingleInstanceLock::acquire(const QString& folder, const QString& baseName) {
    release();
    if (!m_file.open(folder, lockFileName(baseName)))
        return false;
    m_held = m_file.tryLockExclusive();
    if (!m_held)
        m_file.close();
    return m_held;
}

void SingleInstanceLock::release() {
    m_file.close();
    m_held = false;
}
