// Who may read the lab page: the token file's rules, the token compared
// whole, the command lines that would open the page to the network without
// one, and the server's answers (read-only, 403 without the token, a live
// stream that follows the board).
#include "LabBoard.h"
#include "LabHttp.h"
#include "LabOptions.h"
#include "LabServer.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>

namespace {
const QByteArray Token = "k3y-for.the_lab~2024";
}

// file text, its mode, whether it is taken
using TokenFileRow = std::tuple<QByteArray, QFile::Permissions, bool>;
class LabTokenFileTable : public testing::TestWithParam<TokenFileRow> {};

TEST_P(LabTokenFileTable, TokenFileOnlyItsOwnerCanRead) {
    const auto& [text, mode, taken] = GetParam();
    QTemporaryDir dir;
    QFile file(dir.filePath("token"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    file.setPermissions(mode);
    QByteArray token;
    QString error;
    EXPECT_EQ(LabToken::read(file.fileName(), token, error), taken) << error.toStdString();
    if (taken) {
        EXPECT_EQ(token, text.trimmed());
    }
}

const QFile::Permissions Owner = QFile::ReadOwner | QFile::WriteOwner;
INSTANTIATE_TEST_SUITE_P(TokenFiles, LabTokenFileTable,
                         testing::Values(TokenFileRow{Token + "\n", Owner, true},
                                         TokenFileRow{Token, Owner | QFile::ReadOther, false},
                                         TokenFileRow{Token, Owner | QFile::ReadGroup, false},
                                         TokenFileRow{"short", Owner, false},
                                         TokenFileRow{"has\"quote<and>more-than-16", Owner, false},
                                         TokenFileRow{"", Owner, false}));

TEST(LabToken, MatchesOnlyTheWholeToken) {
    EXPECT_TRUE(LabToken::matches(Token, Token));
    for (const QByteArray& given : {QByteArray(), Token.left(Token.size() - 1), Token + "x",
                                    QByteArray(Token).replace(0, 1, "K")})
        EXPECT_FALSE(LabToken::matches(Token, given)) << given.toStdString();
    EXPECT_FALSE(LabToken::matches({}, {}));
}

// command line, accepted
using CommandLineRow = std::tuple<QStringList, bool>;
class LabCommandLineTable : public testing::TestWithParam<CommandLineRow> {};

TEST_P(LabCommandLineTable, RefusesWhatWouldOpenThePageOrCannotWork) {
    const auto& [arguments, accepted] = GetParam();
    LabOptions options;
    QString error;
    EXPECT_EQ(LabOptions::parse(arguments, options, error), accepted) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, LabCommandLineTable,
    testing::Values(
        CommandLineRow{{"--broker", "mqtt://lab-broker"}, true},
        CommandLineRow{{"--broker=mqtt://10.0.0.5:1884", "--listen", "[::1]:9000"}, true},
        CommandLineRow{{"--broker", "mqtt://b", "--listen", "0.0.0.0:8080"}, false},
        CommandLineRow{{"--broker", "mqtt://b", "--listen", "0.0.0.0:8080", "--token-file", "t"},
                       true},
        CommandLineRow{{"--broker", "http://b"}, false}, CommandLineRow{{"--listen", "1:2"}, false},
        CommandLineRow{{"--broker", "mqtt://b", "--listen", "127.0.0.1"}, false},
        CommandLineRow{{"--broker", "mqtt://b", "--prefix", "lab/#"}, false},
        CommandLineRow{{"--broker", "mqtt://b", "--bogus"}, false}));

// method, target, status
using RequestRow = std::tuple<QByteArray, QByteArray, int>;
class LabServerTable : public testing::TestWithParam<RequestRow> {};

TEST_P(LabServerTable, ReadOnlyAndOnlyWithTheToken) {
    const auto& [method, target, status] = GetParam();
    LabBoard board("lab");
    LabServer server(board, Token);
    const quint16 port = server.listen(QHostAddress::LocalHost, 0);
    ASSERT_NE(port, 0);
    EXPECT_EQ(httpRequest(port, method, target).status, status);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, LabServerTable,
    testing::Values(RequestRow{"GET", "/?token=" + Token, 200},
                    RequestRow{"GET", "/lab.js?token=" + Token, 200},
                    RequestRow{"GET", "/state.json?token=" + Token, 200},
                    RequestRow{"GET", "/", 403}, RequestRow{"GET", "/state.json?token=wrong", 403},
                    RequestRow{"GET", "/state.json?token=" + Token.left(8), 403},
                    RequestRow{"POST", "/state.json?token=" + Token, 405},
                    RequestRow{"PUT", "/?token=" + Token, 405},
                    RequestRow{"GET", "/admin?token=" + Token, 404}));

TEST(LabServer, PageCarriesItsTokenToItsPartsAndForbidsOutsideScripts) {
    LabBoard board("lab");
    LabServer server(board, Token);
    const quint16 port = server.listen(QHostAddress::LocalHost, 0);
    const HttpReply page = httpRequest(port, "GET", "/?token=" + Token);
    EXPECT_TRUE(page.body.contains("lab.js?token=" + Token));
    EXPECT_TRUE(page.head.contains("script-src 'self'"));
}

TEST(LabServer, EventStreamSendsTheBoardAndEachChange) {
    LabBoard board("lab");
    LabServer server(board, {}, &QDateTime::currentDateTimeUtc, 10);
    const quint16 port = server.listen(QHostAddress::LocalHost, 0);
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    socket.write("GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray stream;
    const auto waitFor = [&](const QByteArray& text) {
        return QTest::qWaitFor([&] { return (stream += socket.readAll()).contains(text); }, 10000);
    };
    ASSERT_TRUE(waitFor("data: {")) << stream.toStdString();
    EXPECT_TRUE(stream.contains("text/event-stream"));
    board.apply("lab/rig7/count", "4711", QDateTime::currentDateTimeUtc());
    server.boardChanged();
    ASSERT_TRUE(waitFor(R"("count":4711)")) << stream.toStdString();
    EXPECT_EQ(server.listeners(), 1);
}
