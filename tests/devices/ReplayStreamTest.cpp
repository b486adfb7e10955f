// A recorded history played as a stream at its own rate on the program's
// clock: every counted sample handed out once, in order, with its index (and
// the file's time with a time column), gaps skipped, the end a failed read
// unless it loops, and a late take losing scans with their number.
#include "adc/ScanStream.h"
#include "devices/ConverterControl.h"
#include "devices/DeviceError.h"
#include "devices/DeviceTransports.h"
#include "support/ManualClock.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

void write(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

// "first:v,v@s,s-lost" for a block, "!why" for a failed take.
QString take(ScanStream& stream) {
    ScanBlock block;
    try {
        stream.takeScans(block, 100);
    } catch (const DeviceError& error) {
        return u'!' + error.why();
    }
    QStringList values;
    QStringList seconds;
    for (int64_t s = 0; s < block.scans(); ++s)
        values << QString::number(block.value(s, 0));
    for (const double t : block.seconds)
        seconds << QString::number(t);
    return QStringLiteral("%1:%2").arg(block.firstIndex).arg(values.join(u',')) +
           (seconds.isEmpty() ? QString() : u'@' + seconds.join(u',')) +
           (block.lost > 0 ? QStringLiteral("-%1").arg(block.lost) : QString());
}

TEST(ReplayStream, EveryCountedSampleOnceInOrderAtItsRate) {
    QTemporaryDir dir;
    const QString path = dir.filePath("signal.csv");
    write(path, "time;load\n0;0.5\n0.25;-1.5\n0.5;\n0.75;nan\n1;1.75\n1.25;2\n");
    // The options, the clock's steps before each take (ms), what the takes gave.
    const std::tuple<const char*, std::vector<int32_t>, const char*> cases[] = {
        {"rate=1000&speed=2",
         {0, 1, 1, 1},
         "0:0.5 1:-1.5,1.75 3:2 !signal.csv ended after 4 samples"},
        {"rate=1000&speed=2&loop=1", {0, 1, 1, 1}, "0:0.5 1:-1.5,1.75 3:2,0.5 5:-1.5,1.75"},
        // The rate is the time column's first step (4 scans/s); a gap takes
        // its time, and a loop's times go on from the end by one step.
        {"time_column=1&speed=100&loop=1", {0, 10}, "0:0.5@0 1:-1.5,1.75,2,0.5@0.25,1,1.25,1.5"},
        {"time_column=1&time_unit=ms&speed=0.3", {0, 1}, "0:0.5@0 1:-1.5@0.00025"},
        // 4 s of scans wait at 1 scan/s: the 3 before them are lost; a long
        // pause loses at most another buffer and holds the replay.
        {"rate=1&loop=1", {0, 7000}, "0:0.5 4:0.5,-1.5,1.75,2-3"},
        {"rate=1&loop=1", {0, 100000, 1000}, "0:0.5 5:-1.5,1.75,2,0.5-4 9:-1.5"},
    };
    ManualClock clock{-3}; // the clock wraps during the takes
    const DeviceTransports transports(clock);
    for (const auto& [options, steps, played] : cases) {
        SCOPED_TRACE(options);
        const auto control = transports.createConverter(
            25, QStringLiteral("replay:%1?column=2&%2").arg(path, QLatin1String(options)));
        ASSERT_TRUE(control->open(QStringLiteral("replay"))) << control->openError().toStdString();
        ScanStream* stream = control->scanStream();
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(std::tuple(stream->channels(), control->readVoltage(1, 0)), std::tuple(1, 0.5f));
        QStringList takes;
        for (const int32_t step : steps) {
            clock.advance(step);
            takes << take(*stream);
        }
        EXPECT_EQ(takes.join(u' ').toStdString(), played);
    }
    const auto plain = transports.createConverter(25, "replay:" + path + "?column=2");
    ASSERT_TRUE(plain->open(QStringLiteral("replay")));
    EXPECT_EQ(plain->scanStream(), nullptr);
}

// The newest scan is what a reading (the setup dialog's) shows, and the
// replay's clock starts with the first take (a slow start-up loses nothing); a time
// column that gives no rate is refused when the file opens.
TEST(ReplayStream, ReadingsShowTheNewestScanAndAFileWithoutARateIsRefused) {
    QTemporaryDir dir;
    ManualClock clock;
    const DeviceTransports transports(clock);
    write(dir.filePath("a.txt"), "1\n2\n3\n");
    const auto control =
        transports.createConverter(25, "replay:" + dir.filePath("a.txt") + "?rate=1000");
    ASSERT_TRUE(control->open(QStringLiteral("replay")));
    EXPECT_EQ(control->found().description, "a.txt, 3 samples, 1000 scans a second");
    ScanStream& stream = *control->scanStream();
    clock.advance(500); // the replay's clock starts at the first take
    QStringList shown;
    for (int i = 0; i < 2; ++i, clock.advance(1)) {
        shown << take(stream);
        shown.back() += u'=' + QString::number(control->readVoltage(1, 0));
    }
    EXPECT_EQ(shown, QStringList({"0:1=1", "1:2=2"}));
    // A loop whose file is away at the start of a round fails each take until
    // it is back, and goes on with the next index, its clock stood still.
    const auto loop =
        transports.createConverter(25, "replay:" + dir.filePath("a.txt") + "?rate=1000&loop=1");
    ASSERT_TRUE(loop->open(QStringLiteral("replay")));
    QStringList played{take(*loop->scanStream())};
    for (const auto& [step, away] : {std::pair{3, true}, {1, true}, {1, false}, {5, false}}) {
        if (away != QFile::exists(dir.filePath("b.txt"))) {
            ASSERT_TRUE(away ? QFile::rename(dir.filePath("a.txt"), dir.filePath("b.txt"))
                             : QFile::rename(dir.filePath("b.txt"), dir.filePath("a.txt")));
        }
        clock.advance(step);
        const QString taken = take(*loop->scanStream());
        played << (taken.startsWith(u'!') ? taken.left(12) : taken);
    }
    EXPECT_EQ(played.join(u' ').toStdString(), "0:1 1:2,3 !cannot open 3:1 4:2,3,1,2,3");
    for (const auto& [text, why] : {std::pair{"t,v\n0,1\n", "a file with one sample"},
                                    {"t,v\n0,1\n0,2\n", "0 s apart in the time column"}}) {
        write(dir.filePath("b.csv"), text);
        const auto timed = transports.createConverter(25, "replay:" + dir.filePath("b.csv") +
                                                              "?column=2&time_column=1");
        EXPECT_FALSE(timed->open(QStringLiteral("replay")));
        EXPECT_TRUE(timed->openError().contains(QLatin1String(why)))
            << timed->openError().toStdString();
    }
}

} // namespace
