#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the user-interface
// thread, so that `systemctl stop`, Ctrl+C or a closed terminal run the same
// orderly shutdown as closing the window and no count is lost. The handler
// itself only writes one byte into a pipe, which is all a handler may safely do.
// It does not restart an interrupted call, so a call that blocks returns;
// with a grace period, the process also ends on its own (exit code 0) that
// many seconds after the first signal, whatever holds up the orderly end.
#include <QObject>

class QSocketNotifier;

class UnixSignalWatcher : public QObject {
    Q_OBJECT
public:
    // `graceSeconds`: 0 for none (tests that raise a signal in their own process).
    explicit UnixSignalWatcher(QObject* parent = nullptr, unsigned graceSeconds = 0);
    ~UnixSignalWatcher() override;

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void readSignal();
    QSocketNotifier* m_notifier = nullptr;
};
