#pragma once
// Paces what changes on screen at every counting tick: the voltage, the activity line, the
// recorder's pen and its scrolling chart. A change is shown at once when the last showing is an
// interval ago; otherwise it waits and goes out with the next change that is due, together with
// everything else waiting, always with the newest values. Each showing costs a repaint; at the
// tick's own 25 a second that was most of what the running program spent, for changes nobody can
// follow that fast. Showing from within the tick needs no wake-up of its own; only when the changes
// stop does a timer show what still waits. The counting never waits for any of it.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

class ReadoutThrottle final : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultIntervalMs = 100;
    using Clock = std::function<int64_t()>; // milliseconds, never going back

    explicit ReadoutThrottle(std::function<void()> show, int intervalMs = DefaultIntervalMs,
                             Clock clock = {}, QObject* parent = nullptr);

    // A readout has a new value.
    void changed();
    bool waiting() const { return m_waiting; }
    // Shows what waits when no due change has come for two intervals; a test
    // fires it instead of waiting.
    QTimer& lateTimer() { return m_lateTimer; }

private:
    void showNow();

    std::function<void()> m_show;
    int m_intervalMs;
    Clock m_clock;
    QElapsedTimer m_elapsed;
    QTimer m_lateTimer;
    bool m_waiting = false;
    bool m_shownBefore = false;
    int64_t m_lastShownMs = 0;
};
