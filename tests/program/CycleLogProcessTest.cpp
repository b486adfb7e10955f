// The running program's cycle log: the offline counter's rows for the same
// history (both counting paths), whole rows and restart rows after kills, and
// a full disk said once with one gap row once there is room again.
#include "ProgramRig.h"

#include <cmath>

namespace {

class LiveLog : public ProgramRig {
protected:
    void start(QProcess& process, const QStringList& extra) {
        ProgramRig::start(process, PROGRAM_PATH,
                          QStringList{"--headless", "--config-dir", path("program")} + extra);
    }
    QString log() const {
        const QStringList logs = QDir(path("program")).entryList({"*-cycles-*.csv"});
        return logs.size() == 1 ? path("program/" + logs[0])
                                : QString("one log, not %1").arg(logs.size());
    }
    // The rows below the column row without time and seconds.
    static std::vector<std::string> rows(const QString& file) {
        std::vector<std::string> rows;
        for (const QByteArray& line : fileBytes(file).split('\n'))
            if (!line.isEmpty() && !line.startsWith('#') && !line.startsWith("cycle,")) {
                QByteArrayList cells = line.split(',');
                cells.remove(1, 2);
                rows.push_back(cells.join(',').toStdString());
            }
        return rows;
    }
};

// 400 cycles at ±1 V, from cycle 300 at ±0.6 V: N_f 300, so every cycle back
// to 101 is logged too. The times and headers differ (the program's clock).
TEST_F(LiveLog, TheLiveLogOfAHistoryIsTheOfflineLogOfIt) {
    QByteArray signal;
    for (int i = 0; i < 8000; ++i)
        signal +=
            QByteArray::number((i >= 5990 ? 0.6 : 1.0) * std::sin((i + 5) * M_PI / 10), 'f', 4) +
            '\n';
    writeFile(path("signal.txt"), signal);
    QProcess offline;
    offline.start(COUNT_TOOL_PATH, {"--watch", "--settle", "5", "--reference-cycles", "5",
                                    "--cycles", path("offline.csv"), path("signal.txt")});
    ASSERT_TRUE(offline.waitForFinished(30000));
    ASSERT_GT(rows(path("offline.csv")).size(), 300u);
    for (const char* device : {"", "?rate=500&speed=20"}) {
        SCOPED_TRACE(device);
        QFile::remove(log());
        writeSettings("[HARDWARE]\nA/D-Converter=Recorded signal (replay)\nDevice=replay:" +
                      path("signal.txt").toUtf8() + device +
                      "\n[Watch]\nArmed=1\nSettlingCycles=5\nReferenceCycles=5\n");
        QProcess replay;
        start(replay, {"--test-clock-rate", "5", "--test-tick-ms", "1"});
        QString output;
        EXPECT_TRUE(waitFor(replay, output, "signal.txt ended after", 120000).hasMatch());
        stop(replay);
        EXPECT_EQ(rows(log()), rows(path("offline.csv")));
    }
}

// Killed in the first hundred cycles, just past them and further on, each
// start continues the file with a restart row at the saved count, which no
// row before it passes; every row is whole.
TEST_F(LiveLog, KillsLeaveWholeRowsAndEachRestartARow) {
    writeSettings("[HARDWARE]\nA/D-Converter=Dummy A/D\n");
    const std::vector<int> killedAt{5, 103, 160, 170};
    for (const int at : killedAt) {
        QProcess counting;
        start(counting, {"--test-clock-rate", "1000", "--test-tick-ms", "2"});
        QString output;
        ASSERT_TRUE(waitFor(counting, output, QStringLiteral("Count %1 ").arg(at)).hasMatch());
        ::kill(static_cast<pid_t>(counting.processId()), at == 170 ? SIGTERM : SIGKILL);
        ASSERT_TRUE(counting.waitForFinished(10000));
    }
    std::vector<int> restarts;
    int highest = 0;
    for (const std::string& row : rows(log())) {
        const int cycle = std::stoi(row);
        EXPECT_EQ(std::count(row.begin(), row.end(), ','), 6) << row;
        if (row.ends_with(",restart") && cycle >= highest && cycle >= killedAt[restarts.size()])
            restarts.push_back(cycle);
        highest = std::max(highest, cycle);
    }
    EXPECT_EQ(restarts.size(), 3u);
}

// A tmpfs of 256 kB in a mount namespace of its own is the program folder;
// it is filled while every cycle is logged, and emptied again.
TEST_F(LiveLog, AFullDiskIsSaidOnceAndLeavesOneGapRow) {
    if (::geteuid() != 0 || QProcess::execute("unshare", {"-m", "true"}) != 0)
        GTEST_SKIP() << "needs root and unshare -m to mount a small full filesystem";
    const QString script = QStringLiteral(R"(
        D=$1 P=$2 O=$3
        mount -t tmpfs -o size=256k tmpfs "$D" || exit 1
        printf '[HARDWARE]\nA/D-Converter=Dummy A/D\n[Watch]\nLogEveryNth=1\n' > "$D/Cyclomarkator.INI"
        "$P" --headless --config-dir "$D" --test-clock-rate 1000 --test-tick-ms 2 >"$O/out" 2>"$O/errors" &
        wait_for() { for i in $(seq 200); do grep -q "$1" "$O/out" && break; sleep 0.05; done; }
        wait_for " Count 150 "; dd if=/dev/zero of="$D/filler" bs=4k 2>/dev/null
        wait_for "Problem: Cycle log"; wait_for " Count 400 "; rm "$D/filler"
        wait_for "is written again"; kill -TERM $!; wait $!
        cp "$D"/Cyclomarkator-cycles-*.csv "$O/log.csv"
    )");
    QProcess shell;
    shell.setProcessEnvironment(environment());
    shell.start("unshare",
                {"-m", "sh", "-c", script, "sh", path("program"), PROGRAM_PATH, dir.path()});
    ASSERT_TRUE(shell.waitForFinished(60000));
    const QString out = QString::fromUtf8(fileBytes(path("errors")));
    EXPECT_EQ(out.count("No space left on device. Counting goes on; the rows wait"), 1);
    EXPECT_EQ(out.count("is written again (0 rows lost)"), 1) << out.toStdString();
    const std::vector<std::string> logged = rows(path("log.csv"));
    EXPECT_EQ(std::count_if(logged.begin(), logged.end(),
                            [](const std::string& row) { return row.ends_with(",gap"); }),
              1);
    EXPECT_GT(logged.size(), 400u);
}

} // namespace
