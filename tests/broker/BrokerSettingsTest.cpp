// The [MQTT] section as a user writes it, and the queue that stands between
// the counter and a broker that is away.
#include "broker/BrokerSettings.h"
#include "broker/BrokerQueue.h"
#include "platform/ProfileFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct SectionRow {
    const char* section;
    const char* expected; // "none", an error fragment, or "host:port:tls:rig:prefix"
};

class MqttSection : public testing::TestWithParam<SectionRow> {};

TEST_P(MqttSection, IsReadOrRefusedWithAReason) {
    QTemporaryDir dir;
    QFile password(dir.filePath("open"));
    ASSERT_TRUE(password.open(QIODevice::WriteOnly));
    password.write("s3cret\n");
    password.close();
    QFile::setPermissions(password.fileName(), QFile::ReadOwner | QFile::ReadOther);
    const QString settingsPath = dir.filePath("c.INI");
    QFile settings(settingsPath);
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(QByteArray(GetParam().section).replace("DIR", dir.path().toUtf8()));
    settings.close();
    ProfileFile file(settingsPath);
    file.load();
    const auto read = BrokerSettings::read(file, "rig7");
    const QString expected = GetParam().expected;
    if (expected == "none") {
        EXPECT_TRUE(std::holds_alternative<BrokerSettings::NoBroker>(read));
        return;
    }
    if (const auto* s = std::get_if<BrokerSettings>(&read)) {
        EXPECT_EQ(
            QString("%1:%2:%3:%4:%5").arg(s->host).arg(s->port).arg(s->tls).arg(s->rig, s->prefix),
            expected);
        return;
    }
    const QString why = std::get<QString>(read);
    EXPECT_TRUE(why.contains(expected)) << why.toStdString();
    EXPECT_FALSE(why.contains("s3cret"));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MqttSection,
    testing::Values(
        SectionRow{"[Cyclomarkator]\nValue=3\n", "none"},
        SectionRow{"[mqtt]\nbroker=mqtt://lab.example\n", "lab.example:1883:0:rig7:cyclomarkator"},
        SectionRow{"[MQTT]\nBroker=mqtts://10.0.0.2\nRig=r 1\nPrefix=plant/hall2\n",
                   "10.0.0.2:8883:1:r 1:plant/hall2"},
        SectionRow{"[MQTT]\nBroker=mqtt://[::1]:1999\n", "::1:1999:0:rig7:cyclomarkator"},
        SectionRow{"[MQTT]\nBroker=http://lab\n", "is no broker address"},
        SectionRow{"[MQTT]\nBroker=mqtt://u:pw@lab\n", "User= and PasswordFile="},
        SectionRow{"[MQTT]\nBroker=mqtt://lab:99999\n", "is no broker address"},
        SectionRow{"[MQTT]\nBroker=mqtt://lab\nRig=a/b\n", "cannot be part of a topic"},
        SectionRow{"[MQTT]\nBroker=mqtt://lab\nPrefix=lab/#\n", "cannot be part of a topic"},
        SectionRow{"[MQTT]\nBroker=mqtt://lab\nPrefix=lab//x\n", "empty topic level"},
        SectionRow{"[MQTT]\nBroker=mqtt://lab\nCAFile=/etc/hostname\n", "mqtts:// brokers only"},
        SectionRow{"[MQTT]\nBroker=mqtt://lab\nUser=u\nPasswordFile=DIR/open\n",
                   "can be read by others"},
        SectionRow{"[MQTT]\nBroker=mqtt://lab\nUser=u\nPasswordFile=DIR/none\n",
                   "cannot be read"}));

// Of a retained topic only the newest value waits, and all of them wait again
// after a reconnect; the others are bounded, and what never left is counted.
TEST(BrokerQueueTest, KeepsTheNewestRetainedValueAndBoundsTheRest) {
    BrokerQueue queue(2);
    queue.put("r/state", "online", true);
    for (const char* count : {"1", "2", "3"})
        queue.put("r/count", count, true);
    for (const char* trigger : {"t1", "t2", "t3"})
        queue.put("r/trigger", trigger, false);
    EXPECT_EQ(queue.takeDropped(), 3);
    QStringList taken;
    while (auto message = queue.take())
        taken << message->topic + '=' + message->payload;
    EXPECT_EQ(taken, QStringList({"r/state=online", "r/count=3", "r/trigger=t2", "r/trigger=t3"}));
    queue.put("r/count", "4", true);
    queue.republishRetained();
    taken.clear();
    while (auto message = queue.take())
        taken << message->topic + '=' + message->payload;
    EXPECT_EQ(taken, QStringList({"r/state=online", "r/count=4"}));
    EXPECT_EQ(queue.takeDropped(), 0);
}

} // namespace
