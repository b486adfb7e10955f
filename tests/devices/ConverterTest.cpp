// The converters of interfaces 23..25 at their [HARDWARE] Device= address:
// every wrong part of an address named before anything opens, and the
// recorded signal played one sample per tick to its end, in a loop, and
// through a file that goes away and comes back, becomes a FIFO, or is too
// large to be read through when it opens. Played as a stream at its own rate
// on the program's clock: every counted sample handed out once, in order, with
// its index (and the file's time with a time column), gaps skipped, the end a
// failed read unless it loops, and a late take losing scans with their number.
#include "adc/ScanStream.h"
#include "devices/ConverterControl.h"
#include "devices/DeviceError.h"
#include "devices/DeviceTransports.h"
#include "devices/ReplayControl.h"
#include "support/Fifo.h"
#include "support/ManualClock.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

// A recorded signal in a temporary folder, replayed on the test's clock.
class Converters : public testing::Test {
protected:
    // The replay of `address` (what follows "replay:"), opened.
    std::unique_ptr<ConverterControl> open(const QString& address) {
        auto control = transports.createConverter(25, "replay:" + address);
        EXPECT_TRUE(control->open("replay")) << control->openError().toStdString();
        return control;
    }

    QTemporaryDir dir;
    ManualClock clock;
    const DeviceTransports transports{clock};
};
using ReplayStream = Converters;

// The reading of channel 1 as text, "-" (or why, when asked) when it fails.
QString reading(ConverterControl& control, bool why = false) {
    try {
        return QString::number(control.readVoltage(1, 0));
    } catch (const DeviceError& error) {
        return why ? error.why() : "-";
    }
}

// Every wrong part of an address is named before anything opens. Of the
// recorded signal, the start-up reading and the first tick see the first
// sample, every reading of a tick the same one; gaps are skipped. Without a
// loop the end fails every reading; with one the file starts again, and a
// file that is gone at the start of a round fails until it is back. Files
// that cannot be played are refused when they open, saying why.
TEST_F(Converters, EveryWrongPartOfAnAddressIsNamedAndTheSignalPlaysOneSamplePerTick) {
    // The interface, the address and a part of the message (null: the address is fine).
    const std::tuple<int32_t, const char*, const char*> cases[] = {
        {23, "iio:iio:device0?root=/tmp/x", nullptr},
        {24, " modbus-tcp://[::1]?format=uint16", nullptr},
        {20, "replay:x", "interface 20 takes no device address"},
        {25, "", "no device address is given (it starts with replay:)"},
        {25, "iio:ads1115", "must start with replay:"},
        {25, "replay:", "the address names no file"},
        {25, "replay:a.csv?pace=2", "option \"pace\" is unknown (known: column, loop, rate, "},
        {25, "replay:a.csv?rate=1000000&speed=100", nullptr},
        {25, "replay:a.csv?rate=0", "option \"rate\" must be above 0 and at most 1000000"},
        {25, "replay:a.csv?rate=2e6", "option \"rate\" must be above 0 and at most 1000000"},
        {25, "replay:a.csv?rate=fast", "option \"rate\" needs a number"},
        {25, "replay:a.csv?rate=50&speed=101", "option \"speed\" must be above 0 and at most 100"},
        {25, "replay:a.csv?speed=2", "option \"speed\" is for a stream (rate= or time_column=)"},
        {25, "replay:a.csv?column=2&time_column=1&rate=50",
         "\"rate\" cannot be given with time_column"},
        {25, "replay:a.csv?time_column=1", "\"time_column\" needs column="},
        {25, "replay:a.csv?column=2&time_column=2", "names the column of the values"},
        {25, "replay:a.csv?rate=5&time_unit=ms", "\"time_unit\" is for time_column"},
        {23, "iio:", "names no device"},
        {23, "iio:dev/../x", "is no device name or node"},
        {23, "iio:adc3?rate=0", "option \"rate\" must be above 0"},
        {23, "iio:adc3?rate=2e6", "option \"rate\" must be above 0"},
        {23, "iio:adc3?dev=/dev/iio:device0", "option \"dev\" needs a path, and rate= beside it"},
        {24, "modbus-tcp://", "\"\" is no host[:port]"},
        {24, "modbus-tcp://host?unit=256", "option \"unit\" must be a whole number from 0 to 255"},
        {24, "modbus-tcp://host?unit=1&unit=2", "option \"unit\" is given twice"},
        {24, "modbus-tcp://host?format=int32", "must be int16 or uint16 or float32"},
        {24, "modbus-tcp://host?format=float32&channels=63", "from 1 to 62, not \"63\""},
        {24, "modbus-tcp://host?scale=0", "option \"scale\" must not be 0"},
        {24, "modbus-tcp://host?offset=inf", "option \"offset\" needs a number"},
    };
    for (const auto& [number, address, part] : cases) {
        SCOPED_TRACE(address);
        QString why;
        try {
            EXPECT_NE(transports.createConverter(number, address), nullptr);
        } catch (const DeviceError& error) {
            why = error.why();
        }
        EXPECT_TRUE(part ? why.contains(part) : why.isEmpty()) << why.toStdString();
    }
    const QString path = dir.filePath("signal.csv");
    ASSERT_TRUE(putFile(path, "time;load\n0;0.5\n1;-1.5\n2;\n3;nan\n4;1.75\n"));
    for (const bool loop : {false, true}) {
        SCOPED_TRACE(loop);
        const auto control = open(path + (loop ? "?column=2&loop=1" : "?column=2&loop=0"));
        EXPECT_EQ(control->found().description,
                  QStringLiteral("signal.csv, 3 samples (2 gaps skipped)%1")
                      .arg(loop ? ", played in a loop" : ""));
        EXPECT_EQ(control->found().span, (std::pair{-2.0f, 2.0f}));
        QStringList played{reading(*control)};
        for (int tick = 0; tick < 8; ++tick) {
            control->beginTick(1);
            played << reading(*control) + u'/' + reading(*control);
            if (loop && (tick == 4 || tick == 6)) {
                EXPECT_TRUE(tick == 4 ? QFile::rename(path, path + ".away")
                                      : QFile::rename(path + ".away", path));
            }
        }
        EXPECT_EQ(played.join(u' '), loop ? "0.5 0.5/0.5 -1.5/-1.5 1.75/1.75 0.5/0.5 -1.5/-1.5 "
                                            "1.75/1.75 -/- 0.5/0.5"
                                          : "0.5 0.5/0.5 -1.5/-1.5 1.75/1.75 -/- -/- -/- -/- -/-");
    }
    ASSERT_TRUE(putFile(dir.filePath("words.txt"), "1.0\n2.0\nthree\n") &&
                putFile(dir.filePath("one.csv"), "t,v\n0,1\n") &&
                putFile(dir.filePath("same.csv"), "t,v\n0,1\n0,2\n"));
    // A time column that gives no rate is refused too.
    for (const auto& [file, why] :
         {std::pair{"missing.txt", "cannot open"},
          {".", "is a folder"},
          {"words.txt", "words.txt: line 3"},
          {"one.csv?column=2&time_column=1", "a file with one sample"},
          {"same.csv?column=2&time_column=1", "0 s apart in the time column"}}) {
        const auto control = transports.createConverter(25, "replay:" + dir.filePath(file));
        EXPECT_FALSE(control->open("replay"));
        EXPECT_TRUE(control->openError().contains(why)) << control->openError().toStdString();
    }
}

