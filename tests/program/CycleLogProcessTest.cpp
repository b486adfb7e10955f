// The running program's cycle log as a process writes it: the same rows as
// the offline counter's log of the same history (both counting paths), no
// torn row and a restart row after kills at chosen moments, and a full disk
// said once while counting goes on, with a gap row once there is room again.
#include "ProgramRig.h"

#include <QDir>
#include <QFile>

#include <cmath>

namespace {
const QStringList Fast{"--test-clock-rate", "1000", "--test-tick-ms", "2"};

class LiveLog : public ProgramRig {
protected:
    void start(QProcess& process, const QStringList& extra) {
        ProgramRig::start(process, PROGRAM_PATH,
                          QStringList{"--headless", "--config-dir", path("program")} + extra);
    }
    QStringList logs() const {
        return QDir(path("program")).entryList({"Cyclomarkator-cycles-*.csv"}, QDir::Files);
    }
    // The rows after the column row, each as `columns` of its cells.
    static std::vector<QByteArrayList> rows(const QString& file, const QList<int>& columns) {
        std::vector<QByteArrayList> rows;
        bool body = false;
        for (const QByteArray& line : fileBytes(file).split('\n')) {
            if (body && !line.isEmpty()) {
                const QByteArrayList cells = line.split(',');
                QByteArrayList kept;
                for (int column : columns)
                    kept << cells.value(column, "<missing>");
                rows.push_back(kept);
            }
            body = body || line.startsWith("cycle,");
        }
        return rows;
    }
};

// 400 cycles of 20 samples at ±1 V; from cycle 300 the swing is 0.6 V, so the
// watch (reference over cycles 6..10) finds N_f = 300 and the log holds every
// cycle not yet logged back to 101, then every cycle to the end. The times
// differ (the program's clock against the history's), and so do the headers.
TEST_F(LiveLog, TheLiveLogOfAHistoryIsTheOfflineLogOfIt) {
    QByteArray signal;
    for (int i = 0; i < 8000; ++i) {
        const double swing = i >= 299 * 20 + 10 ? 0.6 : 1.0;
        signal += QByteArray::number(swing * std::sin((i + 5) * 2 * M_PI / 20), 'f', 4) + '\n';
    }
    writeFile(path("signal.txt"), signal);
    const QByteArray watch = "[Watch]\nArmed=1\nSettlingCycles=5\nReferenceCycles=5\n";
    QProcess offline;
    offline.start(COUNT_TOOL_PATH, {"--watch", "--settle", "5", "--reference-cycles", "5",
                                    "--cycles", path("offline.csv"), path("signal.txt")});
    ASSERT_TRUE(offline.waitForFinished(30000));
    ASSERT_EQ(offline.exitCode(), 0) << errorsOf(offline).toStdString();
    const QList<int> compared{0, 3, 4, 5, 6, 7, 8};
    const auto text = [&](const QString& file) {
        std::vector<std::string> lines;
        for (const QByteArrayList& row : rows(file, compared))
            lines.push_back(row.join(',').toStdString());
        return lines;
    };
    const std::vector<std::string> expected = text(path("offline.csv"));
    ASSERT_GT(expected.size(), 300u);
    for (const char* device : {"", "?rate=500&speed=20"}) {
        SCOPED_TRACE(device);
        for (const QString& log : logs())
            QFile::remove(path("program/" + log));
        writeSettings("[HARDWARE]\nA/D-Converter=Recorded signal (replay)\nDevice=replay:" +
                      path("signal.txt").toUtf8() + device + "\n" + watch);
        QProcess replay;
        start(replay, {"--test-clock-rate", "5", "--test-tick-ms", "1"});
        QString output;
        EXPECT_TRUE(waitFor(replay, output, "signal.txt ended after", 120000).hasMatch())
            << output.toStdString();
        stop(replay);
        ASSERT_EQ(logs().size(), 1);
        EXPECT_EQ(text(path("program/" + logs()[0])), expected);
    }
}

// Killed at chosen moments (in the first hundred cycles, just past them,
// further on), each start continues the one file with a restart row at the
// saved count, which no cycle row before it passes; no row is torn.
TEST_F(LiveLog, KillsLeaveWholeRowsAndEachRestartARow) {
    writeSettings("[HARDWARE]\nA/D-Converter=Dummy A/D\n");
    const QList<int> killedAt{5, 103, 160};
    for (const int at : killedAt + QList<int>{170}) {
        QProcess counting;
        start(counting, Fast);
        QString output;
        const bool shown =
            waitFor(counting, output, QStringLiteral("Count %1 ").arg(at)).hasMatch();
        ASSERT_TRUE(shown) << output.toStdString();
        if (at == 170) {
            stop(counting);
            break;
        }
        ::kill(static_cast<pid_t>(counting.processId()), SIGKILL);
        ASSERT_TRUE(counting.waitForFinished(10000));
    }
    ASSERT_EQ(logs().size(), 1);
    const QString log = path("program/" + logs()[0]);
    EXPECT_TRUE(fileBytes(log).endsWith('\n'));
    QList<int> restarts;
    int highest = 0;
    for (const QByteArrayList& row : rows(log, {0, 8, 9})) {
        EXPECT_EQ(row[2], "<missing>") << row.join(',').toStdString();
        if (row[1] == "restart") {
            EXPECT_GE(row[0].toInt(), highest);
            restarts << row[0].toInt();
        } else {
            EXPECT_EQ(row[1], "");
            highest = std::max(highest, row[0].toInt());
        }
    }
    ASSERT_EQ(restarts.size(), killedAt.size());
    for (qsizetype i = 0; i < restarts.size(); ++i)
        EXPECT_GE(restarts[i], killedAt[i]);
}

// A tmpfs of 256 kB in a mount namespace of its own is the program folder;
// it is filled while the program counts (every cycle is logged) and emptied
// again.
TEST_F(LiveLog, AFullDiskIsSaidOnceAndLeavesOneGapRow) {
    if (::geteuid() != 0 || QProcess::execute("unshare", {"-m", "true"}) != 0)
        GTEST_SKIP() << "needs root and unshare -m to mount a small full filesystem";
    const QString script = QStringLiteral(R"(
        set -e
        D=$1 P=$2 O=$3
        mount -t tmpfs -o size=256k tmpfs "$D"
        printf '[HARDWARE]\nA/D-Converter=Dummy A/D\n[Watch]\nLogEveryNth=1\n' \
            > "$D/Cyclomarkator.INI"
        "$P" --headless --config-dir "$D" --test-clock-rate 1000 --test-tick-ms 2 \
            >"$O/out" 2>"$O/errors" &
        for i in $(seq 200); do grep -q " Count 150 " "$O/out" && break; sleep 0.05; done
        dd if=/dev/zero of="$D/filler" bs=4k 2>/dev/null || true
        for i in $(seq 200); do grep -q "Cycle log" "$O/errors" && break; sleep 0.05; done
        for i in $(seq 200); do grep -q " Count 400 " "$O/out" && break; sleep 0.05; done
        rm "$D/filler"
        for i in $(seq 200); do grep -q "is written again" "$O/errors" && break; sleep 0.05; done
        kill -TERM $!; wait $!
        cat "$D"/Cyclomarkator-cycles-*.csv > "$O/log.csv"
    )");
    QProcess shell;
    shell.setProcessEnvironment(environment());
    shell.start("unshare",
                {"-m", "sh", "-c", script, "sh", path("program"), PROGRAM_PATH, dir.path()});
    ASSERT_TRUE(shell.waitForFinished(60000));
    EXPECT_EQ(shell.exitCode(), 0) << errorsOf(shell).toStdString();
    const QString errors = QString::fromUtf8(fileBytes(path("errors")));
    EXPECT_EQ(errors.count("Cycle log"), 2) << errors.toStdString(); // the problem, its end
    EXPECT_EQ(errors.count("No space left on device. Counting goes on"), 1) << errors.toStdString();
    EXPECT_TRUE(fileBytes(path("out")).contains(" Count 400 "));
    int gaps = 0, previous = 0;
    for (const QByteArrayList& row : rows(path("log.csv"), {0, 8})) {
        gaps += row[1] == "gap";
        if (row[1] == "") {
            EXPECT_GT(row[0].toInt(), previous) << "rows out of order";
            previous = row[0].toInt();
        }
    }
    EXPECT_EQ(gaps, 1);
    EXPECT_GT(previous, 400);
}

} // namespace
