#include "recorder/Form_Xt_Recorder.h"
#include "platform/MillisecondClock.h"
#include "platform/ProfileFile.h"
#include "platform/Prompts.h"
#include "recorder/RecorderDataFile.h"
#include "recorder/XtPlotView.h"
#include "recorder/XtRecorderModel.h"
#include "recorder/XtScaleView.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QRect Screen(0, 0, 1280, 1024);

class RecorderWindow : public testing::Test {
protected:
    RecorderWindow()
        : model(clock, dir.filePath(QStringLiteral("Data.dat"))),
          settingsPath(dir.filePath(QStringLiteral("Cyclomarkator.INI"))) {}

    void writeSettings(const char* text) {
        QFile file(settingsPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    Form_Xt_Recorder& load() {
        window = std::make_unique<Form_Xt_Recorder>(model, prompts, settingsPath);
        window->Form_Load(Screen);
        return *window;
    }
    QRgb plotPixel(int x, int y) const { return window->plotView().image().image().pixel(x, y); }
    int column(float volts) const { return *XtGeometry::toPixel(window->ScaleXtoPixel(volts)); }
    QStringList labels() const {
        QStringList texts;
        for (const XtGeometry::ScaleLabel& label : window->scaleView().labels())
            texts << label.text;
        return texts;
    }
    static QList<int> checkedItems(const QMenu* menu) {
        QList<int> checked;
        for (qsizetype n = 0; n < menu->actions().size(); ++n)
            if (menu->actions()[n]->isChecked())
                checked << static_cast<int>(n);
        return checked;
    }

    QTemporaryDir dir;
    ManualClock clock{1000};
    ScriptedPrompts prompts;
    XtRecorderModel model;
    QString settingsPath;
    std::unique_ptr<Form_Xt_Recorder> window;
};

TEST_F(RecorderWindow, WithoutSettingsItLoadsHiddenFlushRightAndScreenTall) {
    Form_Xt_Recorder& w = load();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("X(t)-Recorder"));
    EXPECT_EQ(w.width(), 207);
    EXPECT_EQ(w.pos(), QPoint(1280 - 207, 0));
    EXPECT_EQ(w.height(), 1024);
    EXPECT_EQ(w.plotView().image().size(), w.plotView().size());
    EXPECT_EQ(w.timeMenu()->title(), QStringLiteral("&t [10 s / DIV]"));
    EXPECT_EQ(w.xMenu()->title(), QStringLiteral("&X [-10 ... +10 V]"));
    EXPECT_EQ(checkedItems(w.timeMenu()), QList<int>{3});
    EXPECT_EQ(checkedItems(w.xMenu()), QList<int>{0});
    EXPECT_EQ(w.scrollIntervalMs(), 500);
    EXPECT_TRUE(w.scrolling());
    EXPECT_EQ(labels(), (QStringList{"-10", "0", "10"}));
}

TEST_F(RecorderWindow, ScaleIndicesOutsideTheMenusStartWithItemThree) {
    writeSettings("[Recorder]\r\nTimeScaleIndex=12\r\nXScaleIndex=-1\r\nLeft=1500\r\n"
                  "Top=3000\r\nHeight=6000\r\n");
    Form_Xt_Recorder& w = load();
    EXPECT_EQ(w.TimeScaleIndex(), 3);
    EXPECT_EQ(w.XScaleIndex(), 3);
    EXPECT_EQ(w.Xmax(), 1.1f);
    EXPECT_EQ(labels(), (QStringList{"-1", "0", "1"}));
    EXPECT_EQ(w.pos(), QPoint(100, 200));
    EXPECT_EQ(w.height(), 400);
}

TEST_F(RecorderWindow, MenuItemsSetTheScaleTheCheckMarkAndTheTitle) {
    Form_Xt_Recorder& w = load();
    w.timeMenu()->actions()[8]->trigger();
    EXPECT_EQ(w.scrollIntervalMs(), 30000); // one row per 30 s, a grid line per 10 min
    EXPECT_EQ(w.timeMenu()->title(), QStringLiteral("&t [10 min / DIV]"));
    EXPECT_EQ(checkedItems(w.timeMenu()), QList<int>{8});
    EXPECT_TRUE(w.scrolling());

    w.xMenu()->actions()[4]->trigger();
    EXPECT_EQ(w.Xmax(), 0.55f);
    EXPECT_EQ(w.xMenu()->title(), QStringLiteral("&X [-0.5 ... +0.5 V]"));
    EXPECT_EQ(checkedItems(w.xMenu()), QList<int>{4});
    const QString point = QLocale::system().decimalPoint();
    EXPECT_EQ(labels(), (QStringList{"-0" + point + "5", "0" + point + "0", "0" + point + "5"}));
}

TEST_F(RecorderWindow, SamplesAndTriggersDrawOnThePenRow) {
    Form_Xt_Recorder& w = load();
    w.mnuXScaling_Click(3);
    model.PlotX(0.0f);
    model.PlotX(0.5f);
    EXPECT_EQ(plotPixel(column(0.5f), 20), XtPlotImage::TraceColour);
    EXPECT_EQ(plotPixel(column(0.0f), 20), XtPlotImage::TraceColour);
    EXPECT_EQ(w.PenX(), w.ScaleXtoPixel(0.5f));
    EXPECT_EQ(w.plotView().penColumn(), w.PenX());
    w.PlotTrigger(77);
    EXPECT_EQ(model.recording().MarkCount, 1);
    EXPECT_EQ(plotPixel(0, 20), XtPlotImage::ForegroundColour);
    w.Timer1_Timer();
    EXPECT_EQ(plotPixel(0, 21), XtPlotImage::ForegroundColour);
}

// A change of scale redraws the stored trace in the new scale, and the pen
// goes on from the newest sample's new column.
TEST_F(RecorderWindow, AChangeOfScaleRedrawsTheTraceAndMovesThePen) {
    Form_Xt_Recorder& w = load();
    w.mnutScaling_Click(0); // 50 ms per row
    model.PlotX(-0.5f);
    clock.advance(500);
    model.PlotX(0.5f);
    w.mnuXScaling_Click(4);
    EXPECT_EQ(plotPixel(column(0.5f), 20), XtPlotImage::TraceColour);
    EXPECT_EQ(plotPixel(column(-0.5f), 30), XtPlotImage::TraceColour);
    EXPECT_EQ(w.PenX(), w.ScaleXtoPixel(0.5f));
}

TEST_F(RecorderWindow, AResizeKeepsTheTrace) {
    Form_Xt_Recorder& w = load();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    model.PlotX(5.0f);
    const int before = w.plotView().height();
    w.resize(207, 500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.plotView().height() != before; }, 2000));
    EXPECT_EQ(w.plotView().image().size(), w.plotView().size());
    EXPECT_EQ(plotPixel(column(5.0f), 20), XtPlotImage::TraceColour);
}

