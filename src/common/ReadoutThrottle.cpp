#include "common/ReadoutThrottle.h"

ReadoutThrottle::ReadoutThrottle(std::function<void()> show, int intervalMs, Clock clock,
                                 QObject* parent)
    : QObject(parent), m_show(std::move(show)), m_intervalMs(intervalMs),
      m_clock(std::move(clock)) {
    if (!m_clock) {
        m_elapsed.start();
        m_clock = [this] { return m_elapsed.elapsed(); };
    }
    m_lateTimer.setSingleShot(true);
    m_lateTimer.setInterval(2 * intervalMs);
    connect(&m_lateTimer, &QTimer::timeout, this, &ReadoutThrottle::showNow);
}

void ReadoutThrottle::changed() {
    if (!m_shownBefore || m_clock() - m_lastShownMs >= m_intervalMs) {
        showNow();
        return;
    }
    m_waiting = true;
    if (!m_lateTimer.isActive())
        m_lateTimer.start();
}

void ReadoutThrottle::showNow() {
    m_lateTimer.stop();
    m_waiting = false;
    m_shownBefore = true;
    m_lastShownMs = m_clock();
    m_show();
}
