// The link server on a private bus, talked to by real client connections:
// what a client reads, is told, may do and is refused, and how the link lives
// through clients that vanish and a bus that goes away.
#include "session/LinkServer.h"
#include "FakeLinkTarget.h"
#include "session/LinkProtocol.h"
#include "support/PrivateBus.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {
const QString Service = QStringLiteral("org.cyclomarkator.LinkTest");
const QString& Link = LinkProtocol::Interface;
const QString& Props = LinkProtocol::PropertiesInterface;

// PropertiesChanged as a client receives it.
class ChangeCollector : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> changes;
public Q_SLOTS:
    void changed(const QString&, const QVariantMap& values, const QStringList&) {
        changes << values;
    }
};

class LinkServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bus.start()) << bus.error.toStdString(); }
    void TearDown() override {
        server.reset();
        for (const QString& name : m_clients)
            QDBusConnection::disconnectFromBus(name);
    }

    void startServer() {
        options.serviceName = Service;
        options.busAddress = bus.address();
        server = std::make_unique<LinkServer>(target, options);
        target.server = server.get();
        server->start();
        ASSERT_TRUE(QTest::qWaitFor([this] { return server->ownsName(); }));
    }
    QDBusConnection client() {
        m_clients << QStringLiteral("test-client-%1").arg(m_clients.size());
        QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), m_clients.last());
        EXPECT_TRUE(connection.isConnected());
        return connection;
    }
    // The client's connection ends, as when its process is killed.
    static void drop(QDBusConnection& connection) {
        const QString name = connection.name();
        connection = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(name);
    }
    static QDBusMessage message(const QString& member, const QVariantList& arguments = {},
                                const QString& interface = LinkProtocol::Interface) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(Service, LinkProtocol::ObjectPath, interface, member);
        call.setArguments(arguments);
        return call;
    }
    static QDBusMessage call(QDBusConnection& connection, const QString& member,
                             const QVariantList& arguments = {},
                             const QString& interface = LinkProtocol::Interface) {
        return connection.call(message(member, arguments, interface), QDBus::BlockWithGui, 5000);
    }
    static QDBusMessage setCommand(QDBusConnection& connection, const QVariant& value,
                                   const QString& item = LinkProtocol::CommandItem) {
        return call(connection, "Set",
                    {LinkProtocol::Interface, item, QVariant::fromValue(QDBusVariant(value))},
                    Props);
    }
    // The error name of a reply without "org.cyclomarkator." or "org.freedesktop.", or "ok".
    static std::string outcome(const QDBusMessage& reply) {
        if (reply.type() != QDBusMessage::ErrorMessage)
            return "ok";
        return reply.errorName().section(u'.', 2).toStdString();
    }

    PrivateBus bus;
    FakeLinkTarget target;
    LinkServer::Options options;
    std::unique_ptr<LinkServer> server;

private:
    QStringList m_clients;
};

// A client reads the items as properties and any control by Request, and is
// told every change without polling: changes made together go out together,
// an unchanged item is not announced, and a burst of changes (twenty-five
// voltages a second to every subscriber) goes out once per interval, newest
// value last.
TEST_F(LinkServerTest, ClientReadsItemsAndIsToldOfChangesOncePerInterval) {
    options.announceIntervalMs = 1000;
    startServer();
    QDBusConnection reader = client();
    const QDBusMessage all = call(reader, "GetAll", {Link}, Props);
    ASSERT_EQ(outcome(all), "ok");
    const QVariantMap items = qdbus_cast<QVariantMap>(all.arguments().at(0));
    EXPECT_EQ(items.keys(),
              QStringList({"Label_AD_cmd", "Label_AD_get_Voltage", "Label_AD_get_cyclomarkator",
                           "Label_AD_get_cyclomarkator2", "Label_AD_trigger"}));
    EXPECT_EQ(items.value(LinkProtocol::CountItem).toString(), "41");
    const QDBusMessage status = call(reader, "Request", {"label_status"});
    ASSERT_EQ(outcome(status), "ok");
    EXPECT_EQ(status.arguments().at(0).toString(), "Dummy A/D");

    ChangeCollector collector;
    ASSERT_TRUE(reader.connect(Service, LinkProtocol::ObjectPath, Props, "PropertiesChanged",
                               &collector, SLOT(changed(QString, QVariantMap, QStringList))));
    target.setCaption(LinkProtocol::CountItem, "42");
    target.setCaption(LinkProtocol::MinorCountItem, "1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !collector.changes.isEmpty(); }));
    const QVariantMap first = collector.changes.first();
    EXPECT_EQ(first.value(LinkProtocol::CountItem).toString(), "42");
    EXPECT_EQ(first.value(LinkProtocol::MinorCountItem).toString(), "1");
    EXPECT_FALSE(first.contains(LinkProtocol::VoltageItem));
    for (int i = 1; i <= 50; ++i) {
        target.setCaption(LinkProtocol::VoltageItem, QString::number(i));
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return collector.changes.last().value(LinkProtocol::VoltageItem).toString() == "50";
    }));
    EXPECT_EQ(collector.changes.size(), 2);
}

