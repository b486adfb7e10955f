// The main window with its link on a private bus: a client reads what the
// labels show, commands the counter does not know are shown without waiting,
// and a conversation locks the window as a DDE link did.
#include "WindowHarness.h"
#include "session/LinkProtocol.h"
#include "session/LinkServer.h"
#include "support/OnlyPrompt.h"
#include "support/PrivateBus.h"

#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {
using namespace LinkProtocol;
const QString Service = QStringLiteral("org.cyclomarkator.WindowTest");

// The items a client reads are the texts the labels show (that changes reach
// a watching client by themselves, the link's own tests and the client's
// process test show). A box that waited for the user would hold up the
// counting; two would bury the window under a flood: one box, never modal,
// shows the newest unknown command. While a client holds a conversation the
// user can neither exit nor change the channel, and closing is refused with
// the described message; the lamp is green. It all comes back when the
// client's connection ends.
TEST(LinkWindowTest, ItemsAsTheLabelsCommandsWithoutWaitingAndTheConversationLock) {
    // The window goes before the bus; the client's connection ends with the test.
    PrivateBus bus;
    ASSERT_TRUE(bus.start()) << bus.error.toStdString();
    WindowHarness h;
    h.writeSettings(dummySettings(QStringLiteral("[Cyclomarkator]\nValue=41\n")));
    h.makeSession().setLink(Service, bus.address());
    h.startWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.session->link()->ownsName(); }));
    const QString clientName = QStringLiteral("window-client");
    const auto disconnect = qScopeGuard([&] { QDBusConnection::disconnectFromBus(clientName); });
    QDBusConnection client = QDBusConnection::connectToBus(bus.address(), clientName);
    ASSERT_TRUE(client.isConnected());
    // The first value of the answer, or the error's name.
    const auto call = [&](const QString& member, const QVariantList& arguments = {},
                          const QString& interface = Interface) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(Service, ObjectPath, interface, member);
        message.setArguments(arguments);
        const QDBusMessage reply = client.call(message, QDBus::BlockWithGui, 5000);
        return reply.type() == QDBusMessage::ErrorMessage ? reply.errorName()
                                                          : reply.arguments().value(0).toString();
    };
    const auto lamp = [&] { return h.colour("Picture_DDE", QPalette::Window); };
    for (int32_t at : {0, Top, Bottom})
        h.tickAt(at);
    ASSERT_EQ(h.text("Label_AD_get_cyclomarkator"), "42");
    // The voltage label follows at its own pace; the item must come to the same text.
    for (const char* label :
         {"Label_AD_get_cyclomarkator", "Label_AD_get_Voltage", "Label_TrigCount"})
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return call("Request", {QLatin1String(label)}) == h.text(label);
        })) << label;

    for (const char* command : {"HELLO", "<b>WORLD</b>"})
        ASSERT_EQ(call("Execute", {QString::fromLatin1(command)}), "");
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return h.form->linkCommandBox() && h.form->linkCommandBox()->text() == "<b>WORLD</b>";
    }));
    EXPECT_EQ(h.form->findChildren<QMessageBox*>().size(), 1);
    EXPECT_EQ(h.form->linkCommandBox()->textFormat(), Qt::PlainText);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(h.session->countingTimer().isActive());

    const QVariant poked = QVariant::fromValue(QDBusVariant(QStringLiteral("<i>hello</i>")));
    ASSERT_EQ(call("Set", {Interface, CommandItem, poked}, PropertiesInterface), "");
    EXPECT_EQ(h.text("Label_AD_cmd"), "<i>hello</i>");
    EXPECT_EQ(h.find("Label_AD_cmd")->textFormat(), Qt::PlainText);

    ASSERT_EQ(call("OpenLink"), "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !h.action("mnuExit")->isEnabled(); }));
    EXPECT_FALSE(h.find<QComboBox>("Combo_AD_channel")->isEnabled());
    EXPECT_EQ(lamp(), QColor(0, 255, 0));

    EXPECT_FALSE(h.form->close());
    EXPECT_FALSE(h.session->unloaded());
    EXPECT_EQ(onlyPrompt(h.prompts),
              "Cyclomarkator|Exclamation|This program cannot be closed while a DDE link is open.");

    client = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(clientName);
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.action("mnuExit")->isEnabled(); }));
    EXPECT_TRUE(h.find<QComboBox>("Combo_AD_channel")->isEnabled());
    EXPECT_EQ(lamp(), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_TRUE(h.form->close());
    EXPECT_TRUE(h.session->unloaded());
}

// The link's news takes the colour of what it says, whatever the status line
// showed before: no bus at the start is a problem (red), the bus taken up
// later a recovery (green).
TEST(LinkWindowTest, NoBusIsShownAsAProblemAndTheBusTakenUpAsARecovery) {
    QTemporaryDir folder;
    const QString socket = folder.filePath("bus");
    PrivateBus bus(socket);
    WindowHarness h;
    h.writeSettings(dummySettings());
    h.makeSession().setLink(Service, "unix:path=" + socket);
    h.startWindow();
    // The first try for the bus runs beside the counting and fails a moment later.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return h.text("Label_Status").startsWith("No session bus at "); }, 10000))
        << h.text("Label_Status").toStdString();
    EXPECT_EQ(h.colour("Label_Status", QPalette::Window), QColor(255, 0, 0));
    ASSERT_TRUE(bus.start()) << bus.error.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.session->link()->connected(); }, 20000));
    EXPECT_TRUE(h.text("Label_Status").startsWith("DDE link on the session bus again"));
    EXPECT_EQ(h.colour("Label_Status", QPalette::Window), QColor(0, 255, 0));
}
} // namespace
