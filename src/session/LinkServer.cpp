#include "session/LinkServer.h"

#include "session/LinkBusConnection.h"
#include "session/LinkCallQueue.h"
#include "session/LinkCommand.h"
#include "session/LinkConversations.h"
#include "session/LinkProtocol.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariantMap>
#include <algorithm>
#include <utility>

namespace {
const QString IntrospectableInterface = QStringLiteral("org.freedesktop.DBus.Introspectable");
// Item names longer than this are no control of ours; they are not echoed whole.
constexpr qsizetype LongestItemName = 255;

// A client's text quoted in an error message, cut short so that a megabyte of
// text does not come back as a megabyte of error.
QString quoted(const QString& text) {
    constexpr qsizetype Shown = 60;
    return u'"' + (text.size() > Shown ? text.left(Shown) + QStringLiteral("...") : text) + u'"';
}

// Starts `timer` so that it fires at once when the last firing is an interval
// ago, else when the interval is over: one firing per interval at most, and
// never later than one interval after a change.
void armPaced(QTimer& timer, const QElapsedTimer& since, int intervalMs) {
    if (timer.isActive())
        return;
    const qint64 wait = since.isValid() ? intervalMs - since.elapsed() : 0;
    timer.start(static_cast<int>(std::clamp<qint64>(wait, 0, intervalMs)));
}

QString introspectionXml() {
    QString xml = QStringLiteral("  <interface name=\"%1\">\n").arg(LinkProtocol::Interface);
    for (const QString& item : LinkProtocol::propertyItems())
        xml += QStringLiteral("    <property name=\"%1\" type=\"%2\" access=\"%3\"/>\n")
                   .arg(item, LinkProtocol::propertyType(item),
                        item == LinkProtocol::CommandItem ? QStringLiteral("readwrite")
                                                          : QStringLiteral("read"));
    return xml + QStringLiteral(R"(    <method name="Request">
      <arg name="item" type="s" direction="in"/>
      <arg name="caption" type="s" direction="out"/>
    </method>
    <method name="Execute">
      <arg name="command" type="s" direction="in"/>
    </method>
    <method name="OpenLink"/>
    <method name="CloseLink"/>
  </interface>
)");
}
} // namespace

LinkServer::LinkServer(LinkTarget& target, Options options, QObject* parent)
    : QDBusVirtualObject(parent), m_target(target), m_options(std::move(options)) {
    m_bus = new LinkBusConnection({m_options.serviceName, m_options.busAddress,
                                   LinkProtocol::ObjectPath, m_options.watchIntervalMs,
                                   m_options.reconnectIntervalMs, m_options.connectTimeoutMs},
                                  *this, this);
    connect(m_bus, &LinkBusConnection::connected, this, &LinkServer::onConnected);
    connect(m_bus, &LinkBusConnection::disconnected, this, &LinkServer::onDisconnected);
    connect(m_bus, &LinkBusConnection::problem, this, &LinkServer::linkError);
    connect(m_bus, &LinkBusConnection::unreachable, this, &LinkServer::onUnreachable);
    connect(m_bus, &LinkBusConnection::notice, this,
            [this](const QString& text) { m_target.linkNotice(text); });
    m_conversations = new LinkConversations(
        m_options.maxConversations, [this] { updateState(); }, this);

    m_announceTimer.setSingleShot(true);
    m_announceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_announceTimer, &QTimer::timeout, this, &LinkServer::announce);
    m_showTimer.setSingleShot(true);
    connect(&m_showTimer, &QTimer::timeout, this, &LinkServer::showCommand);
    m_calls = new LinkCallQueue(
        [this](const QDBusMessage& call) {
            dispatch(call);
            return std::exchange(m_countSaved, false);
        },
        this);
    m_errorLampTimer.setSingleShot(true);
    connect(&m_errorLampTimer, &QTimer::timeout, this, &LinkServer::updateState);
}

LinkServer::~LinkServer() {
    shutdown();
}

bool LinkServer::connected() const {
    return m_bus->isConnected();
}

bool LinkServer::ownsName() const {
    return m_bus->ownsName();
}

int LinkServer::conversations() const {
    return m_conversations->count();
}