// Execute through the bus: a count set is saved (here: handed to the target),
// a refused value (the values themselves are LinkCommand's) changes nothing,
// a save that fails is an error.
TEST_F(LinkServerTest, ExecuteSetsTheCountOrRefuses) {
    startServer();
    QDBusConnection writer = client();
    const std::tuple<QVariant, std::string, std::vector<int32_t>> cases[] = {
        {"ad_get_cyclomarkator = 1500", "ok", {1500}},
        {"AD_GET_VOLTAGE=3", "ok", {}},
        {"AD_GET_CYCLOMARKATOR= abc", "Link1.Error.InvalidValue", {}},
        {QString(1 << 20, u'A'), "Link1.Error.InvalidValue", {}}, // never shown to the user
        {1500, "DBus.Error.InvalidArgs", {}},
        {QStringList{"AD_GET_CYCLOMARKATOR=3"}, "DBus.Error.InvalidArgs", {}},
    };
    for (const auto& [argument, expected, counts] : cases) {
        SCOPED_TRACE(argument.toString().left(40).toStdString());
        target.countsSet.clear();
        const QDBusMessage reply = call(writer, "Execute", {argument});
        EXPECT_EQ(outcome(reply), expected) << reply.errorMessage().toStdString();
        EXPECT_EQ(target.countsSet, counts);
        EXPECT_LT(reply.errorMessage().size(), 300);
    }
    target.saveFails = true;
    EXPECT_EQ(outcome(call(writer, "Execute", {"AD_GET_CYCLOMARKATOR=7"})), "Link1.Error.NotSaved");
    EXPECT_EQ(target.captions.value(LinkProtocol::CountItem), "1500");
}

// An unknown command is shown to the user only after the client has its
// answer: a box that waited for a person before answering would hang the
// client. A flood shows the newest text a few times, never once per command.
TEST_F(LinkServerTest, UnknownCommandsAreShownAfterTheAnswerAndPaced) {
    options.showIntervalMs = 1000;
    startServer();
    QDBusConnection writer = client();
    QDBusPendingCallWatcher answered(writer.asyncCall(message("Execute", {"HELLO"}), 5000));
    bool answeredWhileShown = false;
    target.onShow = [&](const QString&) {
        // A modal box: the user reads it while the event loop runs on.
        answeredWhileShown = QTest::qWaitFor([&] { return answered.isFinished(); }, 3000);
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.shown.isEmpty(); }));
    EXPECT_TRUE(answeredWhileShown);
    EXPECT_EQ(target.shown, QStringList({"HELLO"}));
    target.onShow = nullptr;

    std::vector<std::unique_ptr<QDBusPendingCallWatcher>> flood;
    for (int i = 0; i < 200; ++i)
        flood.push_back(std::make_unique<QDBusPendingCallWatcher>(
            writer.asyncCall(message("Execute", {QStringLiteral("HELLO %1").arg(i)}), 10000)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return target.shown.last() == "HELLO 199"; }, 10000));
    for (const auto& reply : flood)
        EXPECT_FALSE(reply->isError());
    EXPECT_LE(target.shown.size(), 4);
}

// Poking writes Label_AD_cmd; STOP and UNLOAD end the program after the
// answer. Everything else about Set is refused.
TEST_F(LinkServerTest, PokeAndRefusedWrites) {
    startServer();
    QDBusConnection writer = client();
    const QString& Command = LinkProtocol::CommandItem;
    const std::tuple<QString, QVariant, std::string> cases[] = {
        {Command, "hello", "ok"},
        {Command, "", "ok"},
        {Command, 5, "DBus.Error.InvalidArgs"},
        {Command, QString(1 << 20, u'x'), "Link1.Error.InvalidValue"},
        {LinkProtocol::CountItem, "0", "DBus.Error.PropertyReadOnly"},
        {"NoSuchItem", "x", "DBus.Error.UnknownProperty"},
        {Command, "stop", "ok"},
        {Command, "Unload", "ok"},
    };
    for (const auto& [item, value, expected] : cases) {
        SCOPED_TRACE(item.toStdString() + " = " + value.toString().left(20).toStdString());
        EXPECT_EQ(outcome(setCommand(writer, value, item)), expected);
    }
    EXPECT_EQ(target.captions.value(LinkProtocol::CountItem), "41");
    ASSERT_TRUE(QTest::qWaitFor([&] { return target.stops == 1 && target.unloads == 1; }));
    const QDBusMessage read = call(writer, "Get", {Link, Command}, Props);
    EXPECT_EQ(read.arguments().at(0).value<QDBusVariant>().variant().toString(), "Unload");
}

