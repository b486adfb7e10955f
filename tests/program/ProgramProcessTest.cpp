// Runs the real program in private folders and attacks it as a lab's worst
// week would: killed at chosen moments, its files made unreadable, readers
// that stop reading, a second copy, another user. The test options make the
// simulated device's 20 s sine come round in 20 ms, so counts come quickly.
#include "ProgramRig.h"
#include "recording/RecorderDataFile.h"
#include "support/Fifo.h"
#include "support/SilentBus.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QStringList Fast{"--test-clock-rate", "1000", "--test-tick-ms", "2"};

class Program : public ProgramRig {
protected:
    void SetUp() override {
        ProgramRig::SetUp();
        writeSettings("[HARDWARE]\nA/D-Converter=Dummy A/D\n");
    }
    // The program headless over the test's folders; `program` and `tmp`
    // name folders below the test's own.
    void start(QProcess& process, const QStringList& extra = Fast,
               const QString& program = "program", const QString& tmp = "tmp",
               const QStringList& runAs = {}) {
        ProgramRig::start(process, PROGRAM_PATH,
                          QStringList{"--headless", "--config-dir", path(program)} + extra, tmp,
                          runAs);
    }
    // Waits (bounded) until the saved count reaches `count`.
    bool savedReaches(int32_t count) const {
        for (QDeadlineTimer deadline(20000); saved() < count && !deadline.hasExpired();)
            QThread::msleep(20);
        return saved() >= count;
    }
};

// A session bus that lets the program in and never finishes the login: the
// program counts on, says once that it runs without the link, and ends on
// SIGTERM while the bus still hangs.
TEST_F(Program, CountsAndEndsWhileTheSessionBusNeverAnswers) {
    SilentBus silent(path("bus"), SilentBus::Mode::Silent, 60000);
    busAddress = silent.address();
    writeSettings("[HARDWARE]\nA/D-Converter=Dummy A/D\n[Cyclomarkator]\nCountMode=1\n"
                  "[Trigger]\nADthreshold=10\n");
    QProcess counting;
    start(counting);
    QString output;
    EXPECT_TRUE(waitFor(counting, output, "Count 3 ").hasMatch()) << output.toStdString();
    EXPECT_TRUE(waitFor(counting, output, "No session bus at").hasMatch()) << output.toStdString();
    stop(counting);
    EXPECT_TRUE(silent.holding());
    EXPECT_EQ(errorsOf(counting).count("No session bus at " + busAddress), 1);
}

