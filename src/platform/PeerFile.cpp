#include "platform/PeerFile.h"

#include "common/ErrorText.h"
#include "platform/MillisecondClock.h"
#include "platform/ProblemSink.h"

PeerFile::PeerFile(QString folder, QString name, ProblemSink& problems,
                   const MillisecondClock& clock)
    : m_folder(std::move(folder)), m_name(std::move(name)), m_problems(problems), m_clock(clock) {}

QString PeerFile::path() const {
    return m_folder.endsWith(u'/') ? m_folder + m_name : m_folder + u'/' + m_name;
}

void PeerFile::fail(const QString& label) {
    m_problems.reportProblem(QStringLiteral("%1: %2 (%3). Counting goes on; the file is opened "
                                            "again by itself when that works.")
                                 .arg(label, ErrorText(m_file.errorNumber()), m_file.errorText()));
    m_file.close();
    m_lost = true;
    m_lastTry = m_clock.timeGetTime();
}

// The clock wraps, so elapsed time is taken in wrapping 32-bit arithmetic.
bool PeerFile::due(int32_t& last, int32_t interval) const {
    const int32_t now = m_clock.timeGetTime();
    const auto elapsed =
        static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(last));
    if (elapsed >= 0 && elapsed < interval)
        return false;
    last = now;
    return true;
}

bool PeerFile::open(const QString& label) {
    m_file.close();
    m_lost = false;
    m_lastCheck = m_clock.timeGetTime();
    if (m_file.open(m_folder, m_name))
        return true;
    fail(label);
    return false;
}

void PeerFile::close() {
    m_file.close();
    m_lost = false;
}

bool PeerFile::writeAt(qint64 offset, const char* data, qint64 size, const QString& label) {
    // A file lost to a failure is tried again when due, quietly: the user
    // hears of it again only once a write succeeds.
    bool reopened = false;
    bool replaced = false;
    if (!m_file.isOpen()) {
        if (!m_lost || !due(m_lastTry, ReopenIntervalMs) || !m_file.open(m_folder, m_name))
            return false;
        reopened = true;
    } else if (due(m_lastCheck, CheckIntervalMs) && !m_file.stillAtItsPath()) {
        // A cleaner of the temporary folder or a peer removed or replaced it:
        // peers look for it at its name.
        if (!m_file.open(m_folder, m_name)) {
            fail(label);
            return false;
        }
        replaced = true;
    }
    if (!m_file.writeAt(offset, data, size)) {
        if (!reopened) {
            fail(label);
        } else {
            m_file.close();
        }
        return false;
    }
    if (reopened) {
        m_lost = false;
        m_problems.reportProblem(QStringLiteral("%1 is written again.").arg(path()));
    } else if (replaced) {
        m_problems.reportProblem(
            QStringLiteral("%1 was removed or replaced by something else; it is written again.")
                .arg(path()));
    }
    return true;
}
