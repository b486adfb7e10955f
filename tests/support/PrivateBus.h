#pragma once
// A private D-Bus session bus for one test: its own dbus-daemon, never the
// user's bus. With a socket path the bus can be killed and started again at
// the same address, as a desktop's bus comes back after a restart.
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>

#include <csignal>

class PrivateBus {
public:
    // `socketPath` empty: the daemon picks an address of its own.
    explicit PrivateBus(QString socketPath = {}) : m_socketPath(std::move(socketPath)) {}
    ~PrivateBus() { kill(); }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // False (with `error` set) when no daemon could be started.
    bool start() {
        QStringList arguments{"--session", "--nofork", "--print-address"};
        if (!m_socketPath.isEmpty())
            arguments << "--address=unix:path=" + m_socketPath;
        m_daemon.setStandardErrorFile(QProcess::nullDevice());
        m_daemon.start("dbus-daemon", arguments);
        if (!m_daemon.waitForStarted(5000)) {
            error = "dbus-daemon did not start: " + m_daemon.errorString();
            return false;
        }
        QByteArray line;
        const QDeadlineTimer deadline(10000);
        while (!line.contains('\n') && !deadline.hasExpired() &&
               m_daemon.state() == QProcess::Running) {
            m_daemon.waitForReadyRead(100);
            line += m_daemon.readAllStandardOutput();
        }
        m_address = QString::fromUtf8(line).trimmed();
        if (m_address.isEmpty()) {
            error = "dbus-daemon printed no address";
            return false;
        }
        return true;
    }
    QString address() const { return m_address; }
    // SIGSTOP: the daemon hangs as a bus that never answers; SIGCONT: it goes on.
    void signal(int number) { ::kill(static_cast<pid_t>(m_daemon.processId()), number); }
    // Ends the daemon the hard way, as a crashed or restarted bus goes.
    void kill() {
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

    QString error;

private:
    QString m_socketPath;
    QProcess m_daemon;
    QString m_address;
};