// A FIFO as the recorded signal, when it opens or at a round of a loop, is
// refused without waiting for a writer (an emptied file says so). A file larger than what opening
// reads ahead opens at once and is read ahead a step a tick: the range grows with the samples met,
// and in the end the description counts them all.
TEST_F(Converters, AReplayNeverWaitsForItsFile) {
    const QString path = dir.filePath("signal.txt");
    ASSERT_TRUE(putFile(path, "0.5\n"));
    ReplayControl::Options options = ReplayControl::parse(path + "?loop=1");
    ReplayControl looped(clock, options);
    ASSERT_TRUE(looped.open("replay"));
    ASSERT_TRUE(putFile(path, ""));
    looped.beginTick(1);
    looped.beginTick(1);
    EXPECT_TRUE(reading(looped, true).endsWith("signal.txt: no samples: the input is empty"));
    for (const bool opening : {false, true}) {
        const Fifo fifo(path);
        looped.beginTick(1);
        looped.beginTick(1);
        const QString why = !opening ? reading(looped, true)
                                     : (looped.open("replay") ? QString() : looped.openError());
        EXPECT_TRUE(why.contains("is not a regular file")) << why.toStdString();
    }
    ASSERT_TRUE(putFile(path, QByteArray("0.5\n").repeated(600000) + "7.5\n"));
    options.scanStepBytes = 1;
    ReplayControl large(clock, options);
    ASSERT_TRUE(large.open("replay"));
    EXPECT_TRUE(large.found().description.contains("samples so far (reading ahead)"));
    EXPECT_EQ(large.found().span, (std::pair{-0.5f, 0.5f}));
    for (int tick = 0; tick < 20 && !large.scanned(); ++tick)
        large.beginTick(1);
    EXPECT_EQ(large.found().description, "signal.txt, 600001 samples, played in a loop");
    EXPECT_EQ(large.found().span, (std::pair{-10.0f, 10.0f}));
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

TEST_F(ReplayStream, EveryCountedSampleOnceInOrderAtItsRate) {
    const QString path = dir.filePath("signal.csv");
    ASSERT_TRUE(putFile(path, "time;load\n0;0.5\n0.25;-1.5\n0.5;\n0.75;nan\n1;1.75\n1.25;2\n"));
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
    clock.set(-3); // the clock wraps during the takes
    for (const auto& [options, steps, played] : cases) {
        SCOPED_TRACE(options);
        const auto control = open(path + "?column=2&" + QLatin1String(options));
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
    EXPECT_EQ(open(path + "?column=2")->scanStream(), nullptr);
}

// The newest scan is what a reading (the setup dialog's) shows, and the
// replay's clock starts with the first take (a slow start-up loses nothing).
TEST_F(ReplayStream, ReadingsShowTheNewestScanAndALoopWaitsForItsFile) {
    const QString a = dir.filePath("a.txt"), b = dir.filePath("b.txt");
    ASSERT_TRUE(putFile(a, "1\n2\n3\n"));
    const auto control = open(a + "?rate=1000");
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
    const auto loop = open(a + "?rate=1000&loop=1");
    QStringList played{take(*loop->scanStream())};
    for (const auto& [step, away] : {std::pair{3, true}, {1, true}, {1, false}, {5, false}}) {
        if (away != QFile::exists(b)) {
            ASSERT_TRUE(away ? QFile::rename(a, b) : QFile::rename(b, a));
        }
        clock.advance(step);
        const QString taken = take(*loop->scanStream());
        played << (taken.startsWith(u'!') ? taken.left(12) : taken);
    }
    EXPECT_EQ(played.join(u' ').toStdString(), "0:1 1:2,3 !cannot open 3:1 4:2,3,1,2,3");
}

} // namespace
