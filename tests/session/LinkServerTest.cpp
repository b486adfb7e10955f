// The link server on a private bus, talked to by real client connections:
// what a client reads, is told, may do and is refused, and how the link lives
// through clients that vanish and a bus that goes away.
#include "session/LinkServer.h"
#include "session/LinkProtocol.h"
#include "session/LinkTarget.h"
#include "support/PrivateBus.h"
#include "support/SilentBus.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {
using namespace LinkProtocol;
const QString Service = QStringLiteral("org.cyclomarkator.LinkTest");
const QString& Link = Interface;
const QString& Props = PropertiesInterface;

// Captions the test sets, and a record of everything the server asked of the program.
class FakeLinkTarget final : public LinkTarget {
public:
    // Changes a caption as the window's labels change, telling the server.
    void setCaption(const QString& name, const QString& text) {
        captions[name] = text;
        if (server)
            server->itemsChanged();
    }
    std::optional<QString> linkCaption(const QString& name) const override {
        for (auto it = captions.begin(); it != captions.end(); ++it)
            if (it.key().compare(name, Qt::CaseInsensitive) == 0)
                return it.value();
        return std::nullopt;
    }
    bool linkSetCount(int32_t count) override {
        if (saveFails)
            return false;
        countsSet.push_back(count);
        setCaption(CountItem, QString::number(count));
        return true;
    }
    void linkSetCommandText(const QString& text) override { setCaption(CommandItem, text); }
    void linkShowCommand(const QString& text) override {
        shown << text;
        if (onShow)
            onShow(text);
    }
    // What STOP and UNLOAD do to the program is the process tests' part.
    void linkStop() override {}
    void linkUnload() override {}
    void linkStateChanged(LinkLamp newLamp, bool isLocked, const QString& tip) override {
        lamp = newLamp;
        locked = isLocked;
        toolTip = tip;
    }
    void linkProblem(const QString& text) override { problems << text; }
    void linkNotice(const QString& text) override { notices << text; }

    LinkServer* server = nullptr;
    QHash<QString, QString> captions{{VoltageItem, "1.250"}, {CountItem, "41"},
                                     {MinorCountItem, "0"},  {TriggerItem, "-1 Label_AD_trigger"},
                                     {CommandItem, "cmd"},   {"Label_Status", "Dummy A/D"},
                                     {WatchNfItem, "-1"},    {WatchReferenceAmplitudeItem, "0"}};
    bool saveFails = false;
    std::vector<int32_t> countsSet; // (QList<int>'s == of two empty lists upsets UBSan)
    QStringList shown, problems, notices;
    std::function<void(const QString&)> onShow;
    LinkLamp lamp = LinkLamp::Off;
    bool locked = false;
    QString toolTip;
};

// PropertiesChanged as a client receives it.
class ChangeCollector : public QObject {
    Q_OBJECT
public:
    explicit ChangeCollector(QDBusConnection& client) {
        EXPECT_TRUE(client.connect(Service, ObjectPath, Props, "PropertiesChanged", this,
                                   SLOT(changed(QString, QVariantMap, QStringList))));
    }
    QList<QVariantMap> changes;
public Q_SLOTS:
    void changed(const QString&, const QVariantMap& values, const QStringList&) {
        changes << values;
    }
};

QVariant boxed(const QVariant& value) {
    return QVariant::fromValue(QDBusVariant(value));
}