// Calls a client can get wrong: each is a named error, and the server lives on.
TEST_F(LinkServerTest, MalformedCallsAreRefused) {
    startServer();
    QDBusConnection caller = client();
    const QString Unknown = QStringLiteral("Link1.Error.UnknownItem");
    const std::tuple<QString, QVariantList, QString, QString> cases[] = {
        {"Request", {"NoSuchControl"}, Link, Unknown},
        {"Request", {""}, Link, Unknown},
        {"Request", {QString(1 << 20, u'L')}, Link, Unknown},
        {"Request", {}, Link, "DBus.Error.InvalidArgs"},
        {"Request", {1, 2}, Link, "DBus.Error.InvalidArgs"},
        {"OpenLink", {"x"}, Link, "DBus.Error.InvalidArgs"},
        {"Launch", {}, Link, "DBus.Error.UnknownMethod"},
        {"Request", {"Label_Status"}, "org.example.Other", "DBus.Error.UnknownInterface"},
        {"Get",
         {"org.example.Other", LinkProtocol::CountItem},
         Props,
         "DBus.Error.UnknownInterface"},
        {"Get", {Link, "Label_Status"}, Props, "DBus.Error.UnknownProperty"},
        {"Get", {Link}, Props, "DBus.Error.InvalidArgs"},
    };
    for (const auto& [member, arguments, interface, expected] : cases) {
        SCOPED_TRACE(member.toStdString() + " on " + interface.toStdString());
        const QDBusMessage reply = call(caller, member, arguments, interface);
        EXPECT_EQ(outcome(reply), expected.toStdString());
        EXPECT_FALSE(reply.errorMessage().isEmpty());
        EXPECT_LT(reply.errorMessage().size(), 300);
    }
    const QDBusMessage xml = call(caller, "Introspect", {}, "org.freedesktop.DBus.Introspectable");
    ASSERT_EQ(outcome(xml), "ok");
    const QString text = xml.arguments().at(0).toString();
    for (const char* part :
         {"org.cyclomarkator.Link1", "\"Label_AD_cmd\" type=\"s\" access=\"readwrite\"",
          "name=\"Execute\"", "org.freedesktop.DBus.Properties"})
        EXPECT_TRUE(text.contains(QLatin1String(part))) << part;
}

// busctl is what the README shows, so a client other than Qt's reads here.
TEST_F(LinkServerTest, BusctlReadsTheCount) {
    startServer();
    QProcess busctl;
    busctl.start("busctl", {"--address=" + bus.address(), "get-property", Service, "/Control", Link,
                            LinkProtocol::CountItem});
    ASSERT_TRUE(QTest::qWaitFor([&] { return busctl.state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(busctl.exitCode(), 0);
    EXPECT_EQ(busctl.readAllStandardOutput(), QByteArray("s \"41\"\n"));
}

// While any conversation is open the program is locked; it unlocks when the
// last one closes, also when its client just vanishes. Conversations are
// limited, and a command needs none.
TEST_F(LinkServerTest, ConversationsLockUntilTheLastOneEndsAndAreLimited) {
    options.maxConversations = 2;
    startServer();
    QDBusConnection first = client(), second = client(), third = client();
    EXPECT_EQ(outcome(call(first, "CloseLink")), "Link1.Error.NotOpen");
    EXPECT_EQ(outcome(call(first, "OpenLink")), "ok");
    EXPECT_EQ(outcome(call(first, "OpenLink")), "ok"); // still one conversation
    EXPECT_EQ(outcome(call(second, "OpenLink")), "ok");
    EXPECT_EQ(outcome(call(third, "OpenLink")), "Link1.Error.TooManyConversations");
    EXPECT_EQ(outcome(call(third, "Execute", {"AD_GET_CYCLOMARKATOR=9"})), "ok");
    EXPECT_EQ(target.countsSet, std::vector<int32_t>({9}));
    EXPECT_TRUE(target.locked);
    EXPECT_EQ(target.lamp, LinkLamp::Open);
    EXPECT_EQ(server->conversations(), 2);

    EXPECT_EQ(outcome(call(first, "CloseLink")), "ok");
    EXPECT_TRUE(target.locked); // the other one is still open
    drop(second);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.locked; }));
    EXPECT_EQ(target.lamp, LinkLamp::Idle);
    EXPECT_EQ(server->conversations(), 0);
}

