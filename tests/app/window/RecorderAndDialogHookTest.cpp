// The main window's hooks into the recorder and the trigger dialog: what the
// counting records reaches the chart and its data file, and the dialog's
// changes show at once and reach the settings file.
#include "WindowHarness.h"

#include "recorder/Form_Xt_Recorder.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

// The check mark comes from the settings, follows the recorder window (whose
// close box only hides it) and goes back to the settings.
TEST(RecorderHook, ShownAsSavedToggledByTheMenuAndUntickedWhenClosed) {
    WindowHarness h;
    h.writeSettings(dummySettings(QStringLiteral("[General]\nShowRecorder=-1\n")));
    h.startWindow();
    Form_Xt_Recorder* recorder = h.form->recorderWindowIfLoaded();
    ASSERT_NE(recorder, nullptr);
    EXPECT_TRUE(h.action("mnuShowRecorder")->isChecked());
    // Timer_Init shows it; a fixed wait can end before its timer is served.
    EXPECT_TRUE(QTest::qWaitFor([recorder] { return recorder->isVisible(); }, 2000));
    h.action("mnuShowRecorder")->trigger();
    EXPECT_FALSE(recorder->isVisible());
    h.action("mnuShowRecorder")->trigger();
    EXPECT_TRUE(recorder->isVisible());
    recorder->close();
    EXPECT_FALSE(recorder->isVisible());
    EXPECT_FALSE(h.action("mnuShowRecorder")->isChecked());
    h.form->close();
    EXPECT_EQ(h.setting("General", "ShowRecorder"), QStringLiteral("0"));
}

// The chart is kept across runs; a run without a converter records nothing
// and must not overwrite it.
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
    h.endRun();
    EXPECT_EQ(QFileInfo(h.folder("program") + QStringLiteral("/Data.dat")).size(), 88029);

    h.writeSettings(QStringLiteral("[HARDWARE]\nA/D-Converter=(none)\n"));
    h.startWindow();
    EXPECT_EQ(h.form->recorderWindowIfLoaded(), nullptr);
    h.endRun();

    // The next run with a converter reads the chart back (through the recorder's start timer).
    h.writeSettings(dummySettings());
    h.startWindow();
    const XtRecording& next = h.session->recorder().recording();
    EXPECT_TRUE(QTest::qWaitFor([&] { return next.SampleCount >= samples; }, 2000))
        << next.SampleCount << " of " << samples;
    EXPECT_GE(next.MarkCount, 2);
}

// A count set in the dialog is shown and saved at once, not only at the next
// counted extremum, so a power cut cannot take it back.
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
