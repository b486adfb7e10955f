// The real program with its link on a private bus, driven by the real
// command-line client: reading, watching and setting the count, conversations
// that end with their client, and the ways a client can end the program.
#include "ProgramRig.h"
#include "support/PrivateBus.h"

#include <QFileInfo>

namespace {
const QString LinkName = QStringLiteral("LinkProcessTest");
const QString Held = QStringLiteral("1 conversation\\(s\\) open");

class LinkProcessTest : public ProgramRig {
protected:
    void SetUp() override {
        ProgramRig::SetUp();
        // A hysteresis beyond the signal counts nothing, so the counts the
        // tests set are the only ones.
        writeSettings("[HARDWARE]\nA/D-Converter=Dummy A/D\n[Cyclomarkator]\nValue=41\n"
                      "[Trigger]\nHysterese=100\n");
        ASSERT_TRUE(m_bus.start()) << m_bus.error.toStdString();
        busAddress = m_bus.address();
    }
    void startProgram(QProcess& program, bool headless = true) {
        const QStringList arguments{"--config-dir", path("program"), "--link-name", LinkName};
        start(program, PROGRAM_PATH, headless ? arguments + QStringList{"--headless"} : arguments);
    }
    void startClient(QProcess& client, const QStringList& arguments) {
        start(client, LINK_TOOL_PATH, QStringList{"--name", LinkName} + arguments);
    }
    struct Result {
        int code = -1;
        QString out, err;
    };
    Result link(const QStringList& arguments) {
        QProcess client;
        startClient(client, arguments);
        EXPECT_TRUE(client.waitForFinished(15000)) << arguments.join(' ').toStdString();
        return {client.exitCode(), QString::fromUtf8(client.readAllStandardOutput()),
                errorsOf(client)};
    }

private:
    PrivateBus m_bus;
};

// What a script does with the client: read, watch, set and refuse. "STOP"
// under an open conversation ends the program at once with its count,
// settings and chart whole (the headless end is the same for SIGTERM), the
// holder is told, and afterwards no counter answers.
TEST_F(LinkProcessTest, ClientReadsWatchesSetsAndStopsTheProgram) {
    QProcess program;
    startProgram(program);
    QString seen;
    ASSERT_TRUE(waitFor(program, seen, "no conversation open").hasMatch()) << seen.toStdString();

    EXPECT_EQ(link({"get", "Label_AD_get_cyclomarkator"}).out, "41\n");

    QProcess watch;
    startClient(watch, {"watch", "label_ad_get_cyclomarkator"});
    QString told;
    ASSERT_TRUE(waitFor(watch, told, "Label_AD_get_cyclomarkator ").hasMatch())
        << told.toStdString();
    EXPECT_EQ(link({"set-count", "1500"}).code, 0);
    EXPECT_EQ(saved(), 1500);
    EXPECT_TRUE(waitFor(watch, told, "Label_AD_get_cyclomarkator 1500\n").hasMatch())
        << told.toStdString();
    stop(watch, SIGINT);

    // The client's arguments, its exit code and what it says on stderr.
    const std::tuple<QStringList, int, const char*> refusals[] = {
        {{"set-count", "abc"}, 1, "no digit"},
        {{"set-count", "--", "-3"}, 1, "never negative"},
        {{"watch", "Label5(0)"}, 1, "no item the counter announces"},
        {{"frobnicate"}, 2, "unknown command"},
    };
    for (const auto& [arguments, code, said] : refusals) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const Result result = link(arguments);
        EXPECT_EQ(result.code, code);
        EXPECT_TRUE(result.err.contains(QLatin1String(said))) << result.err.toStdString();
    }
    EXPECT_EQ(link({"exec", "HELLO"}).code, 0);
    EXPECT_TRUE(waitFor(program, seen, "DDE command: HELLO").hasMatch()) << seen.toStdString();

    QProcess holder;
    startClient(holder, {"open"});
    ASSERT_TRUE(waitFor(program, seen, Held).hasMatch()) << seen.toStdString();
    EXPECT_EQ(link({"poke", "stop"}).code, 0);
    expectEnds(program, 0);
    EXPECT_EQ(saved(), 1500); // the refusals changed nothing
    EXPECT_EQ(QFileInfo(dataPath()).size(), 88029);
    expectEnds(holder, 3);
    EXPECT_TRUE(errorsOf(holder).contains("has ended"));
    EXPECT_EQ(link({"get", "Label_AD_get_cyclomarkator"}).code, 3);
}

// "UNLOAD" closes the window as "E&xit" does, although a conversation would
// keep the user from closing it, and even when the chart cannot be saved (a
// folder in the way): nobody asked for a box, so the problem goes to stderr.
TEST_F(LinkProcessTest, PokedUnloadClosesTheWindowWhateverCannotBeSaved) {
    ASSERT_TRUE(QDir().mkdir(dataPath()));
    QProcess program;
    startProgram(program, false);
    const QDeadlineTimer deadline(15000);
    while (link({"get", "Label_Status"}).code != 0 && !deadline.hasExpired())
        program.waitForFinished(100);
    QProcess holder;
    startClient(holder, {"open"});
    QString held;
    ASSERT_TRUE(waitFor(holder, held, "open").hasMatch()) << held.toStdString();

    EXPECT_EQ(link({"poke", "UNLOAD"}).code, 0);
    expectEnds(program, 0);
    EXPECT_NE(saved("General", "Left"), -99);
    EXPECT_TRUE(errorsOf(program).contains("Save Data"));
    expectEnds(holder, 3);
}

} // namespace
