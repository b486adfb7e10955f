// The main window's hooks into the recorder and the trigger dialog: what the
// counting records reaches the chart and its data file, and the dialog's
// changes show at once and reach the settings file.
#include "WindowHarness.h"

#include "recorder/Form_Xt_Recorder.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
constexpr qint64 DataFileSize = 88029;

QString dataFile(const WindowHarness& h) {
    return h.programFolder() + QStringLiteral("/Data.dat");
}
} // namespace

TEST(RecorderHook, LoadedHiddenShownByTheMenuAndUntickedWhenClosed) {
    WindowHarness h;
    h.writeSettings(dummySettings(QStringLiteral("[General]\nShowRecorder=-1\n")));
    h.startWindow();
    QTest::qWait(20); // Timer_Init
    Form_Xt_Recorder* recorder = h.form->recorderWindowIfLoaded();
    ASSERT_NE(recorder, nullptr);
    EXPECT_TRUE(recorder->isVisible());

    h.action("mnuShowRecorder")->trigger();
    EXPECT_FALSE(recorder->isVisible());
    h.action("mnuShowRecorder")->trigger();
    EXPECT_TRUE(recorder->isVisible());

    recorder->close(); // the user's close box only hides it
    EXPECT_FALSE(recorder->isVisible());
    EXPECT_FALSE(h.action("mnuShowRecorder")->isChecked());
}

TEST(RecorderHook, SamplesAndTriggersAreRecordedAndKeptAcrossRuns) {
    WindowHarness h;
    h.writeSettings(dummySettings());
    h.startWindow();
    QTest::qWait(20);
    for (int i = 1; i <= 30; ++i)
        h.tickAt(i * 40);
    h.action("mnuTrigMan")->trigger();
    // The start-up's own flag write leaves a mark too.
    const XtRecording& recording = h.session->recorder().recording();
    EXPECT_GE(recording.SampleCount, 30);
    EXPECT_EQ(recording.MarkCount, 2);
    const int32_t samples = recording.SampleCount;
    EXPECT_TRUE(h.prompts.shown.isEmpty()) << "no message for a first run without Data.dat";

    h.form->Form_Unload();
    EXPECT_EQ(QFileInfo(dataFile(h)).size(), DataFileSize);
    h.form.reset();
    h.session.reset();

    // The next run reads the chart back (through the recorder's start timer).
    h.startWindow();
    QTest::qWait(50);
    EXPECT_GE(h.session->recorder().recording().SampleCount, samples);
    EXPECT_GE(h.session->recorder().recording().MarkCount, 2);
}

TEST(RecorderHook, WithoutAConverterTheLastChartIsNotOverwritten) {
    WindowHarness h;
    h.writeSettings(dummySettings());
    h.startWindow();
    QTest::qWait(20);
    for (int i = 1; i <= 10; ++i)
        h.tickAt(i * 40);
    h.form->Form_Unload();
    h.form.reset();
    h.session.reset();

    h.writeSettings(QStringLiteral("[HARDWARE]\nA/D-Converter=(none)\n"));
    h.startWindow();
    EXPECT_EQ(h.form->recorderWindowIfLoaded(), nullptr);
    h.form->Form_Unload();
    h.form.reset();
    h.session.reset();

    h.writeSettings(dummySettings());
    h.startWindow();
    QTest::qWait(50);
    EXPECT_GE(h.session->recorder().recording().SampleCount, 10);
}

TEST(TriggerDialogHook, SetCountShowsAtOnceAndIsSaved) {
    WindowHarness h;
    h.writeSettings(dummySettings());
    h.startWindow();
    bool dialogSeen = false;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        dialogSeen = true;
        auto* counter = dialog->findChild<QLineEdit*>(QStringLiteral("Text_Cyclomarkator"));
        ASSERT_NE(counter, nullptr);
        counter->setText(QStringLiteral("4711"));
        dialog->findChild<QPushButton*>(QStringLiteral("Command_Set"))->click();
        dialog->findChild<QPushButton*>(QStringLiteral("Command_Cancel"))->click();
    });
    h.action("mnuTrigger")->trigger();
    EXPECT_TRUE(dialogSeen);
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator"), QStringLiteral("4711"));
    EXPECT_EQ(h.setting("Cyclomarkator", "Value"), QStringLiteral("4711"));
}
