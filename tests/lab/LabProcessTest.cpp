// cyclomarkator-lab as a lab runs it: a real mosquitto on 127.0.0.1, two rigs
// published by the test, the program serving the page, and headless Chromium
// reading it after its script ran (the README's screenshot comes from here).
#include "LabHttp.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <mosquitto.h>

namespace {
quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool startBroker(QProcess& broker, const QTemporaryDir& dir, quint16 port) {
    QFile config(dir.filePath("mosquitto.conf"));
    if (!config.open(QIODevice::WriteOnly))
        return false;
    config.write(
        QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n").arg(port).toUtf8());
    config.close();
    broker.start(QStringLiteral("mosquitto"), {"-c", config.fileName()});
    return broker.waitForStarted(10000) && QTest::qWaitFor(
                                               [port] {
                                                   QTcpSocket probe;
                                                   probe.connectToHost("127.0.0.1", port);
                                                   return probe.waitForConnected(200);
                                               },
                                               10000);
}

// Publishes retained messages with QoS 1 and waits (bounded) until the broker has them all.
bool publish(quint16 port, const QList<std::pair<QByteArray, QByteArray>>& messages) {
    mosquitto_lib_init();
    int acknowledged = 0;
    mosquitto* client = mosquitto_new(nullptr, true, &acknowledged);
    mosquitto_publish_callback_set(
        client, [](mosquitto*, void* count, int) { ++*static_cast<int*>(count); });
    bool ok = mosquitto_connect(client, "127.0.0.1", port, 10) == MOSQ_ERR_SUCCESS;
    for (const auto& [topic, payload] : messages)
        ok = ok && mosquitto_publish(client, nullptr, topic.constData(), int(payload.size()),
                                     payload.constData(), 1, true) == MOSQ_ERR_SUCCESS;
    for (int i = 0; ok && i < 200 && acknowledged < messages.size(); ++i)
        mosquitto_loop(client, 50, 1);
    ok = ok && acknowledged == messages.size();
    mosquitto_disconnect(client);
    mosquitto_destroy(client);
    return ok;
}

QByteArray runChromium(const QString& chromium, const QTemporaryDir& dir, QStringList arguments) {
    QProcess browser;
    browser.start(chromium,
                  QStringList{"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                              "--no-first-run", "--disable-background-networking",
                              "--disable-component-update", "--disable-sync",
                              "--user-data-dir=" + dir.filePath("chromium")} +
                      arguments);
    if (!browser.waitForFinished(90000)) {
        browser.kill();
        browser.waitForFinished(5000);
    }
    return browser.readAllStandardOutput();
}
} // namespace

TEST(LabProcess, PageShowsEveryRigOfTheBroker) {
    QTemporaryDir dir;
    const quint16 brokerPort = freePort();
    QProcess broker;
    ASSERT_TRUE(startBroker(broker, dir, brokerPort))
        << broker.readAllStandardError().toStdString();
    ASSERT_TRUE(publish(brokerPort,
                        {{"lab/press-1/state", "online"},
                         {"lab/press-1/count", "1234"},
                         {"lab/press-1/voltage", "2.5"},
                         {"lab/press-1/info", R"({"version":"1.0.0","converter":"Dummy A/D",)"
                                              R"("channel":"1","start":"2024-05-01T08:00:00Z"})"},
                         {"lab/press-1/status", R"({"text":"<img src=x onerror=alert(1)>",)"
                                                R"("time":"2024-05-01T09:00:00Z","problem":true})"},
                         {"lab/shaker_2/state", "stopped"},
                         {"lab/shaker_2/count", "98765"},
                         {"lab/shaker_2/watch", R"({"state":"failed","n_f":98000})"}}));

    const quint16 pagePort = freePort();
    QProcess lab;
    lab.start(LAB_TOOL_PATH,
              {"--broker", QStringLiteral("mqtt://127.0.0.1:%1").arg(brokerPort), "--prefix", "lab",
               "--listen", QStringLiteral("127.0.0.1:%1").arg(pagePort)});
    ASSERT_TRUE(lab.waitForStarted(10000));
    QJsonArray rigs;
    (void)QTest::qWaitFor(
        [&] {
            rigs = QJsonDocument::fromJson(httpRequest(pagePort, "GET", "/state.json", 2000).body)
                       .object()["rigs"]
                       .toArray();
            return rigs.size() == 2 && !rigs[0].toObject()["status"].isNull() &&
                   !rigs[1].toObject()["watch"].isNull();
        },
        20000);
    ASSERT_EQ(rigs.size(), 2) << lab.readAllStandardError().toStdString();
    EXPECT_EQ(rigs[0].toObject()["count"].toInt(), 1234);
    EXPECT_EQ(rigs[1].toObject()["count"].toInt(), 98765);

    const QString chromium = QStandardPaths::findExecutable("chromium");
    if (chromium.isEmpty()) {
        lab.terminate();
        GTEST_SKIP() << "chromium is not installed (scripts/install-deps installs it): the page "
                        "was not loaded in a browser";
    }
    const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(pagePort);
    const QByteArray dom =
        runChromium(chromium, dir, {"--virtual-time-budget=3000", "--dump-dom", url});
    EXPECT_TRUE(dom.contains(R"(<div class="count">1234</div>)")) << dom.toStdString();
    EXPECT_TRUE(dom.contains(R"(<div class="count">98765</div>)"));
    EXPECT_TRUE(dom.contains("tile stopped failed"));
    EXPECT_TRUE(dom.contains("&lt;img src=x onerror=alert(1)&gt;")) << "a payload's HTML rendered";
    QFile::remove(LAB_SCREENSHOT);
    runChromium(chromium, dir,
                {"--screenshot=" LAB_SCREENSHOT, "--window-size=1000,640", "--hide-scrollbars",
                 "--virtual-time-budget=3000", url});
    QFile screenshot(LAB_SCREENSHOT);
    ASSERT_TRUE(screenshot.open(QIODevice::ReadOnly));
    EXPECT_TRUE(screenshot.read(8).startsWith("\x89PNG"));

    lab.terminate();
    ASSERT_TRUE(lab.waitForFinished(10000));
    EXPECT_EQ(lab.exitCode(), 0);
    broker.terminate();
    broker.waitForFinished(10000);
}