// Another program holds the name: a link error, and the name is taken over
// when that program lets it go.
TEST_F(LinkServerTest, TakenNameIsWaitedFor) {
    QDBusConnection squatter = client();
    ASSERT_TRUE(squatter.registerService(Service));
    options.serviceName = Service;
    options.busAddress = bus.address();
    server = std::make_unique<LinkServer>(target, options);
    server->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.problems.isEmpty(); }));
    EXPECT_TRUE(target.problems.first().startsWith("DDE link error:3 - "))
        << target.problems.first().toStdString();
    EXPECT_FALSE(server->ownsName());
    ASSERT_TRUE(squatter.unregisterService(Service));
    EXPECT_TRUE(QTest::qWaitFor([&] { return server->ownsName(); }));
}

// No bus at start: said once, lamp off, nothing else happens.
TEST(LinkServerNoBusTest, RunsWithoutTheLink) {
    QTemporaryDir dir;
    for (const QString& address : {QString(), "unix:path=" + dir.filePath("nobody-listens")}) {
        SCOPED_TRACE(address.toStdString());
        FakeLinkTarget target;
        LinkServer::Options options;
        options.serviceName = Service;
        options.busAddress = address;
        LinkServer server(target, options);
        server.start();
        EXPECT_EQ(target.notices.size(), 1);
        EXPECT_TRUE(target.problems.isEmpty());
        EXPECT_EQ(target.lamp, LinkLamp::Off);
        EXPECT_FALSE(target.toolTip.isEmpty());
        EXPECT_FALSE(server.connected());
        target.setCaption(LinkProtocol::CountItem, "5"); // nothing to announce to
    }
}

// The bus goes away under open conversations: a numbered link error, the
// program unlocked, and the link back when the bus is.
TEST(LinkServerLostBusTest, ReconnectsWhenTheBusComesBack) {
    QTemporaryDir dir;
    const QString socket = dir.filePath("bus");
    auto bus = std::make_unique<PrivateBus>(socket);
    ASSERT_TRUE(bus->start()) << bus->error.toStdString();
    FakeLinkTarget target;
    LinkServer::Options options;
    options.serviceName = Service;
    options.busAddress = "unix:path=" + socket;
    options.watchIntervalMs = 50;
    options.reconnectIntervalMs = 100;
    LinkServer server(target, options);
    target.server = &server;
    server.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.ownsName(); }));
    {
        QDBusConnection holder = QDBusConnection::connectToBus(bus->address(), "holder");
        holder.call(QDBusMessage::createMethodCall(Service, LinkProtocol::ObjectPath,
                                                   LinkProtocol::Interface, "OpenLink"),
                    QDBus::BlockWithGui, 5000);
        ASSERT_TRUE(target.locked);
        bus->kill();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !target.problems.isEmpty(); }));
        QDBusConnection::disconnectFromBus("holder");
    }
    EXPECT_TRUE(target.problems.first().startsWith("DDE link error:1 - "));
    EXPECT_EQ(target.lamp, LinkLamp::Error);
    EXPECT_FALSE(target.locked);
    target.setCaption(LinkProtocol::CountItem, "43"); // counting goes on meanwhile

    bus = std::make_unique<PrivateBus>(socket);
    ASSERT_TRUE(bus->start()) << bus->error.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.ownsName(); }, 10000));
    EXPECT_EQ(target.problems.size(), 1);
    EXPECT_EQ(target.notices.size(), 1);
    QDBusConnection reader = QDBusConnection::connectToBus(bus->address(), "reader");
    const QDBusMessage reply =
        reader.call(QDBusMessage::createMethodCall(Service, LinkProtocol::ObjectPath,
                                                   LinkProtocol::Interface, "Request")
                        << LinkProtocol::CountItem,
                    QDBus::BlockWithGui, 5000);
    EXPECT_EQ(reply.arguments().value(0).toString(), "43");
    QDBusConnection::disconnectFromBus("reader");
}
} // namespace

#include "LinkServerTest.moc"