// A count lost on SIGTERM, or an exchange file left without the count. A
// chart the program cannot take over (a later version) is kept aside under a
// name that says why before the end writes a new one. Without a session bus
// the program counts on and says so once, and the client finds no counter.
// While it runs, a second copy that shares its program folder or its
// temporary folder is refused, whatever TMPDIR says; a rig with folders of
// its own runs beside it (and ends on SIGINT as on SIGTERM).
TEST_F(Program, OneCopyPerRigKeepsItsCountThroughSigterm) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("tmp2") && QDir(dir.path()).mkpath("program2"));
    ASSERT_TRUE(QFile::copy(settingsPath(), path("program2/Cyclomarkator.INI")));
    writeSettings("[HARDWARE]\nA/D-Converter=Dummy A/D\n[Cyclomarkator]\nValue=41\nCountMode=1\n"
                  "[Trigger]\nADthreshold=10\n");
    QByteArray later(RecorderDataFile::FileSize, '\0');
    later.replace(0, 13, "Cyclomarkator");
    later[13] = 2;
    writeFile(dataPath(), later);
    QProcess first, sameFolder, sameTemp, otherRig, client;
    start(first);
    QString output;
    ASSERT_TRUE(waitFor(first, output, "Count 45 ").hasMatch()) << output.toStdString();
    ProgramRig::start(client, LINK_TOOL_PATH, {"get", "Label_AD_get_cyclomarkator"});
    expectEnds(client, 3);
    EXPECT_TRUE(errorsOf(client).contains("cannot reach the session bus"));
    start(sameFolder, Fast, "program", "tmp2");
    start(sameTemp, Fast, "program2", "tmp");
    for (QProcess* refused : {&sameFolder, &sameTemp}) {
        expectEnds(*refused, 1);
        EXPECT_TRUE(errorsOf(*refused).contains("Cyclomarkator is already running!"));
    }
    start(otherRig, Fast, "program2", "tmp2");
    QString other;
    EXPECT_TRUE(waitFor(otherRig, other, "Count 2 ").hasMatch()) << other.toStdString();
    stop(otherRig, SIGINT);
    stop(first);
    EXPECT_EQ(errorsOf(first).count("No session bus"), 1);
    EXPECT_GE(saved(), 45);
    EXPECT_EQ(fileBytes(path("tmp/~ADC.txt")).size(), 32);
    const QStringList aside = QDir(path("program")).entryList({"Data.dat.invalid-version-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(fileBytes(path("program/" + aside[0])), later);
    EXPECT_EQ(QFileInfo(dataPath()).size(), RecorderDataFile::FileSize);
}

// Whatever shows a count must find it saved: a process killed right after a
// "Count N" line has N in its settings file, and the next start resumes there.
TEST_F(Program, ACountThatWasShownWasSavedAndResumes) {
    for (int round = 0; round < 5; ++round) {
        const int32_t before = std::max(saved(), 0);
        QProcess counting;
        start(counting);
        QString output;
        const QRegularExpressionMatch shown =
            waitFor(counting, output, QStringLiteral("Count (%1) ").arg(before + 3));
        ::kill(static_cast<pid_t>(counting.processId()), SIGKILL);
        ASSERT_TRUE(counting.waitForFinished(10000));
        ASSERT_TRUE(shown.hasMatch()) << output.toStdString();
        EXPECT_EQ(QRegularExpression("Count (\\d+) ").match(output).captured(1).toInt(), before);
        EXPECT_GE(saved(), shown.captured(1).toInt()) << round;
    }
}

// A number out of an option's range stops with code 2 and says why, not
// start counting (the help is the installed tree's test). A settings file
// that exists but cannot be read (here too large) stops the start with code
// 3 and its name, and is left exactly as it was.
TEST_F(Program, ExitCodesOfRunsThatDoNotCount) {
    QByteArray big = "[Cyclomarkator]\nValue=54321\n";
    big.append(ProfileFile::MaxFileSize, ';');
    writeSettings(big);
    QProcess bad, refused;
    bad.start(PROGRAM_PATH, {"--test-tick-ms", "0"});
    start(refused);
    expectEnds(bad, 2);
    EXPECT_TRUE(errorsOf(bad).contains("--test-tick-ms"));
    expectEnds(refused, 3);
    EXPECT_TRUE(errorsOf(refused).contains(settingsPath()));
    EXPECT_EQ(fileBytes(settingsPath()), big);
}

// A settings file that another user's program may no longer read (root reads
// it anyway) while counting: the count goes on, the file is written again
// readable with everything in it, and the unreadable one is kept aside.
TEST_F(Program, AnotherUserWhoCannotReadTheSettingsFile) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run the program as another user with setpriv";
    QTemporaryDir bin;
    const QString copy = bin.filePath("Cyclomarkator");
    ASSERT_TRUE(QFile::copy(PROGRAM_PATH, copy));
    for (const QString& folder : {bin.path(), dir.path()})
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
    writeSettings("[HARDWARE]\nA/D-Converter=Dummy A/D\n[Cyclomarkator]\nValue=54321\n"
                  "[Recorder]\nHeight=300\n");
    for (const char* name : {"program", "tmp", "config", "program/Cyclomarkator.INI"})
        ASSERT_EQ(::chown(QFile::encodeName(path(name)).constData(), 65534, 65534), 0);
    QProcess counting;
    start(counting, Fast, "program", "tmp",
          {"--reuid=65534", "--regid=65534", "--clear-groups", copy});
    ASSERT_TRUE(savedReaches(54323));
    // Every save replaces the file, and a mode set on the one a save is
    // replacing is lost with it: the mode is set again until a save meets it.
    const auto keptAside = [&] {
        return QDir(path("program")).entryList({"Cyclomarkator.INI.unreadable-*"}).size();
    };
    for (QDeadlineTimer deadline(20000); keptAside() == 0 && !deadline.hasExpired();) {
        ::chmod(QFile::encodeName(settingsPath()).constData(), 0);
        QThread::msleep(1);
    }
    EXPECT_TRUE(savedReaches(saved() + 3));
    stop(counting);
    EXPECT_GE(keptAside(), 1);
    EXPECT_TRUE(QFileInfo(settingsPath()).permissions().testFlag(QFile::ReadOwner));
    EXPECT_EQ(saved("Recorder", "Height"), 300);
}

