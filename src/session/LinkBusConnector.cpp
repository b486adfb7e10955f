#include "session/LinkBusConnector.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDeadlineTimer>
#include <dbus/dbus.h>

#include <algorithm>

namespace {
// How long one look at the socket may wait, so that the time limit is kept.
constexpr int SliceMs = 50;

// The reply to our Hello, or null when none came in time.
DBusMessage* awaitReply(DBusConnection* connection, DBusPendingCall* pending,
                        const QDeadlineTimer& deadline) {
    while (!dbus_pending_call_get_completed(pending) && !deadline.hasExpired() &&
           dbus_connection_get_is_connected(connection)) {
        const int slice =
            static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 1, SliceMs));
        dbus_connection_read_write_dispatch(connection, slice);
    }
    return dbus_pending_call_get_completed(pending) ? dbus_pending_call_steal_reply(pending)
                                                    : nullptr;
}
} // namespace

LinkBusConnector::LinkBusConnector(QString address, QString connectionName, int timeoutMs)
    : m_address(std::move(address)), m_connectionName(std::move(connectionName)),
      m_timeoutMs(timeoutMs) {}

// libdbus's own blocking calls wait without limit until the login is done,
// so the login and the Hello are driven here a slice at a time.
QString LinkBusConnector::probe(const QString& address, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    DBusError error;
    dbus_error_init(&error);
    DBusConnection* connection = dbus_connection_open_private(address.toUtf8().constData(), &error);
    if (!connection) {
        const QString reason = QString::fromUtf8(error.message);
        dbus_error_free(&error);
        return reason;
    }
    dbus_connection_set_exit_on_disconnect(connection, FALSE);
    DBusMessage* hello = dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS,
                                                      DBUS_INTERFACE_DBUS, "Hello");
    DBusPendingCall* pending = nullptr;
    QString reason = QStringLiteral("out of memory");
    if (hello && dbus_connection_send_with_reply(connection, hello, &pending, timeoutMs) &&
        pending) {
        DBusMessage* reply = awaitReply(connection, pending, deadline);
        if (!reply)
            reason = dbus_connection_get_is_connected(connection)
                         ? QStringLiteral("the bus did not answer within %1 ms").arg(timeoutMs)
                         : QStringLiteral("the bus closed the connection");
        else if (dbus_message_get_type(reply) != DBUS_MESSAGE_TYPE_METHOD_RETURN)
            reason = QStringLiteral("the bus refused us (%1)")
                         .arg(QString::fromUtf8(dbus_message_get_error_name(reply)));
        else
            reason.clear();
        if (reply)
            dbus_message_unref(reply);
        dbus_pending_call_cancel(pending);
        dbus_pending_call_unref(pending);
    }
    if (hello)
        dbus_message_unref(hello);
    // A private connection is closed before its last reference goes, or
    // libdbus takes the program down.
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
    return reason;
}

void LinkBusConnector::run() {
    const QString refused = probe(m_address, m_timeoutMs);
    if (!refused.isEmpty()) {
        Q_EMIT attemptDone(false, refused);
        return;
    }
    QDBusConnection connection = QDBusConnection::connectToBus(m_address, m_connectionName);
    if (connection.isConnected()) {
        Q_EMIT attemptDone(true, QString());
        return;
    }
    const QString reason = connection.lastError().message();
    connection = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(m_connectionName);
    Q_EMIT attemptDone(false, reason);
}