// The bus listens on a socket of the test's own, so that it can be killed
// and started again at the same address.
class LinkServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus->start()) << bus->error.toStdString();
        options.serviceName = Service;
        options.busAddress = "unix:path=" + socket;
    }
    void TearDown() override {
        server.reset();
        for (const QString& name : m_clients)
            QDBusConnection::disconnectFromBus(name);
    }

    void startServer(bool waitForName = true) {
        server = std::make_unique<LinkServer>(target, options);
        target.server = server.get();
        server->start();
        if (waitForName) {
            ASSERT_TRUE(QTest::qWaitFor([this] { return server->ownsName(); }, 10000));
        }
    }
    QDBusConnection client() {
        m_clients << QStringLiteral("test-client-%1").arg(m_clients.size());
        QDBusConnection connection =
            QDBusConnection::connectToBus(bus->address(), m_clients.last());
        EXPECT_TRUE(connection.isConnected());
        return connection;
    }
    static QDBusMessage message(const QString& member, const QVariantList& arguments = {},
                                const QString& interface = Link) {
        QDBusMessage call = QDBusMessage::createMethodCall(Service, ObjectPath, interface, member);
        call.setArguments(arguments);
        return call;
    }
    static QDBusMessage call(QDBusConnection& connection, const QString& member,
                             const QVariantList& arguments = {}, const QString& interface = Link) {
        return connection.call(message(member, arguments, interface), QDBus::BlockWithGui, 5000);
    }
    // The first value of the answer.
    static QVariant value(QDBusConnection& connection, const QString& member,
                          const QVariantList& arguments, const QString& interface = Link) {
        return call(connection, member, arguments, interface).arguments().value(0);
    }
    // The error name of a reply without "org.cyclomarkator." or "org.freedesktop.", or "ok".
    static std::string outcome(const QDBusMessage& reply) {
        if (reply.type() != QDBusMessage::ErrorMessage)
            return "ok";
        return reply.errorName().section(u'.', 2).toStdString();
    }

    QTemporaryDir dir;
    const QString socket = dir.filePath("bus");
    std::unique_ptr<PrivateBus> bus = std::make_unique<PrivateBus>(socket);
    FakeLinkTarget target;
    LinkServer::Options options;
    std::unique_ptr<LinkServer> server;

private:
    QStringList m_clients;
};

// A client reads the items as properties (busctl, which the README shows,
// too; the watch's N_f a number, its reference in volts) and any control by
// Request, and is told every change without polling:
// changes made together go out together, an unchanged item is not announced,
// and a burst of changes (twenty-five voltages a second to every subscriber)
// goes out once per interval, newest value last.
TEST_F(LinkServerTest, ClientReadsIsToldOfChangesAndSeesUnknownCommandsShownAfterTheAnswer) {
    options.announceIntervalMs = 1000;
    options.showIntervalMs = 1000;
    startServer();
    QProcess busctl;
    busctl.start("busctl", {"--address=" + bus->address(), "get-property", Service, "/Control",
                            Link, CountItem});
    ASSERT_TRUE(QTest::qWaitFor([&] { return busctl.state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(busctl.readAllStandardOutput(), QByteArray("s \"41\"\n"));
    QDBusConnection reader = client();
    const QVariantMap all = qdbus_cast<QVariantMap>(value(reader, "GetAll", {Link}, Props));
    EXPECT_EQ(std::pair(all.value(WatchNfItem), all.value(WatchReferenceAmplitudeItem)),
              std::pair(QVariant(-1), QVariant(0.0)));
    EXPECT_EQ(
        all.keys(),
        QStringList({"Combo_AD_channel", "Label_AD_cmd", "Label_AD_get_Voltage",
                     "Label_AD_get_cyclomarkator", "Label_AD_get_cyclomarkator2",
                     "Label_AD_trigger", "Label_Periodizitaet", "Label_Status", "Label_TrigCount",
                     "Label_TrigEvents", "Watch_Criterion", "Watch_Nf", "Watch_ReferenceAmplitude",
                     "Watch_ReferencePeak", "Watch_ReferenceValley", "Watch_State"}));
    EXPECT_EQ(value(reader, "Request", {"label_status"}).toString(), "Dummy A/D");

    ChangeCollector collector(reader);
    const QVariantMap together{{CountItem, "42"},
                               {MinorCountItem, "1"},
                               {WatchNfItem, 5000},
                               {WatchReferenceAmplitudeItem, 1.25}};
    for (auto it = together.begin(); it != together.end(); ++it)
        target.setCaption(it.key(), it.value().toString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !collector.changes.isEmpty(); }));
    EXPECT_EQ(collector.changes.first(), together);
    for (int i = 1; i <= 50; ++i) {
        target.setCaption(VoltageItem, QString::number(i));
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return collector.changes.last().value(VoltageItem).toString() == "50"; }));
    EXPECT_EQ(collector.changes.size(), 2);

    // An unknown command is shown to the user only after the client has its
    // answer: a box that waited for a person before answering would hang the
    // client. A flood is answered in full and shows the newest text a few
    // times, never once per command.
    const QDBusPendingCall answered = reader.asyncCall(message("Execute", {"HELLO"}), 5000);
    bool answeredWhileShown = false;
    target.onShow = [&](const QString&) {
        // A modal box: the user reads it while the event loop runs on.
        answeredWhileShown = QTest::qWaitFor([&] { return answered.isFinished(); }, 3000);
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.shown.isEmpty(); }));
    EXPECT_TRUE(answeredWhileShown);
    EXPECT_EQ(target.shown, QStringList({"HELLO"}));
    target.onShow = nullptr;

    QList<QDBusPendingCall> flood;
    for (int i = 0; i < 200; ++i)
        flood << reader.asyncCall(message("Execute", {QStringLiteral("HELLO %1").arg(i)}), 10000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return target.shown.last() == "HELLO 199"; }, 10000));
    for (const auto& reply : flood)
        EXPECT_FALSE(reply.isError());
    EXPECT_LE(target.shown.size(), 4);
}

