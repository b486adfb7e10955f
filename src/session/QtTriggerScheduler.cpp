#include "session/QtTriggerScheduler.h"

#include <QTimer>

QtTriggerScheduler::QtTriggerScheduler(QObject* parent) : QObject(parent) {}

QtTriggerScheduler::~QtTriggerScheduler() {
    for (Pending& pending : m_pending)
        delete pending.timer;
}

void QtTriggerScheduler::schedule(int32_t delayMs, std::function<void()> fire) {
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    const auto it = m_pending.insert(m_pending.end(), Pending{timer, std::move(fire)});
    connect(timer, &QTimer::timeout, this, [this, it] { fireOne(it); });
    timer->start(delayMs);
}

void QtTriggerScheduler::fireOne(std::list<Pending>::iterator it) {
    std::function<void()> fire = std::move(it->fire);
    it->timer->deleteLater();
    m_pending.erase(it);
    fire();
}

void QtTriggerScheduler::flush() {
    while (!m_pending.empty()) {
        m_pending.front().timer->stop();
        fireOne(m_pending.begin());
    }
}