// A box of the [Devices] section stops answering after 200 ticks and for 5000
// more (a tick then tries one reading): nothing is counted meanwhile, the
// problem and the recovery are told once each, and counting goes on by
// itself. The [Devices] section survives every save of the count.
TEST_F(Program, ADeviceGoneForThousandsOfTicksPausesOnlyTheCounting) {
    const QByteArray devices = "usbbase:0=sim:period_ms=200,fail_after=1800,recover_after=5000\n";
    writeSettings("[HARDWARE]\nA/D-Converter=BMC Messsysteme: USB-AD16f:0\n[Devices]\n" + devices +
                  "[Cyclomarkator]\nCountMode=1\n[Trigger]\nADthreshold=10\n");
    QProcess counting;
    start(counting, {"--test-clock-rate", "10", "--test-tick-ms", "1"});
    QString output;
    const QString back = "Recovered: BMC Messsysteme: USB-AD16f:0 answers again after 5000 "
                         "missed readings; counting goes on.";
    ASSERT_TRUE(waitFor(counting, output, back, 180000).hasMatch()) << output.toStdString();
    const QString before = output.left(output.indexOf(back));
    const qsizetype gone = before.indexOf("Problem: BMC Messsysteme: USB-AD16f:0 does not answer");
    ASSERT_GT(gone, 0) << output.toStdString();
    EXPECT_FALSE(before.mid(gone).contains("Count "));
    const int reached = before.mid(before.lastIndexOf("Count ") + 6).section(' ', 0, 0).toInt();
    EXPECT_TRUE(waitFor(counting, output, QStringLiteral("Count %1 ").arg(reached + 2)).hasMatch());
    stop(counting);
    EXPECT_TRUE(fileBytes(settingsPath()).contains(devices));
}

// A stream is counted scan by scan without a window: a 50 Hz sine at 2000
// scans/s (40 a cycle) counts on with nothing said; a 10 Hz sine at 100 scans/s
// has too few samples a cycle, which is said once.
TEST_F(Program, AStreamCountsHeadlessAndSaysWhenItsRateIsTooLow) {
    const std::tuple<const char*, const char*> rows[] = {
        {"rate=2000,frequency=50", nullptr},
        {"rate=100,frequency=10,channels=1",
         "Problem: Only 10 samples a cycle: peaks can be read up to 4.9 % low"},
    };
    for (const auto& [options, told] : rows) {
        SCOPED_TRACE(options);
        writeSettings(QByteArray("[HARDWARE]\nA/D-Converter=BMC Messsysteme: USB-AD16f:0\n"
                                 "[Devices]\nusbbase:0=sim:") +
                      options + "\n[Cyclomarkator]\nValue=0\n");
        QProcess counting;
        start(counting, {"--test-clock-rate", "20", "--test-tick-ms", "2"});
        QString output;
        ASSERT_TRUE(waitFor(counting, output, "Count 3\\d\\d ", 60000).hasMatch())
            << output.toStdString();
        stop(counting);
        EXPECT_GE(saved(), 300);
        EXPECT_EQ(output.count("samples a cycle"), told ? 1 : 0) << output.toStdString();
        EXPECT_FALSE(output.contains("were lost")) << output.toStdString();
        EXPECT_TRUE(!told || output.contains(told)) << output.toStdString();
    }
}