void LinkServer::start() {
    if (m_started || m_shutDown)
        return;
    m_started = true;
    if (m_options.busAddress.isEmpty()) {
        m_offReason = QStringLiteral("DDE link off: there is no session bus");
        m_target.linkNotice(
            QStringLiteral("No session bus: the program runs without the DDE link."));
    } else {
        // A service started before the desktop's bus: the link follows when it can.
        m_offReason = QStringLiteral("DDE link off: connecting to the session bus at %1")
                          .arg(m_options.busAddress);
        m_bus->start();
    }
    updateState();
}

void LinkServer::onUnreachable(const QString& reason) {
    m_offReason =
        QStringLiteral("DDE link off: no session bus at %1 (%2)").arg(m_options.busAddress, reason);
    m_target.linkNotice(QStringLiteral("No session bus at %1 (%2): the program runs without the "
                                       "DDE link until the bus is there.")
                            .arg(m_options.busAddress, reason));
    updateState();
}

void LinkServer::onConnected() {
    m_conversations->attach(m_bus->connection());
    // Clients that connect now read the present values; only what changes
    // from here on is announced.
    m_announced.clear();
    for (const QString& item : LinkProtocol::propertyItems())
        m_announced.insert(item, itemValue(item));
    m_sendFailing = false;
    m_dropped = 0;
    m_offReason.clear();
    updateState();
}

// The clients of a lost bus cannot reach us any more: their conversations end.
void LinkServer::onDisconnected() {
    m_announceTimer.stop();
    m_calls->clear();
    m_conversations->detach();
    updateState();
}

void LinkServer::shutdown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_showTimer.stop();
    m_calls->clear();
    m_errorLampTimer.stop();
    m_bus->shutdown();
}

// Messages.

QString LinkServer::introspect(const QString&) const {
    static const QString xml = introspectionXml();
    return xml;
}

// Calls are answered from a queue, so that a flood of them never holds up the
// counting tick; those that will be refused anyway are refused at once.
bool LinkServer::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    const QString interface = message.interface();
    // Qt answers Introspect from introspect(); the D-Bus library answers Peer.
    if (interface == IntrospectableInterface ||
        (interface.isEmpty() && message.member() == u"Introspect"))
        return false;
    switch (m_calls->add(message)) {
    case LinkCallQueue::Taken::Queued:
        break;
    case LinkCallQueue::Taken::NotForTheQueue:
        dispatch(message);
        break;
    case LinkCallQueue::Taken::Full:
        refuse(message, LinkProtocol::BusyError,
               QStringLiteral("The counter has too many calls waiting; try again shortly."));
        break;
    }
    return true;
}

void LinkServer::dispatch(const QDBusMessage& message) {
    const QString interface = message.interface();
    if (interface == LinkProtocol::PropertiesInterface)
        handleProperties(message);
    else if (interface.isEmpty() || interface == LinkProtocol::Interface)
        handleLinkCall(message);
    else
        refuse(message, QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
               QStringLiteral("%1 has no interface %2")
                   .arg(LinkProtocol::ObjectPath, quoted(interface)));
}

void LinkServer::handleLinkCall(const QDBusMessage& message) {
    const QString member = message.member();
    const QString signature = message.signature();
    const QString invalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
    const auto wrongArguments = [&](const char* expected) {
        refuse(message, invalidArgs,
               QStringLiteral("%1 takes (%2), not (%3)")
                   .arg(member, QLatin1String(expected), signature));
    };
    if (member == u"Request") {
        if (signature != u"s")
            return wrongArguments("s");
        const QString item = message.arguments().at(0).toString();
        const std::optional<QString> caption =
            item.size() <= LongestItemName ? m_target.linkCaption(item) : std::nullopt;
        if (!caption)
            return refuse(
                message, LinkProtocol::UnknownItemError,
                QStringLiteral("The main window has no control named %1.").arg(quoted(item)));
        return answer(message, message.createReply(*caption));
    }
    if (member == u"Execute") {
        if (signature != u"s")
            return wrongArguments("s");
        return execute(message, message.arguments().at(0).toString());
    }
    if (member == u"OpenLink" || member == u"CloseLink") {
        if (!signature.isEmpty())
            return wrongArguments("");
        return member == u"OpenLink" ? openLink(message) : closeLink(message);
    }
    refuse(message, QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
           QStringLiteral("%1 has no method %2").arg(LinkProtocol::Interface, quoted(member)));
}

