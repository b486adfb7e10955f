#pragma once
// The "Trend" window: the present test's cycle log drawn as its trend picture
// (the picture `cyclomarkator-count --trend` writes) while the test runs. It
// follows the log the counting core names, and starts over when a reset
// starts another file. Only while it is shown, and at most once a second, it
// reads what the log gained and redraws when rows came; a long log is read a
// bounded piece at a time (the next piece a moment later), so opening the
// window never holds up the counting that shares its thread. Closing it by
// the user only hides it and emits hiddenByUser().
#include "platform/ProblemSink.h"
#include "recording/CycleLogReader.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class Form_Trend final : public QWidget {
    Q_OBJECT
public:
    static constexpr int RefreshMs = 1000;
    static constexpr int CatchUpMs = 20;
    static constexpr int64_t BytesPerLook = 2 << 20;
    // The path of the present test's log; empty while there is none.
    using LogPath = std::function<QString()>;

    explicit Form_Trend(LogPath logPath, QWidget* parent = nullptr);
    ~Form_Trend() override;

    // One look at the log, as the window's timer runs it.
    void Timer_Trend_Timer();
    // The line under the picture: the log and its rows, or why there is none.
    const QString& noteText() const { return m_note; }
    // The log being drawn, or null while there is none.
    const CycleLogReader* log() const { return m_reader.get(); }
    int lookIntervalMs() const { return m_timer.interval(); }
    bool looking() const { return m_timer.isActive(); }

Q_SIGNALS:
    void hiddenByUser();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // A damaged line of the log is said under the picture, not on the
    // status line: the counting is not concerned.
    class Notes final : public ProblemSink {
    public:
        void reportProblem(const QString& text) override { last = text; }
        QString last;
    };

    LogPath m_logPath;
    Notes m_notes;
    std::unique_ptr<CycleLogReader> m_reader;
    QTimer m_timer;
    QString m_note;
};
