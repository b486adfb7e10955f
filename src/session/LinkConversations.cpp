#include "session/LinkConversations.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace {
constexpr int NameCheckTimeoutMs = 5000;
}

LinkConversations::LinkConversations(int maxConversations, std::function<void()> changed,
                                     QObject* parent)
    : QObject(parent), m_max(maxConversations), m_changed(std::move(changed)) {}

LinkConversations::~LinkConversations() = default;

void LinkConversations::attach(const QDBusConnection& connection) {
    detach();
    m_connection = connection;
    m_watcher = new QDBusServiceWatcher(QString(), m_connection,
                                        QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            &LinkConversations::vanished);
}

void LinkConversations::detach() {
    delete m_watcher;
    m_watcher = nullptr;
    m_connection = QDBusConnection(QString());
    const bool hadAny = !m_open.isEmpty();
    m_open.clear();
    if (hadAny)
        m_changed();
}

LinkConversations::Opened LinkConversations::open(const QString& client) {
    if (m_open.contains(client))
        return Opened::Already;
    if (count() >= m_max || !m_watcher)
        return Opened::TooMany;
    m_open.insert(client);
    m_watcher->addWatchedService(client);
    checkStillThere(client);
    m_changed();
    return Opened::Now;
}

bool LinkConversations::close(const QString& client) {
    if (!m_open.remove(client))
        return false;
    if (m_watcher)
        m_watcher->removeWatchedService(client);
    m_changed();
    return true;
}

void LinkConversations::vanished(const QString& client) {
    close(client);
}

// A client that vanished after its call but before the watch was in place
// would never be reported gone. The bus handles our messages in order, so an
// answer to this question, asked after the watch, closes that gap.
void LinkConversations::checkStillThere(const QString& client) {
    const QDBusMessage question =
        QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"))
        << client;
    auto* pending =
        new QDBusPendingCallWatcher(m_connection.asyncCall(question, NameCheckTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, client](QDBusPendingCallWatcher* call) {
                const QDBusPendingReply<bool> reply = *call;
                if (reply.isValid() && !reply.value())
                    close(client);
                call->deleteLater();
            });
}