// Each call a client can make, answered or refused by a named error whose
// text quotes little of a megabyte sent; a count set is saved (here: handed
// to the target) or, when that fails, an error. Poking writes Label_AD_cmd.
// While any conversation is open the program is locked; it unlocks when the
// last one closes, also when its client just vanishes. Conversations are
// limited, and a command needs none.
TEST_F(LinkServerTest, CallsAreAnsweredOrRefusedByNameAndConversationsLock) {
    options.maxConversations = 2;
    startServer();
    QDBusConnection caller = client(), second = client(), third = client();
    const QString& Command = CommandItem;
    const QString Long(1 << 20, u'x'); // never shown to the user
    const std::tuple<QString, QVariantList, QString, std::string> cases[] = {
        {"Execute", {"ad_get_cyclomarkator = 1500"}, Link, "ok"},
        {"Execute", {"AD_GET_VOLTAGE=3"}, Link, "ok"},
        {"Execute", {Long}, Link, "Link1.Error.InvalidValue"},
        {"Execute", {1500}, Link, "DBus.Error.InvalidArgs"},
        {"Set", {Link, Command, boxed("hello")}, Props, "ok"},
        {"Set", {Link, Command, boxed(5)}, Props, "DBus.Error.InvalidArgs"},
        {"Set", {Link, Command, boxed(Long)}, Props, "Link1.Error.InvalidValue"},
        {"Set", {Link, CountItem, boxed("0")}, Props, "DBus.Error.PropertyReadOnly"},
        {"Set", {Link, WatchNfItem, boxed(5)}, Props, "DBus.Error.PropertyReadOnly"},
        {"Request", {Long}, Link, "Link1.Error.UnknownItem"},
        {"Request", {}, Link, "DBus.Error.InvalidArgs"},
        {"OpenLink", {"x"}, Link, "DBus.Error.InvalidArgs"},
        {"Launch", {}, Link, "DBus.Error.UnknownMethod"},
        {"Request", {"Label_Status"}, "org.example.Other", "DBus.Error.UnknownInterface"},
        {"Get", {"org.example.Other", Command}, Props, "DBus.Error.UnknownInterface"},
        {"Get", {Link, "Label5(0)"}, Props, "DBus.Error.UnknownProperty"},
        {"Get", {Link}, Props, "DBus.Error.InvalidArgs"},
    };
    for (const auto& [member, arguments, interface, expected] : cases) {
        SCOPED_TRACE(member.toStdString() + " " +
                     arguments.value(0).toString().left(30).toStdString());
        const QDBusMessage reply = call(caller, member, arguments, interface);
        EXPECT_EQ(outcome(reply), expected) << reply.errorMessage().toStdString();
        EXPECT_EQ(reply.errorMessage().isEmpty(), expected == "ok");
        EXPECT_LT(reply.errorMessage().size(), 300);
    }
    EXPECT_EQ(target.captions.value(Command), "hello");

    EXPECT_EQ(outcome(call(caller, "CloseLink")), "Link1.Error.NotOpen");
    EXPECT_EQ(outcome(call(caller, "OpenLink")), "ok");
    EXPECT_EQ(outcome(call(caller, "OpenLink")), "ok"); // still one conversation
    EXPECT_EQ(outcome(call(second, "OpenLink")), "ok");
    EXPECT_EQ(outcome(call(third, "OpenLink")), "Link1.Error.TooManyConversations");
    EXPECT_EQ(outcome(call(third, "Execute", {"AD_GET_CYCLOMARKATOR=9"})), "ok");
    EXPECT_EQ(target.countsSet, std::vector<int32_t>({1500, 9}));
    EXPECT_TRUE(target.locked);
    EXPECT_EQ(target.lamp, LinkLamp::Open);
    EXPECT_EQ(outcome(call(caller, "CloseLink")), "ok");
    EXPECT_TRUE(target.locked); // the other one is still open
    // Its connection ends, as when the client's process is killed.
    const QString name = second.name();
    second = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(name);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.locked; }));
    EXPECT_EQ(target.lamp, LinkLamp::Idle);

    target.saveFails = true;
    EXPECT_EQ(outcome(call(caller, "Execute", {"AD_GET_CYCLOMARKATOR=7"})), "Link1.Error.NotSaved");
    EXPECT_EQ(target.captions.value(CountItem), "9");

    const QString xml =
        value(caller, "Introspect", {}, "org.freedesktop.DBus.Introspectable").toString();
    for (const char* part :
         {"org.cyclomarkator.Link1", R"("Label_AD_cmd" type="s" access="readwrite")",
          R"("Watch_Nf" type="i" access="read")", R"(name="Execute")",
          "org.freedesktop.DBus.Properties"})
        EXPECT_TRUE(xml.contains(QLatin1String(part))) << part;
}

