// One run of the program without its window: what start-up, the counting
// timer and the end of the run do with the files, whatever goes wrong while
// counting. The simulated converter follows the test's clock: +10 V at 5 s,
// -10 V at 15 s of each 20 s period.
#include "session/CounterSession.h"
#include "session/HeadlessView.h"

#include "adc/LibadxDevices.h"
#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"
#include "platform/RegistryArea.h"
#include "support/FakeBackend.h"
#include "support/FileSizeLimit.h"
#include "support/ManualClock.h"
#include "support/RecordingCoreView.h"
#include "support/ScriptedPrompts.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

class Session : public testing::Test {
protected:
    Session() {
        for (const char* name : {"program", "temp"})
            QDir().mkpath(path(name));
        writeSettings("[HARDWARE]\nA/D-Converter=Dummy A/D\n");
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QString settingsPath() const { return path("program/Cyclomarkator.INI"); }
    void writeSettings(const QByteArray& text) {
        ASSERT_TRUE(AtomicFile::write(settingsPath(), text));
    }
    QString saved(const char* section, const char* key) const {
        ProfileFile file(settingsPath());
        file.load();
        return file.readString(section, key, "<missing>");
    }
    // A session over the folders (`program`: the rig's program folder), settings loaded.
    void start(const QString& program = "program") {
        const ProgramFolderChoice folder{path(program), "Cyclomarkator", {}, false, {}};
        session = std::make_unique<CounterSession>(
            CounterSession::Environment{folder, path("temp"), path("config"), "Cyclomarkator"},
            prompts, clock, devices);
        EXPECT_TRUE(session->LoadSettings()) << session->settingsError().toStdString();
        session->Form_Load(view);
        session->start();
    }
    // One counting tick at `ms`, as the counting timer runs it. Message boxes
    // are for a person who just asked for something; one opened here would
    // stop the counting until somebody clicks.
    void tickAt(int32_t ms) {
        clock.set(ms);
        const qsizetype boxes = prompts.shown.size();
        ASSERT_TRUE(QMetaObject::invokeMethod(&session->countingTimer(), "timeout"));
        EXPECT_EQ(prompts.shown.size(), boxes) << "a box in the counting tick";
    }

    QTemporaryDir dir;
    ManualClock clock{0};
    ScriptedPrompts prompts;
    FakeDevices devices;
    RecordingMainView view;
    std::unique_ptr<CounterSession> session;
};

// Writes of the exchange file, the settings file and the flag file that fail
// at every tick (a file size limit makes them fail as a full disk would) go to
// the status line once each; no box waits for a click and the counting goes on.
TEST_F(Session, FailingWritesWhileCountingNeverOpenABoxAndNeverStopTheCount) {
    start();
    {
        const FileSizeLimit full(0);
        for (int period = 0; period < 3; ++period) {
            tickAt(period * 20000 + 5000);
            tickAt(period * 20000 + 15000);
        }
    }
    EXPECT_EQ(session->state().CycleCount, 3);
    // Two ticks a cycle are also far too few samples for the peaks, said once.
    ASSERT_EQ(view.problems.size(), 5) << view.problems.join('\n').toStdString();
    EXPECT_TRUE(view.problems[0].startsWith("Cycle log "));
    EXPECT_TRUE(view.problems[1].startsWith("ADCFile_write: "));
    EXPECT_TRUE(view.problems[2].contains(settingsPath()));
    EXPECT_TRUE(view.problems[3].startsWith("~Trigger.tmp: "));
    EXPECT_TRUE(view.problems[4].startsWith("Only 2 samples a cycle"));
    session->Form_Unload(session->general());
    EXPECT_EQ(saved("Cyclomarkator", "Value"), "3"); // the count reached the file at the end
    EXPECT_TRUE(prompts.shown.isEmpty());
}

// A device missing today must not erase the rig's configuration: a name the
// catalogue does not know opens nothing and is written back as it was. A
// problem found while loading (here a chart that cannot be read) stays in the
// status line after the start-up has written the interface's name there.
TEST_F(Session, StartUpKeepsAnUnknownInterfaceAndALoadingProblemInSight) {
    writeSettings("[HARDWARE]\nA/D-Converter=Keithley KUSB-3100\n");
    ASSERT_TRUE(QDir().mkdir(path("program/Data.dat")));
    start();
    EXPECT_FALSE(session->adc().ready());
    EXPECT_TRUE(view.status.startsWith(session->adc().ADC_catalogue_name(0) + " - Load Data: "))
        << view.status.toStdString();
    session->Form_Unload(session->general());
    EXPECT_EQ(saved("HARDWARE", "A/D-Converter"), "Keithley KUSB-3100");
}

// Each rig keeps its own A/D range: the per-user registry area of earlier
// versions goes to the first rig that opens, once, and a rig that closes later
// never hands its range to another.
TEST_F(Session, EachRigKeepsItsOwnRange) {
    const QString userArea = path("config/Cyclomarkator.ini");
    RegistryArea(userArea).setValue("ADC", "Range", "3");
    const QByteArray vendor = "[HARDWARE]\nA/D-Converter=BMC Messsysteme: USB-AD16f:0\n";
    writeSettings(vendor);
    ASSERT_TRUE(QDir().mkpath(path("program2")));
    ASSERT_TRUE(AtomicFile::write(path("program2/Cyclomarkator.INI"), vendor));
    // The rig, the range it opens in, the range it closes in.
    const std::tuple<const char*, int32_t, int32_t> runs[] = {
        {"program", 3, 1}, {"program2", 0, 5}, {"program", 1, 1}, {"program2", 5, 5}};
    for (const auto& [rig, opened, closed] : runs) {
        SCOPED_TRACE(rig);
        devices.offer();
        start(rig);
        EXPECT_EQ(session->adc().range(), opened);
        EXPECT_FALSE(QFileInfo::exists(userArea));
        session->adc().setRange(closed);
        session->Form_Unload(session->general());
        session.reset();
    }
}

// A start that counts nothing for want of a converter says why, and how to
// choose one, in the status line (headless: its "Status:" line).
TEST_F(Session, AStartWithoutAConverterSaysHowToChooseOne) {
    const std::pair<QByteArray, const char*> cases[] = {
        {"", "No A/D converter is chosen"},
        {"[HARDWARE]\nA/D-Converter=(none)\n", "No A/D converter is chosen"},
        {"[HARDWARE]\nA/D-Converter=Keithley KUSB-3100\n", "\"Keithley KUSB-3100\" is not known"}};
    for (const auto& [settings, why] : cases) {
        writeSettings(settings);
        start();
        EXPECT_TRUE(view.status.contains(why)) << view.status.toStdString();
        for (const QString& how : {settingsPath(), QStringLiteral("--converter NAME")})
            EXPECT_TRUE(view.status.contains(how)) << view.status.toStdString();
    }
}

// A failure saved without the mark that its command ran (the program ended
// between the two) runs the command at the next start only, with the event in
// its environment; a refused OnStall is said once and not kept.
TEST_F(Session, AFailureWithoutItsMarkRunsItsCommandAtTheNextStartOnly) {
    const QString tell = path("tell");
    ASSERT_TRUE(AtomicFile::write(tell, "#!/bin/sh\nprintf '%s|' \"$@\" > \"$0.args\"\n"
                                        "env | grep ^CYCLO_ > \"$0.env\"; echo told\n"));
    QFile::setPermissions(tell, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    writeSettings("[HARDWARE]\nA/D-Converter=Dummy A/D\n[Cyclomarkator]\nValue=5123\n"
                  "[Watch]\nArmed=1\nOnStall=say 'it\nOnFailure=" +
                  tell.toUtf8() +
                  " 'rig 7' \"N_f\"\nReferencePeak=2\nReferenceValley=-2\n"
                  "ReferenceAmplitude=2\nReferenceFrom=101\nReferenceTo=150\n"
                  "ReferenceTaken=1.7e9\nFailedAt=5000\nFailedCriterion=amplitude\n"
                  "FailedValues=1.75; -1.75; 1.75\nFailedConfirmedAt=5002\nFailedTime=1.7e9\n");
    for (const bool firstStart : {true, false}) {
        view.problems.clear();
        view.status.clear();
        start();
        EXPECT_EQ(view.problems.contains("[Watch] OnStall=say 'it is refused: its ' quote is not "
                                         "closed; no command is kept."),
                  firstStart);
        EXPECT_EQ(saved("Watch", "FailureCommandRun"), "5000");
        // A start that ran it would have forked it by now.
        ASSERT_EQ(
            QTest::qWaitFor([&] { return view.status.endsWith("exit status 0: told"); }, 2000),
            firstStart);
        session->Form_Unload({});
        session.reset();
    }
    EXPECT_EQ(fileBytes(tell + ".args"), "rig 7|N_f|");
    const QByteArray all = fileBytes(tell + ".env");
    for (const char* line :
         {"CYCLO_AMPLITUDE=1.75\n", "CYCLO_COUNT=5123\n", "CYCLO_CRITERION=amplitude\n",
          "CYCLO_EVENT=failure\n", "CYCLO_NF=5000\n", "CYCLO_REF_VALLEY=-2\n",
          "CYCLO_RIG=program\n", "CYCLO_TEXT=The specimen failed at N_f = 5000: "})
        EXPECT_TRUE(all.contains(line)) << line << "\n" << all.toStdString();
}

} // namespace

namespace {
// Headless, the watch's state is a line when it changes kind, not at every
// reference cycle or new percentage, so a weeks-long journal stays readable.
TEST(HeadlessWatch, PrintsTheStateWhenItChangesKind) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    {
        HeadlessView view(fds[1], fds[1], [] { return QDateTime({2024, 5, 6}, {14, 3, 27}); });
        for (const char* text :
             {"armed", "taking reference 1/50", "taking reference 2/50", "watching ±0.4 %",
              "watching ±2.1 %", "stalled since 14:03:27", "watching ±0.5 %", "FAILED at N_f 5000"})
            view.setWatchText(QString::fromUtf8(text));
    }
    ::close(fds[1]);
    QFile out;
    ASSERT_TRUE(out.open(fds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    EXPECT_EQ(QString::fromUtf8(out.readAll()).remove(QStringLiteral("2024-05-06 14:03:27 ")),
              QStringLiteral("Watch: armed\nWatch: taking reference 1/50\nWatch: watching ±0.4 %\n"
                             "Watch: stalled since 14:03:27\nWatch: watching ±0.5 %\n"
                             "Watch: FAILED at N_f 5000\n"));
}
} // namespace
