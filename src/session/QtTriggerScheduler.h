#pragma once
// Fires delayed triggers from single-shot timers on the user-interface thread,
// so counting goes on while a trigger waits. Triggers still waiting when the
// program closes are fired by flush() before the flag file is closed.
#include "counting/TriggerScheduler.h"

#include <QObject>
#include <functional>
#include <list>

class QTimer;

class QtTriggerScheduler final : public QObject, public TriggerScheduler {
    Q_OBJECT
public:
    explicit QtTriggerScheduler(QObject* parent = nullptr);
    ~QtTriggerScheduler() override;

    void schedule(int32_t delayMs, std::function<void()> fire) override;
    // Fires every waiting trigger now, in the order they fell due.
    void flush();
    int pending() const { return static_cast<int>(m_pending.size()); }

private:
    struct Pending {
        QTimer* timer;
        std::function<void()> fire;
    };
    void fireOne(std::list<Pending>::iterator it);
    std::list<Pending> m_pending;
};
