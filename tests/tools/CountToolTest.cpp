// The offline counter as a lab runs it: the same load history as text, CSV,
// blank-separated table, binary samples and gzip must give the same count,
// extrema and triggers; bad input is an error with an exit code, never a
// quiet "samples=0".
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <random>
#include <vector>

namespace {
struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun runTool(const QStringList& arguments) {
    QProcess tool;
    tool.start(COUNT_TOOL_PATH, arguments);
    ToolRun run;
    if (!tool.waitForFinished(60000))
        return run;
    run.exitCode = tool.exitCode();
    run.out = QString::fromUtf8(tool.readAllStandardOutput());
    run.err = QString::fromUtf8(tool.readAllStandardError());
    return run;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray gzip(const QByteArray& bytes) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(static_cast<qsizetype>(deflateBound(&z, uLong(bytes.size()))) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(static_cast<qsizetype>(z.total_out));
    deflateEnd(&z);
    return out;
}

// A random load history in eighths of a volt, which every form holds exactly.
std::vector<int> loadHistory(int samples) {
    std::mt19937 random(2024);
    std::vector<int> eighths;
    int level = 0;
    int target = 40;
    for (int i = 0; i < samples; ++i) {
        if (level == target)
            target = static_cast<int>(random() % 161) - 80;
        level += level < target ? 1 : -1;
        eighths.push_back(level);
    }
    return eighths;
}

template <typename T> QByteArray raw(const std::vector<int>& eighths, double factor) {
    QByteArray bytes;
    for (const int e : eighths) {
        const T value = static_cast<T>(e * factor);
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    return bytes;
}

// Only the summary's bookkeeping of skipped lines may differ between forms.
QString withoutSkippedLines(QString out) {
    return out.remove(QRegularExpression(R"("header_lines":\d+,"gaps":\d+,)"));
}
} // namespace

TEST(CountTool, EveryFormOfOneHistoryGivesTheSameEvents) {
    QTemporaryDir dir;
    const std::vector<int> eighths = loadHistory(30000);
    QByteArray text, csv, blanks, gapped;
    for (size_t i = 0; i < eighths.size(); ++i) {
        const double v = eighths[i] / 8.0;
        text += QByteArray::number(v) + "\n";
        csv += QByteArray::number(i) + ",x," + QByteArray::number(v) + ",7,8\n";
        blanks += "   " + QByteArray::number(i * 0.04, 'e', 7) + "  " +
                  QByteArray::number(v, 'e', 7) + "\n";
        gapped += (i % 97 == 5 ? "NaN\n" : "") + QByteArray::number(v) + "\n" +
                  (i % 1000 == 999 ? "\n" : "");
    }
    writeFile(dir.filePath("load.txt"), text);
    writeFile(dir.filePath("load.csv"), "index,name,load,a,b\n" + csv);
    writeFile(dir.filePath("load.dat"), "% t U\n" + blanks);
    writeFile(dir.filePath("gapped.txt"), gapped);
    writeFile(dir.filePath("load.f32"), raw<float>(eighths, 0.125));
    writeFile(dir.filePath("load.f64"), raw<double>(eighths, 0.125));
    writeFile(dir.filePath("load.i16"), raw<int16_t>(eighths, 1));
    writeFile(dir.filePath("load.i32"), raw<int32_t>(eighths, 8));
    writeFile(dir.filePath("load.txt.gz"), gzip(text));
    writeFile(dir.filePath("load-f32.gz"), gzip(raw<float>(eighths, 0.125)));
    const QStringList settings{"--json",      "--threshold",         "1",      "--hysteresis",
                               "0.5",         "--extrema-per-cycle", "2",      "--profile",
                               "5:1,20:3,10", "--trigger-source",    "rising", "--delay-ms",
                               "30"};
    const ToolRun expected = runTool(settings + QStringList{dir.filePath("load.txt")});
    ASSERT_EQ(expected.exitCode, 0) << expected.err.toStdString();
    ASSERT_GT(expected.out.count("\"trigger\""), 10);
    ASSERT_GT(expected.out.count("\"extremum\""), 100);
    const QStringList forms[] = {
        {"load.csv", "--column", "3"},
        {"load.dat", "--column", "2"},
        {"load.dat", "--column", "2", "--delimiter", "space"},
        {"gapped.txt", "--gaps", "skip"},
        {"load.f32", "--format", "f32le"},
        {"load.f64", "--format", "f64le"},
        {"load.i16", "--format", "i16le", "--scale", "0.125"},
        {"load.i32", "--format", "i32le", "--scale", "0.015625", "--offset", "0"},
        {"load.txt.gz"},
        {"load-f32.gz", "--format", "f32le"},
    };
    for (QStringList form : forms) {
        form[0] = dir.filePath(form[0]);
        const ToolRun run = runTool(settings + form);
        EXPECT_EQ(run.exitCode, 0) << form.join(' ').toStdString() << run.err.toStdString();
        EXPECT_EQ(withoutSkippedLines(run.out), withoutSkippedLines(expected.out))
            << form.join(' ').toStdString();
    }
    const ToolRun gaps =
        runTool(settings + QStringList{dir.filePath("gapped.txt"), "--gaps", "skip"});
    EXPECT_TRUE(gaps.out.contains("\"gaps\":310,")) << gaps.out.right(200).toStdString();
}

// Times from a time column drive the engine's clock and the reported times,
// so a history sampled every 10 ms counts and delays as with --interval-ms 10.
TEST(CountTool, TimeColumnSetsTheClock) {
    QTemporaryDir dir;
    const std::vector<int> eighths = loadHistory(5000);
    QByteArray timed, plain;
    for (size_t i = 0; i < eighths.size(); ++i) {
        timed += QByteArray::number(12.5 + i * 0.01, 'f', 2) + ";" +
                 QByteArray::number(eighths[i] / 8.0) + "\n";
        plain += QByteArray::number(eighths[i] / 8.0) + "\n";
    }
    writeFile(dir.filePath("timed.csv"), timed);
    writeFile(dir.filePath("plain.txt"), plain);
    const QStringList settings{"--json", "--trigger-source", "falling", "--delay-ms", "25"};
    const ToolRun byTime =
        runTool(settings + QStringList{"--column", "2", "--time-column", "1", "--time-unit", "s",
                                       dir.filePath("timed.csv")});
    const ToolRun byInterval =
        runTool(settings + QStringList{"--interval-ms", "10", dir.filePath("plain.txt")});
    ASSERT_EQ(byTime.exitCode, 0) << byTime.err.toStdString();
    const QRegularExpression time(R"("time_s":[0-9.]+,)");
    EXPECT_EQ(QString(byTime.out).remove(time), QString(byInterval.out).remove(time));
    const QRegularExpressionMatch first =
        QRegularExpression(R"("sample":(\d+),"time_s":([0-9.]+),)").match(byTime.out);
    ASSERT_TRUE(first.hasMatch());
    EXPECT_NEAR(first.captured(2).toDouble(), 12.5 + first.captured(1).toInt() * 0.01, 1e-9);
}

// A file read with the wrong delimiter or a damaged input: exit code 1 and a
// message that says what the lines look like, never "samples=0" and 0 (the
// reader's own messages are the reader's tests); a file that cannot be read
// is a bad command line.
// A bad line stops the count there, and the samples before it still count.
TEST(CountTool, InputThatGivesNoSamplesIsAnError) {
    QTemporaryDir dir;
    QByteArray blanks;
    for (int i = 0; i < 9524; ++i)
        blanks += "   " + QByteArray::number(i * 0.05, 'e', 7) + "  -1.2004945e+00\n";
    writeFile(dir.filePath("sea.dat"), blanks);
    writeFile(dir.filePath("load.csv"),
              "time;load\n0;0\n40;1\n80;0,5\n120;0,9\n160;0,6\n200;oops\n");
    const struct {
        QStringList arguments;
        int exitCode;
        const char* message;
        QStringList out; // parts of the JSON output
    } cases[] = {
        {{"--column", "2", "--delimiter", ",", "sea.dat"},
         1,
         "no line gives a sample from column 2 with delimiter ','; 9524 lines read like \"   "
         "0.0000000e+00  -1.2004945e+00\"",
         {}},
        {{"sea.dat"}, 1, "line 1: \"0.0000000e+00  -1.2004945e+00\" is not a number", {}},
        {{"missing\x1b[2J.txt"}, 2, "cannot open missing\\x1B[2J.txt: No such file", {}},
        {{"."}, 2, "cannot read .: it is a folder", {}},
        {{"--column", "2", "--delimiter", ";", "--extrema-per-cycle", "2", "--json", "load.csv"},
         1,
         "cyclomarkator-count: line 7: \"oops\" is not a number\n",
         {"\"event\":\"extremum\",\"sample\":2,",
          "\"event\":\"summary\",\"samples\":5,\"header_lines\":1,\"gaps\":0,\"extrema\":2,"
          "\"cycles\":1"}},
    };
    for (const auto& c : cases) {
        QStringList arguments = c.arguments;
        QProcess tool;
        tool.setWorkingDirectory(dir.path());
        tool.start(COUNT_TOOL_PATH, arguments);
        ASSERT_TRUE(tool.waitForFinished(60000));
        const QString err = QString::fromUtf8(tool.readAllStandardError());
        EXPECT_EQ(tool.exitCode(), c.exitCode) << err.toStdString();
        EXPECT_TRUE(err.contains(QString::fromUtf8(c.message))) << err.toStdString();
        const QString out = QString::fromUtf8(tool.readAllStandardOutput());
        for (const QString& part : c.out)
            EXPECT_TRUE(out.contains(part)) << out.toStdString();
    }
}