// Another program holds the name: a link error, and the name is taken over
// when that program lets it go. The bus goes away under an open conversation:
// a numbered link error, the program unlocked, and the link back when the bus is.
TEST_F(LinkServerTest, WaitsForATakenNameAndReconnectsWhenTheBusComesBack) {
    options.watchIntervalMs = 50;
    options.reconnectIntervalMs = 100;
    QDBusConnection squatter = client();
    ASSERT_TRUE(squatter.registerService(Service));
    startServer(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.problems.isEmpty(); }));
    EXPECT_TRUE(target.problems.first().startsWith("DDE link error:3 - "))
        << target.problems.first().toStdString();
    EXPECT_FALSE(server->ownsName());
    ASSERT_TRUE(squatter.unregisterService(Service));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->ownsName(); }));

    QDBusConnection holder = client();
    ASSERT_EQ(outcome(call(holder, "OpenLink")), "ok");
    ASSERT_TRUE(target.locked);
    target.problems.clear();
    target.notices.clear();
    bus->kill();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !target.problems.isEmpty(); }));
    EXPECT_TRUE(target.problems.first().startsWith("DDE link error:1 - "));
    EXPECT_EQ(target.lamp, LinkLamp::Error);
    EXPECT_FALSE(target.locked);
    target.setCaption(CountItem, "43"); // counting goes on meanwhile

    bus = std::make_unique<PrivateBus>(socket);
    ASSERT_TRUE(bus->start()) << bus->error.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->ownsName(); }, 10000));
    EXPECT_EQ(target.problems.size(), 1);
    EXPECT_EQ(target.notices.size(), 1);
    QDBusConnection reader = client();
    EXPECT_EQ(value(reader, "Request", {CountItem}).toString(), "43");
}

