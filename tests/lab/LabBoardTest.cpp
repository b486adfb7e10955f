// What a tile shows for each topic's payload: readable ones as sent,
// malformed or hostile ones as unknown, and nothing that breaks the board.
#include "LabBoard.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

#include <tuple>

namespace {
const QDateTime T0 = QDateTime::fromString("2024-05-01T12:00:00Z", Qt::ISODate);

QJsonValue json(const QByteArray& text) {
    return QJsonDocument::fromJson("[" + text + "]").array().at(0);
}

QJsonObject tileOf(const LabBoard& board, const QDateTime& now = T0) {
    return board.snapshot(now)["rigs"].toArray().at(0).toObject();
}
} // namespace

// topic field, payload, what the tile's field holds afterwards (JSON text)
using PayloadRow = std::tuple<const char*, QByteArray, QByteArray>;
class LabPayloadTable : public testing::TestWithParam<PayloadRow> {};

TEST_P(LabPayloadTable, TileShowsReadableValuesAndUnknownForTheRest) {
    const auto& [field, payload, expected] = GetParam();
    LabBoard board("lab");
    ASSERT_TRUE(board.apply(QStringLiteral("lab/rig1/") + field, payload, T0));
    EXPECT_EQ(tileOf(board)[field], json(expected))
        << field << " " << payload.toStdString() << " gave "
        << QJsonDocument(tileOf(board)).toJson().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, LabPayloadTable,
    testing::Values(
        PayloadRow{"state", "online", R"("online")"},
        PayloadRow{"state", "stopped\n", R"("stopped")"}, PayloadRow{"state", "<b>up</b>", "null"},
        PayloadRow{"count", "1500", "1500"}, PayloadRow{"count", "-3", "null"},
        PayloadRow{"count", "12abc", "null"}, PayloadRow{"count", "1e3", "null"},
        PayloadRow{"count", "99999999999999999999", "null"}, PayloadRow{"voltage", "-2.5", "-2.5"},
        PayloadRow{"voltage", "2,5", "null"}, PayloadRow{"voltage", "nan", "null"},
        PayloadRow{"voltage", "inf", "null"},
        PayloadRow{"trigger", R"({"cycle":10,"time":"2024-05-01T11:00:00.250Z","events":2})",
                   R"({"cycle":10,"time":"2024-05-01T11:00:00.250Z","events":2})"},
        PayloadRow{"trigger", R"({"cycle":10})", R"({"cycle":10,"time":null,"events":null})"},
        PayloadRow{"trigger", R"({"cycle":"10"})", "null"},
        PayloadRow{"trigger", R"({"cycle":-1})", "null"}, PayloadRow{"trigger", "{", "null"},
        PayloadRow{"status", R"({"text":"disk full","time":"2024-05-01T10:00:00Z","problem":true})",
                   R"({"text":"disk full","time":"2024-05-01T10:00:00.000Z","problem":true})"},
        PayloadRow{"status", "disk <full>",
                   R"({"text":"disk <full>","time":"2024-05-01T12:00:00.000Z","problem":null})"},
        PayloadRow{"status", R"({"text":5})", "null"},
        PayloadRow{"watch", R"({"state":"failed","n_f":123456})",
                   R"({"state":"failed","n_f":123456})"},
        PayloadRow{"watch", R"({"state":"watching"})", R"({"state":"watching","n_f":null})"},
        PayloadRow{"watch", R"({"state":"failed","n_f":"soon"})", "null"},
        PayloadRow{"info", "[1,2]", "null"}, PayloadRow{"count", QByteArray(5000, '1'), "null"}));

TEST(LabBoard, MalformedValueReplacesTheLastGoodOneAndOtherTopicsAreIgnored) {
    LabBoard board("lab");
    board.apply("lab/rig1/count", "1500", T0);
    board.apply("lab/rig1/count", "oops", T0);
    EXPECT_TRUE(tileOf(board)["count"].isNull());
    for (const char* topic :
         {"lab/rig2/set/count", "other/rig3/count", "lab//count", "lab/rig4/colour", "lab/rig5"})
        EXPECT_FALSE(board.apply(topic, "1", T0)) << topic;
    EXPECT_EQ(board.rigs().size(), 1u);
}

TEST(LabBoard, KeepsAtMostMaxRigs) {
    LabBoard board("lab");
    for (int i = 0; i <= LabBoard::MaxRigs; ++i)
        board.apply(QStringLiteral("lab/r%1/count").arg(i), "1", T0);
    EXPECT_EQ(int(board.rigs().size()), LabBoard::MaxRigs);
    EXPECT_EQ(board.ignoredRigs(), 1);
}

// counts with their arrival (ms after T0, retained?), the time asked, the rate
using RateRow = std::tuple<std::vector<std::tuple<qint64, int, bool>>, qint64, QByteArray>;
class LabRateTable : public testing::TestWithParam<RateRow> {};

TEST_P(LabRateTable, CyclesPerSecondFromCountsAndTheirArrival) {
    const auto& [counts, now, expected] = GetParam();
    LabBoard board("lab");
    for (const auto& [ms, count, retained] : counts)
        board.apply("lab/rig/count", QByteArray::number(count), T0.addMSecs(ms), retained);
    EXPECT_EQ(tileOf(board, T0.addMSecs(now))["cyclesPerSecond"], json(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rates, LabRateTable,
    testing::Values(
        RateRow{{{0, 100, false}, {1000, 102, false}}, 1500, "2"},
        RateRow{{{0, 100, false}, {500, 101, false}, {1000, 102, false}, {2000, 106, false}},
                2000,
                "3"},
        // the retained count is older than its arrival: no rate from it
        RateRow{{{0, 100, true}, {1000, 150, false}}, 1000, "null"},
        // set back: the rate starts again
        RateRow{{{0, 100, false}, {1000, 102, false}, {2000, 5, false}}, 2000, "null"},
        // no count for a while: the rig stands still
        RateRow{{{0, 100, false}, {1000, 102, false}}, 12000, "0"},
        // only the last ten seconds count
        RateRow{{{0, 0, false}, {20000, 1000, false}, {25000, 1010, false}, {30000, 1020, false}},
                30000,
                "2"}));

TEST(LabBoard, TerminalTableShowsControlCharactersAsEscapes) {
    LabBoard board("lab");
    board.apply("lab/rig1/status", "\x1b[2Jgone", T0);
    board.apply("lab/rig1/state", "online", T0.addSecs(-300));
    board.apply("lab/rig1/count", "42", T0);
    const QString table = board.textTable(T0);
    EXPECT_FALSE(table.contains(QChar(0x1b)));
    EXPECT_TRUE(table.contains("\\x1B[2Jgone")) << table.toStdString();
    EXPECT_TRUE(table.contains(QRegularExpression("rig1 +online 5 min +42 ")))
        << table.toStdString();
}