void LinkServer::handleProperties(const QDBusMessage& message) {
    const QString member = message.member();
    const QString signature = message.signature();
    const QVariantList arguments = message.arguments();
    const bool getAll = member == u"GetAll" && signature == u"s";
    const bool get = member == u"Get" && signature == u"ss";
    const bool set = member == u"Set" && signature == u"ssv";
    if (!get && !getAll && !set)
        return refuse(message, QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                      QStringLiteral("%1 has no method %2 taking (%3)")
                          .arg(LinkProtocol::PropertiesInterface, quoted(member), signature));
    const QString interface = arguments.at(0).toString();
    if (!interface.isEmpty() && interface != LinkProtocol::Interface)
        return refuse(message, QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
                      QStringLiteral("%1 has no interface %2")
                          .arg(LinkProtocol::ObjectPath, quoted(interface)));
    if (getAll) {
        QVariantMap all;
        for (const QString& item : LinkProtocol::propertyItems())
            all.insert(item, LinkProtocol::propertyValue(item, itemValue(item)));
        return answer(message, message.createReply(QVariant::fromValue(all)));
    }
    const QString item = arguments.at(1).toString();
    if (!LinkProtocol::propertyItems().contains(item))
        return refuse(
            message, QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"),
            QStringLiteral("%1 has no property %2").arg(LinkProtocol::Interface, quoted(item)));
    if (get)
        return answer(message, message.createReply(QVariant::fromValue(QDBusVariant(
                                   LinkProtocol::propertyValue(item, itemValue(item))))));
    if (item != LinkProtocol::CommandItem)
        return refuse(message, QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly"),
                      QStringLiteral("%1 is read-only; only %2 takes a command")
                          .arg(item, LinkProtocol::CommandItem));
    const QVariant value = arguments.at(2).value<QDBusVariant>().variant();
    if (value.metaType() != QMetaType::fromType<QString>())
        return refuse(message, QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                      QStringLiteral("%1 takes a string (s), not a %2")
                          .arg(item, QLatin1String(value.metaType().name())));
    poke(message, value.toString());
}

void LinkServer::execute(const QDBusMessage& message, const QString& text) {
    const LinkCommand command = LinkCommand::parseExecute(text);
    switch (command.kind) {
    case LinkCommand::Kind::Refused:
        return refuse(message, LinkProtocol::InvalidValueError, command.refusal);
    case LinkCommand::Kind::SetCount:
        m_countSaved = true;
        if (!m_target.linkSetCount(command.count))
            return refuse(message, LinkProtocol::NotSavedError,
                          QStringLiteral("The count could not be saved in the settings file, so "
                                         "it was not changed."));
        return answer(message, message.createReply());
    case LinkCommand::Kind::Nothing:
        return answer(message, message.createReply());
    case LinkCommand::Kind::ShowToUser:
        // The client has its answer before the user sees anything; a flood
        // of such commands shows the newest a few times a second.
        answer(message, message.createReply());
        m_commandToShow = text;
        armPaced(m_showTimer, m_sinceShow, m_options.showIntervalMs);
        return;
    }
}

void LinkServer::poke(const QDBusMessage& message, const QString& text) {
    if (text.size() > LinkProtocol::MaxCommandLength)
        return refuse(message, LinkProtocol::InvalidValueError,
                      QStringLiteral("The command is %1 characters long; at most %2 are taken.")
                          .arg(text.size())
                          .arg(LinkProtocol::MaxCommandLength));
    m_target.linkSetCommandText(text);
    answer(message, message.createReply());
    // The end comes after the answer, from the event loop, so that the client
    // is not left waiting for a reply from a program that has gone.
    switch (LinkCommand::pokeWord(text)) {
    case LinkCommand::Poke::Stop:
        QTimer::singleShot(0, this, [this] { m_target.linkStop(); });
        break;
    case LinkCommand::Poke::Unload:
        QTimer::singleShot(0, this, [this] { m_target.linkUnload(); });
        break;
    case LinkCommand::Poke::Ignored:
        break;
    }
}

void LinkServer::openLink(const QDBusMessage& message) {
    if (m_conversations->open(message.service()) == LinkConversations::Opened::TooMany)
        return refuse(message, LinkProtocol::TooManyConversationsError,
                      QStringLiteral("%1 conversations are open; no more are taken.")
                          .arg(m_conversations->count()));
    answer(message, message.createReply());
}

void LinkServer::closeLink(const QDBusMessage& message) {
    if (!m_conversations->close(message.service()))
        return refuse(message, LinkProtocol::NotOpenError,
                      QStringLiteral("This client has no conversation open."));
    answer(message, message.createReply());
}

