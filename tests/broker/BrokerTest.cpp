// The counter on a real mosquitto broker: what a subscriber sees while it
// counts, a broker that goes away and comes back, a refused login, TLS with
// the test's own CA, and the count set from the broker. The session runs
// in-process on a test clock; the simulated converter is at +10 V at 5 s and
// -10 V at 15 s of each 20 s period, so two ticks make a cycle.
#include "broker/BrokerPublisher.h"

#include "adc/LibadxDevices.h"
#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"
#include "session/CounterSession.h"
#include "support/ManualClock.h"
#include "support/RecordingCoreView.h"
#include "support/ScriptedPrompts.h"
#include "support/TestBroker.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {
using namespace testbroker;
const QString Rig = QStringLiteral("cyclomarkator/rig1/");

class OnBroker : public testing::Test {
protected:
    void SetUp() override {
        if (mosquittoProgram().isEmpty())
            GTEST_SKIP() << "mosquitto is not installed (scripts/install-deps installs it)";
        for (const char* folder : {"program", "temp"})
            QDir().mkpath(dir.filePath(folder));
    }
    // A session on the Dummy A/D at count 5, publishing to `settings`.
    void start(BrokerSettings settings) {
        ASSERT_TRUE(AtomicFile::write(dir.filePath("program/Cyclomarkator.INI"),
                                      "[HARDWARE]\nA/D-Converter=Dummy A/D\n"
                                      "[Cyclomarkator]\nValue=5\n"));
        const ProgramFolderChoice folder{dir.filePath("program"), "Cyclomarkator", {}, false, {}};
        session = std::make_unique<CounterSession>(
            CounterSession::Environment{folder, dir.filePath("temp"), dir.filePath("config"),
                                        "Cyclomarkator"},
            prompts, clock, devices);
        ASSERT_TRUE(session->LoadSettings());
        settings.rig = "rig1";
        publisher = std::make_unique<BrokerPublisher>(*session, clock, std::move(settings),
                                                      BrokerClient::Options{1, 1, 30, 2000});
        session->setFollower(publisher.get());
        session->Form_Load(view);
        session->start();
    }
    static BrokerSettings plain(const Broker& broker) {
        BrokerSettings settings;
        settings.host = "127.0.0.1";
        settings.port = broker.port;
        return settings;
    }
    void cycle() {
        ++period;
        for (const int32_t at : {5000, 15000}) {
            clock.set(period * 20000 + at);
            QMetaObject::invokeMethod(&session->countingTimer(), "timeout");
        }
    }
    QString saved() const {
        ProfileFile file(dir.filePath("program/Cyclomarkator.INI"));
        file.load();
        return file.readString("Cyclomarkator", "Value", "");
    }
    qsizetype problemsWith(const char* text) const {
        return std::count_if(view.problems.begin(), view.problems.end(),
                             [text](const QString& p) { return p.contains(text); });
    }

    QTemporaryDir dir;
    ManualClock clock{0};
    int32_t period = 0;
    ScriptedPrompts prompts;
    NoLibadxDevices devices;
    RecordingMainView view;
    std::unique_ptr<CounterSession> session;
    std::unique_ptr<BrokerPublisher> publisher;
};

// Online, the run's settings, every saved count, the voltage and the end;
// the broker killed and started again gets the retained state back, and the
// counting went on meanwhile, its loss and return said once each.
TEST_F(OnBroker, PublishesWhileCountingAndRepublishesAfterTheBrokerCameBack) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    Subscriber watcher(broker.port, Rig + "#");
    start(plain(broker));
    ASSERT_TRUE(waitFor([&] { return watcher.last(Rig + "state") == "online"; }));
    cycle();
    cycle();
    ASSERT_TRUE(waitFor([&] { return watcher.last(Rig + "count") == "7"; }));
    const QJsonObject info = QJsonDocument::fromJson(watcher.last(Rig + "info")).object();
    EXPECT_EQ(info["converter"].toString(), "Dummy A/D");
    EXPECT_FALSE(watcher.last(Rig + "voltage").contains(','));
    // The watch is off here: its state is published, without N_f or reference.
    ASSERT_TRUE(waitFor([&] { return !watcher.last(Rig + "watch").isNull(); }));
    EXPECT_EQ(watcher.last(Rig + "watch"),
              R"({"criterion":null,"n_f":null,"reference":null,"state":"off"})");

    broker.stop();
    ASSERT_TRUE(waitFor([&] { return problemsWith("lost the broker") > 0; }));
    for (int n = 0; n < 5; ++n)
        cycle();
    EXPECT_EQ(saved(), "12");
    ASSERT_TRUE(broker.start());
    Subscriber late(broker.port, Rig + "#");
    ASSERT_TRUE(waitFor([&] { return late.last(Rig + "count") == "12"; }));
    EXPECT_EQ(late.last(Rig + "state"), "online");
    ASSERT_TRUE(waitFor([&] { return !view.recoveries.isEmpty(); }));
    EXPECT_EQ(problemsWith("MQTT"), 1) << view.problems.join('\n').toStdString();
    EXPECT_TRUE(view.recoveries.last().contains("dropped")) << view.recoveries.last().toStdString();
    const QJsonObject status = QJsonDocument::fromJson(late.last(Rig + "status")).object();
    EXPECT_FALSE(status["problem"].toBool());
    EXPECT_EQ(status["text"].toString(), view.recoveries.last());

    session->Form_Unload(session->general());
    EXPECT_EQ(late.last(Rig + "state"), "stopped"); // flushed before the end returned
}