// A converter file that is a FIFO (which would hold an open() until a writer
// came) or is not there yet holds up neither the start nor the end: the
// program says so, looks again every 2 s of its clock and counts once the
// device is whole, and a FIFO met while counting is a failed reading that
// SIGTERM does not wait for.
TEST_F(Program, ADeviceFileThatBlocksOrComesLateHoldsNothingUp) {
    const QString node = path("sys/iio:device0");
    ASSERT_TRUE(QDir().mkpath(node));
    writeFile(node + "/name", "ads1115\n");
    writeFile(node + "/in_voltage0_raw", "8000\n");
    writeSettings("[HARDWARE]\nA/D-Converter=Linux Industrial I/O\nDevice=iio:ads1115?root=" +
                  path("sys").toUtf8() + "\n");
    std::optional<Fifo> fifo(std::in_place, node + "/in_voltage_scale");
    QProcess counting;
    start(counting);
    QString output;
    ASSERT_TRUE(
        waitFor(counting, output, "Status: Linux Industrial I/O - not there yet").hasMatch())
        << output.toStdString();
    output.clear();
    writeFile(node + "/scale", "0.125\n");
    ASSERT_EQ(::rename(QFile::encodeName(node + "/scale").constData(),
                       QFile::encodeName(node + "/in_voltage_scale").constData()),
              0);
    ASSERT_TRUE(waitFor(counting, output, "Status: Linux Industrial I/O\n").hasMatch())
        << output.toStdString();
    fifo.emplace(node + "/in_voltage_scale");
    ASSERT_TRUE(waitFor(counting, output, "in_voltage_scale is not a regular file").hasMatch())
        << output.toStdString();
    stop(counting);
    EXPECT_EQ(errorsOf(counting).count("cannot be opened"), 1);
}

// A recorded signal replayed through the whole program counts exactly what
// the offline counter counts in the same file with the same settings; its
// end is told as of a device that stopped answering.
TEST_F(Program, AReplayedFileCountsAsTheOfflineCounterCountsIt) {
    QByteArray signal = "time,load\n";
    for (int i = 0; i < 2400; ++i) {
        const double swing = 0.2 + 1.5 * std::fabs(std::sin(i / 250.0));
        const double value =
            swing * std::sin(i * 2 * M_PI / 37) + 0.3 * std::sin(i * 2 * M_PI / 11);
        signal += QByteArray::number(i) + ',' +
                  (i == 700 ? "" : QByteArray::number(value, 'f', 4)) + '\n';
    }
    writeFile(path("signal.csv"), signal);
    const QByteArray counting =
        "[Cyclomarkator]\nValue=5\n[Trigger]\nADthreshold=0.9\nHysterese=0.25\n";
    writeSettings("[HARDWARE]\nA/D-Converter=Recorded signal (replay)\nDevice=replay:" +
                  path("signal.csv").toUtf8() + "?column=2\n" + counting);
    QProcess offline;
    offline.start(COUNT_TOOL_PATH, {"--settings", settingsPath(), "--column", "2", "--gaps", "skip",
                                    path("signal.csv")});
    ASSERT_TRUE(offline.waitForFinished(30000));
    const QString summary = QString::fromUtf8(offline.readAllStandardOutput());
    const QRegularExpressionMatch counted = QRegularExpression(" count=(\\d+) ").match(summary);
    ASSERT_TRUE(counted.hasMatch()) << summary.toStdString();
    EXPECT_GT(counted.captured(1).toInt(), 5 + 20);

    QProcess replay;
    start(replay);
    QString output;
    const QString ended = "Problem: Recorded signal \\(replay\\) does not answer: signal.csv "
                          "ended after 2399 samples";
    ASSERT_TRUE(waitFor(replay, output, ended, 60000).hasMatch()) << output.toStdString();
    stop(replay);
    EXPECT_EQ(saved(), counted.captured(1).toInt()) << output.toStdString();
}

