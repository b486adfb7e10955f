// The offline counter as a lab runs it: the same load history as text, a
// table with blanks or a time column, and binary samples must give the same count, extrema
// and triggers; bad input is an error with an exit code, never a quiet
// "samples=0". How each form is read, and the reader's messages, are the
// reader's own tests; here each flag must reach the reader.
#include "ToolRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <set>
#include <tuple>
#include <vector>

namespace {
// A load history of rising and falling amplitude in eighths of a volt,
// which every form holds exactly.
std::vector<int> loadHistory(int samples) {
    std::vector<int> eighths;
    for (int i = 0; i < samples; ++i)
        eighths.push_back(
            static_cast<int>(std::lround(80 * std::sin(i * 0.03) * std::sin(i * 0.0011))));
    return eighths;
}

template <typename T> QByteArray raw(const std::vector<int>& eighths, double factor, int add = 0) {
    QByteArray bytes;
    for (const int e : eighths) {
        const T value = static_cast<T>(e * factor + add);
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    return bytes;
}

// Only the summary's bookkeeping of skipped lines, and the decimals of times
// read from a file, may differ between forms.
QString withoutSkippedLines(QString out) {
    return out.remove(QRegularExpression(R"("header_lines":\d+,"gaps":\d+,|"time_s":[0-9.]+,)"));
}
} // namespace

TEST(CountTool, EveryFormOfOneHistoryGivesTheSameEvents) {
    QTemporaryDir dir;
    const std::vector<int> eighths = loadHistory(30000);
    QByteArray text, blanks, gapped, timed;
    for (size_t i = 0; i < eighths.size(); ++i) {
        const double v = eighths[i] / 8.0;
        text += QByteArray::number(v) + "\n";
        blanks += "   " + QByteArray::number(i * 0.04, 'e', 7) + "  " +
                  QByteArray::number(v, 'e', 7) + "\n";
        gapped += (i % 97 == 5 ? "NaN\n" : "") + QByteArray::number(v) + "\n" +
                  (i % 1000 == 999 ? "\n" : "");
        timed += QByteArray::number(12500 + i * 10) + ";" + QByteArray::number(v) + "\n";
    }
    putFile(dir.filePath("load.txt"), text);
    const QStringList settings{"--json",      "--threshold",         "1",      "--hysteresis",
                               "0.5",         "--extrema-per-cycle", "2",      "--profile",
                               "5:1,20:3,10", "--trigger-source",    "rising", "--delay-ms",
                               "30",          "--interval-ms",       "10"};
    const ToolRun expected = runTool(settings + QStringList{dir.filePath("load.txt")});
    ASSERT_EQ(expected.exitCode, 0) << expected.err.toStdString();
    ASSERT_GT(expected.out.count("\"trigger\""), 10);
    const std::pair<QByteArray, QStringList> forms[] = {
        {"% t U\n" + blanks, {"--column", "2", "--delimiter", "space"}},
        {gapped, {"--gaps", "skip"}},
        {raw<int16_t>(eighths, 1), {"--format", "i16le", "--scale", "0.125"}},
        {raw<int32_t>(eighths, 8, 64),
         {"--format", "i32le", "--scale", "0.015625", "--offset", "-1"}},
        {timed, {"--column", "2", "--time-column", "1", "--time-unit", "ms"}}};
    for (const auto& [bytes, form] : forms) {
        SCOPED_TRACE(form.join(' ').toStdString());
        putFile(dir.filePath("load"), bytes);
        // Times from a time column drive the engine's clock and the reported times.
        const bool byTime = form.contains("--time-column");
        const ToolRun run = runTool(settings.mid(0, settings.size() - (byTime ? 2 : 0)) + form +
                                    QStringList{dir.filePath("load")});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(withoutSkippedLines(run.out), withoutSkippedLines(expected.out));
        EXPECT_EQ(run.out.contains("\"gaps\":310,"), form[0] == "--gaps");
        const QRegularExpressionMatch first =
            QRegularExpression(R"("sample":(\d+),"time_s":([0-9.]+),)").match(run.out);
        ASSERT_TRUE(first.hasMatch());
        EXPECT_NEAR(first.captured(2).toDouble(),
                    (byTime ? 12.5 : 0) + first.captured(1).toInt() * 0.01, 1e-9);
    }
}

// Damaged input data: exit code 1, the samples before the bad line counted
// and summed up. A name ending in .gz must hold compressed data. A file that
// cannot be read is a bad command line, named without its control characters.
TEST(CountTool, BadInputIsAnErrorWithAnExitCode) {
    QTemporaryDir dir;
    putFile(dir.filePath("load.csv"), "time;load\n0;0\n40;1\n80;0,5\n120;0,9\n160;0,6\n200;oops\n");
    putFile(dir.filePath("plain.gz"), "1\n2\n");
    // The arguments, the exit code, the message and parts of the JSON output.
    const std::tuple<QStringList, int, const char*, QStringList> cases[] = {
        {{"--column", "2", "--delimiter", ";", "--extrema-per-cycle", "2", "--json", "load.csv"},
         1,
         "cyclomarkator-count: line 7: \"oops\" is not a number\n",
         {"\"event\":\"extremum\",\"sample\":2,",
          "\"event\":\"summary\",\"samples\":5,\"header_lines\":1,\"gaps\":0,\"extrema\":2,"
          "\"cycles\":1"}},
        {{"plain.gz"}, 1, "the data is not gzip-compressed", {}},
        {{"missing\x1b[2J.txt"}, 2, "cannot open missing\\x1B[2J.txt: No such file", {}},
        {{"."}, 2, "cannot read .: it is a folder", {}},
    };
    for (const auto& [arguments, exitCode, message, out] : cases) {
        const ToolRun run = runTool(arguments, dir.path());
        EXPECT_EQ(run.exitCode, exitCode) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(message))) << run.err.toStdString();
        for (const QString& part : out)
            EXPECT_TRUE(run.out.contains(part)) << run.out.toStdString();
    }
}