// A refused login and a certificate that does not name the host are said
// once each, and nothing is published; the test CA's certificate is taken.
struct LoginRow {
    const char* password;
    const char* certificateFor; // empty: no TLS
    const char* problem;        // empty: it connects
};
class Login : public OnBroker, public testing::WithParamInterface<LoginRow> {};

TEST_P(Login, ConnectsOrSaysWhyOnce) {
    const LoginRow row = GetParam();
    Broker broker({"lab", "right", QString(row.certificateFor).split(';', Qt::SkipEmptyParts)});
    ASSERT_TRUE(broker.start());
    BrokerSettings settings = plain(broker);
    settings.user = "lab";
    settings.password = row.password;
    settings.tls = *row.certificateFor != 0;
    if (settings.tls)
        settings.caFile = broker.path("ca.crt");
    start(settings);
    if (!*row.problem) {
        ASSERT_TRUE(waitFor([&] { return publisher->client().isConnected(); }));
        EXPECT_TRUE(view.problems.isEmpty()) << view.problems.join('\n').toStdString();
        return;
    }
    ASSERT_TRUE(waitFor([&] { return problemsWith(row.problem) > 0; }));
    QTest::qWait(2500); // more attempts (one a second) say nothing more
    EXPECT_EQ(problemsWith("MQTT"), 1) << view.problems.join('\n').toStdString();
    EXPECT_FALSE(publisher->client().isConnected());
    EXPECT_FALSE(view.problems.join(' ').contains(row.password));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Login,
    testing::Values(LoginRow{"right", "", ""}, LoginRow{"wrong", "", "refused the connection"},
                    LoginRow{"right", "IP:127.0.0.1;DNS:localhost", ""},
                    LoginRow{"right", "DNS:elsewhere.example", "TLS connection"}));

// set/count sets the count as the link does (checked, saved first) only when
// the rig allows it; every command gets an answer, a refused one changes nothing.
struct SetRow {
    bool allowed;
    const char* topic;
    const char* payload;
    bool retained;
    const char* answer; // "ok" or a fragment of the error
};
class RemoteSet : public OnBroker, public testing::WithParamInterface<SetRow> {};

TEST_P(RemoteSet, SetsOrRefusesWithAnAnswer) {
    const SetRow row = GetParam();
    Broker broker;
    ASSERT_TRUE(broker.start());
    Subscriber peer(broker.port, Rig + "#");
    BrokerSettings settings = plain(broker);
    settings.allowRemoteSetCount = row.allowed;
    // A retained command is one the broker stored before the counter came.
    if (row.retained) {
        ASSERT_TRUE(waitFor([&] {
            peer.publish(Rig + row.topic, row.payload, true);
            return !peer.last(Rig + row.topic).isNull();
        }));
        // Another copy of the command may still be on its way: once a later
        // message came back, the broker has stored them all.
        peer.publish(Rig + "sync", "done");
        ASSERT_TRUE(waitFor([&] { return peer.last(Rig + "sync") == "done"; }));
    }
    start(settings);
    ASSERT_TRUE(waitFor([&] { return peer.last(Rig + "state") == "online"; }));
    if (!row.retained)
        peer.publish(Rig + row.topic, row.payload);
    ASSERT_TRUE(waitFor([&] { return !peer.last(Rig + row.topic + "/result").isNull(); }));
    const QJsonObject answer =
        QJsonDocument::fromJson(peer.last(Rig + row.topic + "/result")).object();
    if (QString(row.answer) == "ok") {
        EXPECT_EQ(answer["count"].toInt(), 1234);
        EXPECT_EQ(saved(), "1234");
        EXPECT_EQ(session->state().CycleCount, 1234);
        return;
    }
    EXPECT_FALSE(answer["ok"].toBool());
    EXPECT_TRUE(answer["error"].toString().contains(row.answer))
        << answer["error"].toString().toStdString();
    EXPECT_EQ(session->state().CycleCount, 5);
}

INSTANTIATE_TEST_SUITE_P(Rows, RemoteSet,
                         testing::Values(SetRow{true, "set/count", "1234", false, "ok"},
                                         SetRow{true, "set/count", "1233,6", false, "ok"},
                                         SetRow{false, "set/count", "1234", false, "are off"},
                                         SetRow{true, "set/count", "-3", false, "never negative"},
                                         SetRow{true, "set/count", "abc\x1b[2J", false, "no digit"},
                                         SetRow{true, "set/count", "1e99", false, "largest count"},
                                         SetRow{true, "set/count", "1234", true, "retained"},
                                         SetRow{true, "set/reset", "1", false, "no command"}));

} // namespace