QString LinkServer::itemValue(const QString& item) const {
    return m_target.linkCaption(item).value_or(QString());
}

void LinkServer::answer(const QDBusMessage& call, const QDBusMessage& reply) {
    if (call.isReplyRequired())
        sent(m_bus->connection().send(reply),
             QStringLiteral("an answer to %1 could not be sent").arg(call.service()));
}

// A failed send on a lost connection is the bus going away; on a live one it
// is its own error, reported once until a message goes out again.
void LinkServer::sent(bool ok, const QString& what) {
    if (ok) {
        m_sendFailing = false;
    } else if (!m_bus->isConnected()) {
        m_bus->checkSoon();
    } else if (!m_sendFailing) {
        m_sendFailing = true;
        linkError(2, what);
    }
}

void LinkServer::refuse(const QDBusMessage& call, const QString& errorName, const QString& text) {
    answer(call, call.createErrorReply(errorName, text));
}

// Pacing.

void LinkServer::itemsChanged() {
    if (m_bus->isConnected())
        armPaced(m_announceTimer, m_sinceAnnounce, m_options.announceIntervalMs);
}

void LinkServer::announce() {
    if (!m_bus->isConnected())
        return;
    QVariantMap changed;
    for (const QString& item : LinkProtocol::propertyItems()) {
        const QString value = itemValue(item);
        if (value != m_announced.value(item))
            changed.insert(item, LinkProtocol::propertyValue(item, value));
    }
    if (changed.isEmpty())
        return;
    m_sinceAnnounce.start();
    if (!busTakesMessages())
        return;
    // Told only what went out: the next announcement carries what was dropped.
    for (auto it = changed.cbegin(); it != changed.cend(); ++it)
        m_announced[it.key()] = itemValue(it.key());
    QDBusMessage signal =
        QDBusMessage::createSignal(LinkProtocol::ObjectPath, LinkProtocol::PropertiesInterface,
                                   QStringLiteral("PropertiesChanged"));
    signal << LinkProtocol::Interface << changed << QStringList();
    sent(m_bus->connection().send(signal),
         QStringLiteral("a change of the items could not be announced"));
}

// A bus that stops reading would let every announcement pile up in memory;
// while too much waits, they are dropped, and that is said once.
bool LinkServer::busTakesMessages() {
    if (m_bus->outgoingBytes() > m_options.maxWaitingBytes) {
        if (m_dropped++ == 0)
            linkError(2, QStringLiteral("the session bus takes no messages; changes of the items "
                                        "are not announced until it does"));
        return false;
    }
    if (m_dropped > 0)
        m_target.linkNotice(QStringLiteral("DDE link: the session bus takes messages again; %1 "
                                           "announcement(s) were dropped.")
                                .arg(std::exchange(m_dropped, 0)));
    return true;
}

void LinkServer::showCommand() {
    if (m_commandToShow.isNull())
        return;
    m_sinceShow.start();
    const QString text = std::exchange(m_commandToShow, QString());
    m_target.linkShowCommand(text);
}

// State.

void LinkServer::linkError(int number, const QString& text) {
    m_target.linkProblem(QStringLiteral("DDE link error:%1 - %2.").arg(number).arg(text));
    m_lastError = QStringLiteral("DDE link error:%1").arg(number);
    m_errorLampTimer.start(m_options.errorLampMs);
    updateState();
}

void LinkServer::updateState() {
    if (m_shutDown)
        return;
    const int open = m_conversations->count();
    LinkLamp lamp = LinkLamp::Idle;
    QString toolTip;
    if (m_bus->isLost() || m_errorLampTimer.isActive()) {
        lamp = LinkLamp::Error;
        toolTip = m_lastError;
    } else if (!m_bus->isConnected()) {
        lamp = LinkLamp::Off;
        toolTip = m_offReason;
    } else if (open > 0) {
        lamp = LinkLamp::Open;
        toolTip = QStringLiteral("DDE link: %1 conversation(s) open; Exit and the channel list "
                                 "are locked")
                      .arg(open);
    } else {
        toolTip = QStringLiteral("DDE link: %1, no conversation open").arg(m_options.serviceName);
    }
    const bool locked = open > 0;
    if (lamp == m_lamp && locked == m_locked && toolTip == m_lastToolTip)
        return;
    m_lamp = lamp;
    m_locked = locked;
    m_lastToolTip = toolTip;
    m_target.linkStateChanged(lamp, locked, toolTip);
}
