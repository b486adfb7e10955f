#pragma once
// Keeps one object of the program on the session bus under its well-known
// name: connects, asks for the name without waiting for the answer (queueing
// behind a program that holds it, which hands it over when it lets go),
// notices when the bus goes away and connects again when it is back. A
// connection is made off the user-interface thread (LinkBusConnector), so a
// bus that never answers holds up neither the counting tick nor the end. The
// problems it reports carry the numbers of the "DDE link error:" messages:
// 1 the bus was lost, 3 the name is held by another program or refused,
// 4 the object was refused. Lives on the user-interface thread.
#include <QDBusConnection>
#include <QObject>
#include <QTimer>

class LinkBusConnector;
class QDBusServiceWatcher;
class QDBusVirtualObject;

class LinkBusConnection final : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString serviceName;
        QString busAddress;
        QString objectPath;
        int watchIntervalMs = 1000; // how often a lost connection is looked for
        int reconnectIntervalMs = 2000;
        int connectTimeoutMs = 2000; // how long a bus may take to let us in
    };

    // `object` must outlive this.
    LinkBusConnection(Options options, QDBusVirtualObject& object, QObject* parent = nullptr);
    ~LinkBusConnection() override;

    // Starts connecting; returns at once. When the first attempt fails,
    // unreachable() says why, and the bus is tried again every reconnect
    // interval.
    void start();
    // Takes the object off the bus and releases the name once every message
    // sent before has left, so clients see their answers and then the counter
    // go. Waits at most a second for a connected bus, or the connect time
    // limit for an attempt under way (an attempt that outlasts it is left
    // behind); runs once.
    void shutdown();

    QDBusConnection& connection() { return m_connection; }
    bool isConnected() const { return m_connection.isConnected(); }
    bool ownsName() const { return m_ownsName; }
    // The bus went away and is being waited for.
    bool isLost() const { return m_lost; }
    // Bytes waiting to be sent to the bus: a bus that stops reading lets
    // them pile up.
    qsizetype outgoingBytes() const;
    // A message could not be sent: the connection is looked at from the
    // event loop (not from within the handling of a message on it).
    void checkSoon();

Q_SIGNALS:
    void connected();    // on the bus (again) with the object; the name is asked for
    void disconnected(); // off the bus: lost or shut down
    void problem(int number, const QString& text);
    void notice(const QString& text);
    void unreachable(const QString& reason); // the first attempt failed

private:
    void attempt();
    void attemptDone(bool connected, const QString& reason);
    bool takeConnection();
    void requestName();
    void nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);
    void checkConnection();
    void dropConnection();

    Options m_options;
    QDBusVirtualObject& m_object;
    QString m_connectionName;
    QDBusConnection m_connection{QString()};
    QDBusServiceWatcher* m_nameWatcher = nullptr;
    bool m_ownsName = false;
    bool m_waitingForName = false;
    bool m_lost = false;
    bool m_shutDown = false;
    bool m_firstAttempt = true;
    LinkBusConnector* m_connector = nullptr; // the attempt under way
    QTimer m_watchTimer;
    QTimer m_reconnectTimer;
};
