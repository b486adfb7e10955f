#include "session/LinkBusConnection.h"

#include "session/LinkBusConnector.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <atomic>
#include <dbus/dbus.h>
#include <utility>

namespace {
const QString DBusService = QStringLiteral("org.freedesktop.DBus");
const QString DBusPath = QStringLiteral("/org/freedesktop/DBus");
constexpr int NameRequestTimeoutMs = 5000;
constexpr int ReleaseTimeoutMs = 1000;
// RequestName answers.
constexpr uint PrimaryOwner = 1;
constexpr uint InQueue = 2;
constexpr uint AlreadyOwner = 4;

QDBusMessage busCall(const QString& member) {
    return QDBusMessage::createMethodCall(DBusService, DBusPath, DBusService, member);
}
} // namespace

LinkBusConnection::LinkBusConnection(Options options, QDBusVirtualObject& object, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_object(object) {
    // A connection of our own, so that a lost one can be dropped and made
    // anew without touching anyone else's.
    static std::atomic<int> serial{0};
    m_connectionName = QStringLiteral("cyclomarkator-link-%1").arg(++serial);
    m_watchTimer.setInterval(m_options.watchIntervalMs);
    connect(&m_watchTimer, &QTimer::timeout, this, &LinkBusConnection::checkConnection);
    m_reconnectTimer.setInterval(m_options.reconnectIntervalMs);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &LinkBusConnection::attempt);
}

LinkBusConnection::~LinkBusConnection() {
    shutdown();
}

void LinkBusConnection::start() {
    if (m_shutDown || m_connector || m_watchTimer.isActive())
        return;
    m_firstAttempt = true;
    attempt();
}

void LinkBusConnection::attempt() {
    if (m_shutDown || m_connector)
        return;
    m_connector =
        new LinkBusConnector(m_options.busAddress, m_connectionName, m_options.connectTimeoutMs);
    connect(m_connector, &LinkBusConnector::attemptDone, this, &LinkBusConnection::attemptDone);
    connect(m_connector, &QThread::finished, m_connector, &QObject::deleteLater);
    m_connector->start();
}

void LinkBusConnection::attemptDone(bool connected, const QString& reason) {
    m_connector = nullptr; // it deletes itself once its thread has ended
    if (m_shutDown)
        return;
    const bool first = std::exchange(m_firstAttempt, false);
    if (connected && takeConnection()) {
        m_reconnectTimer.stop();
        return;
    }
    if (!connected && first)
        Q_EMIT unreachable(reason);
    if (!m_reconnectTimer.isActive())
        m_reconnectTimer.start();
}

// The connector has left a connection on the bus under our name.
bool LinkBusConnection::takeConnection() {
    m_connection = QDBusConnection(m_connectionName);
    if (!m_connection.isConnected()) {
        m_connection = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(m_connectionName);
        return false;
    }
    if (!m_connection.registerVirtualObject(m_options.objectPath, &m_object)) {
        dropConnection();
        Q_EMIT problem(
            4,
            QStringLiteral("the object %1 could not be put on the bus").arg(m_options.objectPath));
        return false;
    }
    const bool cameBack = m_lost || m_reconnectTimer.isActive();
    m_lost = false;
    m_watchTimer.start();
    requestName();
    Q_EMIT connected();
    if (cameBack)
        Q_EMIT notice(
            QStringLiteral("DDE link on the session bus again (%1).").arg(m_options.serviceName));
    return true;
}

qsizetype LinkBusConnection::outgoingBytes() const {
    auto* connection = static_cast<DBusConnection*>(m_connection.internalPointer());
    return connection ? dbus_connection_get_outgoing_size(connection) : 0;
}

// While another program holds the name we queue for it: the bus hands it
// over as soon as that program lets it go.
void LinkBusConnection::requestName() {
    m_ownsName = false;
    m_waitingForName = false;
    delete m_nameWatcher;
    m_nameWatcher = new QDBusServiceWatcher(m_options.serviceName, m_connection,
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_nameWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &LinkBusConnection::nameOwnerChanged);
    auto* pending =
        new QDBusPendingCallWatcher(m_connection.asyncCall(busCall(QStringLiteral("RequestName"))
                                                               << m_options.serviceName << 0u,
                                                           NameRequestTimeoutMs),
                                    this);
    const QString askedAs = m_connection.baseService();
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, askedAs](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                // An answer for a connection lost since then is news from the past.
                if (!m_connection.isConnected() || askedAs != m_connection.baseService())
                    return;
                const QDBusPendingReply<uint> reply = *call;
                const uint answer = reply.isValid() ? reply.value() : 0;
                if (answer == PrimaryOwner || answer == AlreadyOwner) {
                    m_ownsName = true;
                } else if (answer == InQueue) {
                    m_waitingForName = true;
                    Q_EMIT problem(3, QStringLiteral("another program holds the bus name %1; "
                                                     "the link takes it over when that program "
                                                     "lets it go")
                                          .arg(m_options.serviceName));
                } else {
                    Q_EMIT problem(3, QStringLiteral("the bus name %1 was refused (%2)")
                                          .arg(m_options.serviceName, reply.error().message()));
                }
            });
}

void LinkBusConnection::nameOwnerChanged(const QString&, const QString&, const QString& newOwner) {
    if (m_ownsName || newOwner.isEmpty() || newOwner != m_connection.baseService())
        return;
    m_ownsName = true;
    if (m_waitingForName)
        Q_EMIT notice(
            QStringLiteral("DDE link: the bus name %1 is ours now.").arg(m_options.serviceName));
}

void LinkBusConnection::checkSoon() {
    QTimer::singleShot(0, this, &LinkBusConnection::checkConnection);
}

void LinkBusConnection::checkConnection() {
    if (m_lost || m_shutDown || !m_watchTimer.isActive() || m_connection.isConnected())
        return;
    m_lost = true;
    dropConnection();
    Q_EMIT problem(1, QStringLiteral("the connection to the session bus was lost; counting goes "
                                     "on and the link comes back with the bus"));
    m_reconnectTimer.start();
}

void LinkBusConnection::dropConnection() {
    const bool wasOn = m_watchTimer.isActive();
    m_watchTimer.stop();
    m_ownsName = false;
    delete m_nameWatcher;
    m_nameWatcher = nullptr;
    if (m_connection.isConnected())
        m_connection.unregisterObject(m_options.objectPath);
    m_connection = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(m_connectionName);
    if (wasOn)
        Q_EMIT disconnected();
}

void LinkBusConnection::shutdown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_reconnectTimer.stop();
    if (m_connector) {
        // An attempt still waiting for a bus that does not answer is left to
        // run out; the connection it may leave is only taken down once it has.
        LinkBusConnector* connector = std::exchange(m_connector, nullptr);
        disconnect(connector, &LinkBusConnector::attemptDone, this, nullptr);
        if (connector->wait(QDeadlineTimer(m_options.connectTimeoutMs + ReleaseTimeoutMs)))
            QDBusConnection::disconnectFromBus(m_connectionName);
        return;
    }
    if (m_connection.isConnected()) {
        m_connection.unregisterObject(m_options.objectPath);
        // Messages leave in order: once the bus has answered this, every
        // answer given before it has reached the bus.
        if (m_ownsName)
            m_connection.call(busCall(QStringLiteral("ReleaseName")) << m_options.serviceName,
                              QDBus::Block, ReleaseTimeoutMs);
    }
    dropConnection();
}
