#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the user-interface
// thread, so that `systemctl stop`, Ctrl+C or a closed terminal run the same
// orderly shutdown as closing the window and no count is lost. The handler
// itself only writes one byte into a pipe, which is all a handler may safely do.
#include <QObject>

class QSocketNotifier;

class UnixSignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit UnixSignalWatcher(QObject* parent = nullptr);
    ~UnixSignalWatcher() override;

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void readSignal();
    QSocketNotifier* m_notifier = nullptr;
};