// A headless rig is set up from the command line: the names, then a choice
// checked as the setup dialog's Accept checks it, written to the rig's
// settings file without counting. What cannot be used is refused with the
// reason and code 2, the file unchanged, and so is a change under a copy that
// counts on the rig.
TEST_F(Program, TheConverterIsChosenFromTheCommandLine) {
    writeFile(path("program/signal.csv"), "1\n2\n");
    const auto run = [this](const QStringList& arguments, int code) {
        QProcess process;
        ProgramRig::start(process, PROGRAM_PATH,
                          QStringList{"--config-dir", path("program")} + arguments);
        expectEnds(process, code);
        return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    };
    const QString list = run({"--list-converters"}, 0);
    EXPECT_TRUE(list.startsWith("(none)\nDummy A/D\n") &&
                list.contains("\nModbus/TCP  (--device modbus-tcp://"))
        << list.toStdString();
    const QString badUnit = "modbus-tcp://127.0.0.1:1?unit=999", replay = "replay:signal.csv";
    // The arguments, the exit code, what it says, then A/D-Converter|Device in the file.
    const std::tuple<QStringList, int, const char*, QString> cases[] = {
        {{"--converter", "Keithley"}, 2, "is no A/D converter", "Dummy A/D|"},
        {{"--converter", "dummy a/d", "--device", "x"}, 2, "has no address", "Dummy A/D|"},
        {{"--converter", "Modbus/TCP", "--device", badUnit}, 2, "\"unit\" must be", "Dummy A/D|"},
        {{"--converter", "recorded signal (replay)", "--device", replay},
         0,
         "2 samples",
         "Recorded signal (replay)|" + replay},
        {{"--converter", "(none)"}, 0, "(none) written", "(none)|" + replay},
        {{"--converter", "dummy a/d"}, 0, "Dummy A/D written", "Dummy A/D|" + replay},
    };
    for (const auto& [arguments, code, says, stored] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        EXPECT_TRUE(run(arguments, code).contains(says));
        ProfileFile file(settingsPath());
        ASSERT_TRUE(file.load());
        EXPECT_EQ(file.readString("HARDWARE", "A/D-Converter", {}) + '|' +
                      file.readString("HARDWARE", "Device", {}),
                  stored);
    }
    QProcess counting;
    start(counting);
    QString output;
    ASSERT_TRUE(waitFor(counting, output, "Count 2 ").hasMatch()) << output.toStdString();
    EXPECT_TRUE(run({"--converter", "(none)"}, 2).contains("end it before choosing"));
    stop(counting);
}

// A history replayed at its own rate and faster than real time counts
// exactly what the offline counter counts at that rate: the count, the extrema
// of the unfinished cycle and every trigger (a delayed voltage crossing, whose
// delay follows the converter's clock) at its cycle.
TEST_F(Program, AReplayAtItsRateCountsAsTheOfflineCounterAtThatRate) {
    QByteArray signal;
    for (int i = 0; i < 30000; ++i) {
        const double swing = 0.4 + 1.2 * std::fabs(std::sin(i / 700.0));
        signal += i % 1001 == 7 ? QByteArray("nan")
                                : QByteArray::number(swing * std::sin(i * 2 * M_PI / 41), 'f', 4);
        signal += '\n';
    }
    writeFile(path("signal.txt"), signal);
    writeSettings("[HARDWARE]\nA/D-Converter=Recorded signal (replay)\nDevice=replay:" +
                  path("signal.txt").toUtf8() +
                  "?rate=500&speed=20\n[Cyclomarkator]\nValue=5\nPeriodizitaet=2\n[Trigger]\n"
                  "ADthreshold=0.9\nHysterese=0.25\nSource=2\nTrigDelay=30\n[Profile]\n"
                  "Profiles=1\n0To=40\n0N=2\n6N=5\n");
    QProcess offline;
    offline.start(COUNT_TOOL_PATH, {"--settings", settingsPath(), "--rate", "500", "--gaps", "skip",
                                    path("signal.txt")});
    ASSERT_TRUE(offline.waitForFinished(30000));
    const QString counted = QString::fromUtf8(offline.readAllStandardOutput());
    const QRegularExpressionMatch summary =
        QRegularExpression(" count=(\\d+) minor=(\\d+) triggers=(\\d+)").match(counted);
    ASSERT_TRUE(summary.hasMatch()) << counted.toStdString();
    QList<int> triggers;
    for (const auto& match : QRegularExpression("trigger .* cycle=(\\d+)").globalMatch(counted))
        triggers << match.captured(1).toInt();
    EXPECT_EQ(triggers.size(), summary.captured(3).toInt());
    EXPECT_GT(triggers.size(), 20);

    QProcess replay;
    start(replay, {"--test-clock-rate", "2", "--test-tick-ms", "20"});
    QString output;
    ASSERT_TRUE(
        waitFor(replay, output, "does not answer: signal.txt ended after 29970 samples", 120000)
            .hasMatch())
        << output.toStdString();
    // A delayed trigger is raised a little after the tick that found it due
    // (maybe after one found in the next tick); the first title is the flag
    // cleared at the start.
    const QRegularExpression title("Title: Trigger \\((\\d+)\\)");
    QList<int> raised;
    for (QDeadlineTimer deadline(5000); raised.size() <= triggers.size() && !deadline.hasExpired();
         replay.waitForReadyRead(100)) {
        output += QString::fromUtf8(replay.readAllStandardOutput());
        raised.clear();
        for (const auto& match : title.globalMatch(output))
            raised << match.captured(1).toInt();
    }
    stop(replay);
    std::sort(raised.begin(), raised.end());
    EXPECT_FALSE(output.contains("were lost")) << output.toStdString();
    EXPECT_EQ(std::tuple(saved(), saved("Cyclomarkator", "Value2"), raised.mid(1)),
              std::tuple(summary.captured(1).toInt(), summary.captured(2).toInt(), triggers));
}