namespace {
// Cycles of 20 samples between troughs and peaks of amplitude(k) with +/-1 %
// noise, and `flat` samples of 0 V after cycle 300 (the machine stood still).
QByteArray cycles(int count, double (*amplitude)(int), int flat) {
    QByteArray text;
    uint32_t seed = 1;
    const auto noise = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / double(1 << 24) * 0.02 - 0.01;
    };
    double from = 0;
    for (int k = 1; k <= count; ++k) {
        for (const double to : {-amplitude(k), amplitude(k)}) {
            for (int j = 0; j < 10; ++j) {
                const double v = (from + to) / 2 + (from - to) / 2 * std::cos(M_PI * j / 10);
                text += QByteArray::number(v + noise(), 'f', 5) + '\n';
            }
            from = to;
        }
        for (int j = 0; k == 300 && j < flat; ++j)
            text += "0\n";
    }
    return text;
}
} // namespace

// The watch over a history, as its JSON summary tells it: N_f of a 12 % drop
// exactly, and a stall where the signal stood still for longer than T.
TEST(CountTool, WatchFindsNfAndStallsInTheSummary) {
    QTemporaryDir dir;
    const auto drop = [](int k) { return k < 5000 ? 1.0 : 0.88; };
    const auto steady = [](int) { return 1.0; };
    // 40 ms a sample, 0.8 s a cycle: T = 20 x 0.8 s = 16 s = 400 samples.
    const std::tuple<double (*)(int), int, QJsonValue, int> rows[] = {
        {drop, 0, 5000, 0}, {steady, 390, QJsonValue(), 0}, {steady, 420, QJsonValue(), 1}};
    for (const auto& [amplitude, flat, nf, stalls] : rows) {
        putFile(dir.filePath("h.txt"), cycles(5200, amplitude, flat));
        const ToolRun run = runTool({"--watch", "--hysteresis", "0.2", "--summary-json",
                                     dir.filePath("s.json"), dir.filePath("h.txt")});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QJsonObject watch =
            QJsonDocument::fromJson(fileBytes(dir.filePath("s.json")))["watch"].toObject();
        EXPECT_EQ(watch["n_f"], nf) << flat;
        EXPECT_EQ(watch["criterion"].toString(), nf.isNull() ? "" : "amplitude");
        EXPECT_NEAR(watch["reference"]["amplitude"].toDouble(), 1.0, 0.01);
        EXPECT_EQ(watch["reference"]["from_cycle"].toInt(), 101);
        EXPECT_EQ(watch["stalls"].toArray().size(), stalls) << flat;
        const QString summary = nf.isNull() ? "n_f=none" : "n_f=5000 criterion=amplitude";
        EXPECT_TRUE(run.out.contains(summary)) << run.out.right(300).toStdString();
    }
}

// The cycle log of a history with a 12 % drop at cycle 11 000: the failure
// writes the 10 000 cycles before its confirmation, then every cycle is
// logged, each once; a second run never overwrites the file.
TEST(CountTool, CycleLogOfAFailureHoldsEveryCycleOfTheRing) {
    QTemporaryDir dir;
    putFile(dir.filePath("h.txt"), cycles(
                                       12000, [](int k) { return k < 11000 ? 1.0 : 0.88; }, 0));
    const QStringList arguments{"--watch",  "--hysteresis",          "0.2",
                                "--cycles", dir.filePath("log.csv"), dir.filePath("h.txt")};
    const ToolRun run = runTool(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QByteArray whole = fileBytes(dir.filePath("log.csv"));
    std::set<int> cycles;
    QStringList flags;
    for (const QByteArray& line : whole.split('\n')) {
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() != 9 || fields[0] == "cycle")
            continue;
        if (!fields[8].isEmpty())
            flags << QString::fromLatin1(fields[8] + ' ' + fields[0]);
        else
            EXPECT_TRUE(cycles.insert(fields[0].toInt()).second) << "twice: " << line.data();
    }
    EXPECT_EQ(flags, QStringList({"reference 150", "failure 11000"}));
    for (int n = 11002 - 9999; n < 12000; ++n) // the last peak is not confirmed
        ASSERT_TRUE(cycles.count(n)) << n;
    EXPECT_EQ(cycles.size(), 100 + 20 + (11999 - 1002)); // to 1000 on the schedule, then all
    const ToolRun again = runTool(arguments);
    EXPECT_EQ(again.exitCode, 2);
    EXPECT_TRUE(again.err.contains("never overwritten")) << again.err.toStdString();
    EXPECT_EQ(fileBytes(dir.filePath("log.csv")), whole);
}
