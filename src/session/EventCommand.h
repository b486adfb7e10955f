#pragma once
// One command run on one kind of watch event ("failure", "stall"): started as
// a child process without a shell (CommandSplit's rules), in a process group
// of its own, with stdin closed and the given environment; never waited for.
// Its output is read as it comes, in pieces, keeping only the first line (at
// most FirstLineLength printable characters), so a command printing megabytes
// costs no memory. It is killed, with its whole group, after the time limit.
// Its end (exit status, signal or time limit, and first line) and a start
// that fails are each said once through `tell`; so is an event that comes
// while the command still runs (it is not started again). A command still
// running when this object goes is killed with its group.
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>
#include <functional>

class EventCommand final : public QObject {
    Q_OBJECT
public:
    static constexpr int FirstLineLength = 200;
    // `text`: what to say; `problem`: a failure to start, a non-zero exit, a
    // signal or the time limit, not exit status 0.
    using Tell = std::function<void(const QString& text, bool problem)>;

    EventCommand(QString event, Tell tell, QObject* parent = nullptr);
    ~EventCommand() override;

    // Starts `command` unless one still runs (said once per run). False when
    // nothing was started: still running, or it cannot start (said).
    bool start(const QString& command, const QProcessEnvironment& environment, int timeoutSeconds);
    bool running() const { return m_process != nullptr; }

private:
    void readOutput();
    void finished(int exitCode, QProcess::ExitStatus status);
    void failedToStart();
    void timedOut();
    void killGroup();
    QString firstLine() const;
    QString name() const;

    QString m_event;
    Tell m_tell;
    QProcess* m_process = nullptr;
    QTimer m_timeout;
    QString m_program;
    int m_timeoutSeconds = 0;
    QByteArray m_firstLine;
    bool m_lineComplete = false;
    bool m_timedOut = false;
    bool m_busySaid = false;
};