// Output never stops the counting: a reader that stops reading (a pipe of
// 4 kB) loses lines and is told how many once it reads again; one that went
// away (like `| head -3`) loses the output, not the count.
TEST_F(Program, ReadersOfTheOutputCannotStopTheCounting) {
    for (const bool readerLeaves : {false, true}) {
        SCOPED_TRACE(readerLeaves);
        int pipeEnds[2];
        ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
        ::fcntl(pipeEnds[0], F_SETPIPE_SZ, 4096);
        QProcess counting;
        counting.setChildProcessModifier([&] { ::dup2(pipeEnds[1], STDOUT_FILENO); });
        const int32_t before = saved();
        start(counting);
        ::close(pipeEnds[1]);
        if (readerLeaves)
            ::close(pipeEnds[0]);
        EXPECT_TRUE(savedReaches(before + 200));
        if (!readerLeaves) {
            // The program writes a line every tick, so each read returns soon.
            const QByteArray told = "lines dropped: the reader did not keep up";
            QByteArray all;
            char got[4096];
            for (ssize_t n = 1; n > 0 && all.size() < (1 << 20) && !all.contains(told);)
                if ((n = ::read(pipeEnds[0], got, sizeof got)) > 0)
                    all.append(got, n);
            EXPECT_TRUE(all.contains(told));
            ::close(pipeEnds[0]);
        }
        stop(counting);
    }
}

// A full disk closes ~ADC.txt; once there is room again it is written again
// by itself. A tmpfs of 64 kB in a mount namespace of its own plays the disk.
TEST_F(Program, TheExchangeFileComesBackAfterAFullDisk) {
    if (::geteuid() != 0 || QProcess::execute("unshare", {"-m", "true"}) != 0)
        GTEST_SKIP() << "needs root and unshare -m to mount a small full filesystem";
    const QString script = QStringLiteral(R"(
        set -e
        T=$1 D=$2 P=$3
        mount -t tmpfs -o size=64k tmpfs "$T"
        dd if=/dev/zero of="$T/filler" bs=4k 2>/dev/null || true
        TMPDIR="$T" "$P" --headless --config-dir "$D" --test-clock-rate 1000 --test-tick-ms 2 \
            >/dev/null 2>"$D/errors" &
        for i in $(seq 200); do grep -q ADCFile "$D/errors" && break; sleep 0.05; done
        rm "$T/filler"
        for i in $(seq 200); do grep -q "written again" "$D/errors" && break; sleep 0.05; done
        kill -TERM $!; wait $!
        cat "$D/errors"; stat -c 'size %s' "$T/~ADC.txt"
    )");
    QProcess shell;
    shell.setProcessEnvironment(environment());
    shell.start("unshare",
                {"-m", "sh", "-c", script, "sh", path("tmp"), path("program"), PROGRAM_PATH});
    ASSERT_TRUE(shell.waitForFinished(60000));
    const QString output = QString::fromUtf8(shell.readAllStandardOutput());
    EXPECT_EQ(shell.exitCode(), 0) << errorsOf(shell).toStdString();
    EXPECT_TRUE(output.contains("ADCFile_")) << output.toStdString();
    EXPECT_TRUE(output.contains("~ADC.txt is written again.")) << output.toStdString();
    EXPECT_TRUE(output.contains("size 32")) << output.toStdString();
}

} // namespace