// A bus that lets the link in and never answers (never finishes the login,
// never answers Hello, a daemon stopped before the start) holds up neither
// the tick nor the end: said once, the lamp off, ticks go on and the end
// comes while the bus still hangs. The stopped daemon, once it goes on again,
// is taken up.
TEST_F(LinkServerTest, ABusThatNeverAnswersHoldsUpNeitherTheTickNorTheEnd) {
    options.connectTimeoutMs = 200;
    options.reconnectIntervalMs = 50;
    SilentBus silent(dir.filePath("silent"), SilentBus::Mode::Silent);
    SilentBus noHello(dir.filePath("no-hello"), SilentBus::Mode::NoHello);
    std::atomic<bool> stopped = true;
    bus->signal(SIGSTOP);
    std::thread resume([&] { // frees a test that is stuck, so that it fails instead
        for (int i = 0; i < 400 && stopped; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        bus->signal(SIGCONT);
    });
    const std::tuple<const char*, QString, std::function<bool()>> buses[] = {
        {"silent", silent.address(), [&] { return silent.holding(); }},
        {"no Hello", noHello.address(), [&] { return noHello.holding(); }},
        {"stopped", options.busAddress, [&] { return stopped.load(); }},
    };
    for (const auto& [name, address, hangs] : buses) {
        SCOPED_TRACE(name);
        target.notices.clear();
        options.busAddress = address;
        startServer(false);
        int ticksWhileHung = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout,
                         [&, &hangs = hangs] { ticksWhileHung += hangs(); });
        tick.start(5);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return ticksWhileHung >= 20 && !target.notices.isEmpty(); }, 10000));
        EXPECT_EQ(target.notices.size(), 1);
        EXPECT_TRUE(target.notices.value(0).startsWith("No session bus at " + address))
            << target.notices.value(0).toStdString();
        EXPECT_EQ(target.lamp, LinkLamp::Off);
        server.reset();
        EXPECT_TRUE(hangs());
    }
    startServer(false);
    stopped = false;
    resume.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server->ownsName(); }, 10000));
}

// A bus that stops reading while the link is on it: announcements are
// dropped instead of piling up in memory, which is said once; once the bus
// goes on, how many were dropped is said and clients hear the newest values.
TEST_F(LinkServerTest, AnnouncementsAreDroppedWhileTheBusTakesNone) {
    options.announceIntervalMs = 0;
    options.maxWaitingBytes = 4096;
    startServer();
    QDBusConnection reader = client();
    ChangeCollector collector(reader);
    bus->signal(SIGSTOP);
    for (int i = 0; i < 20000 && target.problems.isEmpty(); ++i) {
        target.setCaption(VoltageItem, QString::number(i));
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(target.problems.size(), 1);
    EXPECT_TRUE(target.problems.first().startsWith("DDE link error:2 - "));
    for (int i = 0; i < 100; ++i) {
        target.setCaption(CountItem, QString::number(i));
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(target.problems.size(), 1);
    bus->signal(SIGCONT);
    const QDeadlineTimer deadline(10000);
    while (target.notices.isEmpty() && !deadline.hasExpired()) {
        target.setCaption(VoltageItem, QString::number(deadline.remainingTime()));
        QTest::qWait(20);
    }
    ASSERT_EQ(target.notices.size(), 1);
    EXPECT_TRUE(target.notices.first().contains("announcement(s) were dropped"));
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return std::any_of(
            collector.changes.begin(), collector.changes.end(),
            [](const QVariantMap& change) { return change.value(CountItem) == "99"; });
    }));
}

// No bus at start: said once, lamp off, nothing else happens. (A bus address
// where nobody listens is the process tests' case.)
TEST_F(LinkServerTest, RunsWithoutTheLinkWhenThereIsNoBus) {
    options.busAddress.clear();
    startServer(false);
    EXPECT_EQ(std::tuple(target.notices.size(), target.problems.size(), target.lamp,
                         target.toolTip.isEmpty()),
              std::tuple(1, 0, LinkLamp::Off, false));
    target.setCaption(CountItem, "5"); // nothing to announce to
}
} // namespace

#include "LinkServerTest.moc"
