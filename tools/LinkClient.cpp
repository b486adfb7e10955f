#include "LinkClient.h"

#include "common/PrintableText.h"
#include "session/LinkProtocol.h"

#include <QDBusArgument>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDateTime>

namespace {
constexpr int CallTimeoutMs = 10000;
const QString ConnectionName = QStringLiteral("cyclomarkator-link");

// The canonical spelling of a property item, or empty for none.
QString propertyItem(const QString& name) {
    for (const QString& item : LinkProtocol::propertyItems())
        if (item.compare(name, Qt::CaseInsensitive) == 0)
            return item;
    return {};
}
} // namespace

LinkClient::LinkClient(QString busAddress, QString serviceName, std::FILE* out, std::FILE* err,
                       QObject* parent)
    : QObject(parent), m_busAddress(std::move(busAddress)), m_serviceName(std::move(serviceName)),
      m_out(out), m_err(err) {}

LinkClient::~LinkClient() {
    m_connection = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(ConnectionName);
}

int LinkClient::run(const LinkClientOptions& options) {
    if (!connectToBus())
        return NoCounter;
    const QString argument = options.arguments.value(0);
    switch (options.command) {
    case LinkClientOptions::Command::Get:
        return get(argument);
    case LinkClientOptions::Command::Watch:
        return watch(options.arguments);
    case LinkClientOptions::Command::SetCount:
        return execute(QStringLiteral("AD_GET_CYCLOMARKATOR=") + argument);
    case LinkClientOptions::Command::Exec:
        return execute(argument);
    case LinkClientOptions::Command::Poke:
        return poke(argument);
    case LinkClientOptions::Command::Open:
        return hold();
    case LinkClientOptions::Command::None:
        break;
    }
    return Refused;
}

void LinkClient::stop() {
    m_loop.exit(Done);
}

bool LinkClient::connectToBus() {
    if (m_busAddress.isEmpty()) {
        message(NoCounter, QStringLiteral("no session bus: DBUS_SESSION_BUS_ADDRESS is not set "
                                          "and there is no $XDG_RUNTIME_DIR/bus"));
        return false;
    }
    m_connection = QDBusConnection::connectToBus(m_busAddress, ConnectionName);
    if (m_connection.isConnected())
        return true;
    message(NoCounter, QStringLiteral("cannot reach the session bus at %1 (%2)")
                           .arg(m_busAddress, m_connection.lastError().message()));
    return false;
}

QDBusMessage LinkClient::call(const QString& member, const QVariantList& arguments,
                              const QString& interface) {
    QDBusMessage request =
        QDBusMessage::createMethodCall(m_serviceName, LinkProtocol::ObjectPath, interface, member);
    request.setArguments(arguments);
    return m_connection.call(request, QDBus::Block, CallTimeoutMs);
}

int LinkClient::failure(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    if (name == u"org.freedesktop.DBus.Error.ServiceUnknown" ||
        name == u"org.freedesktop.DBus.Error.NameHasNoOwner")
        return message(NoCounter,
                       QStringLiteral("no counter is running as %1 (started? another --name?)")
                           .arg(m_serviceName));
    if (name == u"org.freedesktop.DBus.Error.NoReply" ||
        name == u"org.freedesktop.DBus.Error.Timeout" ||
        name == u"org.freedesktop.DBus.Error.Disconnected")
        return message(NoCounter, QStringLiteral("the counter %1 does not answer (%2)")
                                      .arg(m_serviceName, reply.errorMessage()));
    return message(Refused, reply.errorMessage().isEmpty() ? name : reply.errorMessage());
}

int LinkClient::message(int code, const QString& text) {
    std::fprintf(m_err, "cyclomarkator-link: %s\n", qPrintable(printableLine(text)));
    std::fflush(m_err);
    return code;
}

void LinkClient::print(const QString& item, const QString& value) {
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    std::fprintf(m_out, "%s %s %s\n", qPrintable(stamp), qPrintable(item),
                 qPrintable(printableLine(value)));
    std::fflush(m_out);
}

int LinkClient::get(const QString& item) {
    const QDBusMessage reply = call(QStringLiteral("Request"), {item}, LinkProtocol::Interface);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return failure(reply);
    // The counter's captions hold what devices and clients wrote: one line each.
    std::fprintf(m_out, "%s\n", qPrintable(printableLine(reply.arguments().value(0).toString())));
    return Done;
}

int LinkClient::watch(const QStringList& items) {
    m_watched.clear();
    for (const QString& name : items) {
        const QString item = propertyItem(name);
        if (item.isEmpty())
            return message(Refused, QStringLiteral("%1 is no item the counter announces; these "
                                                   "are: %2")
                                        .arg(name, LinkProtocol::propertyItems().join(u", ")));
        m_watched << item;
    }
    if (m_watched.isEmpty())
        m_watched = LinkProtocol::propertyItems();
    watchForTheEnd();
    // Subscribed before the first reading, so that no change falls in between.
    m_connection.connect(m_serviceName, LinkProtocol::ObjectPath, LinkProtocol::PropertiesInterface,
                         QStringLiteral("PropertiesChanged"), this,
                         SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    const QDBusMessage reply = call(QStringLiteral("GetAll"), {LinkProtocol::Interface},
                                    LinkProtocol::PropertiesInterface);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return failure(reply);
    const QVariantMap all = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    for (const QString& item : m_watched) {
        m_shown.insert(item, all.value(item).toString());
        print(item, m_shown.value(item));
    }
    return runUntilStopped();
}

void LinkClient::propertiesChanged(const QString& interface, const QVariantMap& changed,
                                   const QStringList&) {
    if (interface != LinkProtocol::Interface)
        return;
    // A change announced while the first reading was on its way is no change.
    for (const QString& item : m_watched) {
        const QString value = changed.value(item).toString();
        if (changed.contains(item) && value != m_shown.value(item)) {
            m_shown.insert(item, value);
            print(item, value);
        }
    }
}

int LinkClient::execute(const QString& text) {
    const QDBusMessage reply = call(QStringLiteral("Execute"), {text}, LinkProtocol::Interface);
    return reply.type() == QDBusMessage::ReplyMessage ? Done : failure(reply);
}

int LinkClient::poke(const QString& text) {
    const QDBusMessage reply = call(QStringLiteral("Set"),
                                    {LinkProtocol::Interface, LinkProtocol::CommandItem,
                                     QVariant::fromValue(QDBusVariant(text))},
                                    LinkProtocol::PropertiesInterface);
    return reply.type() == QDBusMessage::ReplyMessage ? Done : failure(reply);
}

int LinkClient::hold() {
    watchForTheEnd();
    const QDBusMessage reply = call(QStringLiteral("OpenLink"), {}, LinkProtocol::Interface);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return failure(reply);
    std::fprintf(m_out, "Conversation with %s open; Ctrl+C closes it.\n",
                 qPrintable(m_serviceName));
    std::fflush(m_out);
    const int code = runUntilStopped();
    if (code == Done)
        call(QStringLiteral("CloseLink"), {}, LinkProtocol::Interface);
    return code;
}

// Watched before the first call to the counter, so that an end between that
// call and the event loop is not missed.
void LinkClient::watchForTheEnd() {
    auto* gone = new QDBusServiceWatcher(m_serviceName, m_connection,
                                         QDBusServiceWatcher::WatchForUnregistration, this);
    connect(gone, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        m_loop.exit(
            message(NoCounter, QStringLiteral("the counter %1 has ended").arg(m_serviceName)));
    });
}

int LinkClient::runUntilStopped() {
    return m_loop.exec();
}