TEST_F(RecorderWindow, ClosingByTheUserOnlyHidesIt) {
    Form_Xt_Recorder& w = load();
    QSignalSpy hidden(&w, &Form_Xt_Recorder::hiddenByUser);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_FALSE(w.close());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_TRUE(model.RecorderActive());
    EXPECT_TRUE(w.scrolling());
}

TEST_F(RecorderWindow, UnloadWritesItsSectionAndTheDataFile) {
    writeSettings("[Cyclomarkator]\r\nValue=1234\r\n[Recorder]\r\nLeft=1500\r\nTop=3000\r\n"
                  "Height=6000\r\n");
    Form_Xt_Recorder& w = load();
    w.mnutScaling_Click(6);
    w.mnuXScaling_Click(2);
    model.PlotX(1.25f);
    w.Form_Unload();
    EXPECT_FALSE(model.RecorderActive());
    EXPECT_FALSE(w.scrolling());
    ProfileFile file(settingsPath);
    ASSERT_TRUE(file.load());
    EXPECT_EQ(file.readString("Cyclomarkator", "Value", {}), QStringLiteral("1234"));
    EXPECT_EQ(file.readString("Recorder", "Left", {}), QStringLiteral("1500"));
    EXPECT_EQ(file.readString("Recorder", "Top", {}), QStringLiteral("3000"));
    EXPECT_EQ(file.readString("Recorder", "Height", {}), QStringLiteral("6000"));
    EXPECT_EQ(file.readString("Recorder", "TimeScaleIndex", {}), QStringLiteral("6"));
    EXPECT_EQ(file.readString("Recorder", "XScaleIndex", {}), QStringLiteral("2"));
    EXPECT_EQ(QFile(model.DataFileName()).size(), RecorderDataFile::FileSize);
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_TRUE(w.close()); // after unloading, the window may go
}

// A settings file that cannot be read (here: far too large) is left alone
// rather than replaced by one holding only this window's keys.
TEST_F(RecorderWindow, UnloadLeavesAnUnreadableSettingsFileAlone) {
    const QByteArray huge(ProfileFile::MaxFileSize + 1, ';');
    writeSettings(huge.constData());
    load().Form_Unload();
    EXPECT_EQ(QFile(settingsPath).size(), huge.size());
    EXPECT_TRUE(QFile::exists(model.DataFileName()));
}

TEST_F(RecorderWindow, TheStartTimerLoadsTheDataFileAndRedraws) {
    {
        ManualClock earlier(50000);
        XtRecorderModel previous(earlier, model.DataFileName());
        previous.PlotX(-8.0f); // clear of the mark's label in the middle
        earlier.advance(2500); // five rows at 500 ms per row
        previous.PlotTrigger(900);
        earlier.advance(2500);
        previous.PlotX(8.0f);
        previous.unload(prompts);
    }
    Form_Xt_Recorder& w = load();
    w.enableTimerInit();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.recording().SampleCount == 2; }, 2000));
    EXPECT_EQ(model.recording().MarkCount, 1);
    EXPECT_EQ(plotPixel(column(8.0f), 20), XtPlotImage::TraceColour);
    EXPECT_EQ(plotPixel(column(-8.0f), 30), XtPlotImage::TraceColour);
    EXPECT_EQ(plotPixel(0, 25), XtPlotImage::ForegroundColour);
    EXPECT_TRUE(prompts.shown.isEmpty());
}

TEST_F(RecorderWindow, PlotYPutsAYellowPointInTheLastColumn) {
    Form_Xt_Recorder& w = load();
    w.setYmax(static_cast<float>(w.plotView().height() - 1));
    w.PlotY(w.Ymax() - 40.0f);
    EXPECT_EQ(plotPixel(206, 40), XtPlotImage::PointColour);
    w.setYmax(0.0f); // an empty range draws nothing rather than failing
    w.PlotY(1.0f);
}

} // namespace
