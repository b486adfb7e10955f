#include "recorder/Form_Xt_Recorder.h"
#include "platform/MillisecondClock.h"
#include "platform/ProfileFile.h"
#include "platform/Prompts.h"
#include "recorder/XtPlotView.h"
#include "recorder/XtScaleView.h"
#include "recording/RecorderDataFile.h"
#include "recording/XtRecorderModel.h"
#include "support/ManualClock.h"
#include "support/ScriptedPrompts.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QPaintEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

class RecorderWindow : public testing::Test {
protected:
    RecorderWindow()
        : model(clock, dir.filePath(QStringLiteral("Data.dat"))),
          settingsPath(dir.filePath(QStringLiteral("Cyclomarkator.INI"))) {}

    void writeSettings(const QByteArray& text) {
        QFile file(settingsPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    }
    // Loads the window on a 1280 x 1024 screen.
    Form_Xt_Recorder& load() {
        window = std::make_unique<Form_Xt_Recorder>(model, prompts, settingsPath);
        window->Form_Load(QRect(0, 0, 1280, 1024));
        return *window;
    }
    QRgb plotPixel(int x, int y) const { return window->plotView().image().image().pixel(x, y); }
    int column(float volts) const { return *XtGeometry::toPixel(window->ScaleXtoPixel(volts)); }
    // The checked items of both menus, then the scale labels: "t3 x0 -10 0 10".
    std::string scales() const {
        QStringList shown;
        for (QMenu* menu : {window->timeMenu(), window->xMenu()})
            for (qsizetype n = 0; n < menu->actions().size(); ++n)
                if (menu->actions()[n]->isChecked())
                    shown << (menu == window->xMenu() ? u'x' : u't') + QString::number(n);
        for (const XtGeometry::ScaleLabel& label : window->scaleView().labels())
            shown << label.text;
        return shown.join(u' ').toStdString();
    }

    QTemporaryDir dir;
    ManualClock clock{1000};
    ScriptedPrompts prompts;
    XtRecorderModel model;
    QString settingsPath;
    std::unique_ptr<Form_Xt_Recorder> window;
};

// Without settings the window loads hidden and scrolling, flush right and as
// tall as the screen, at 10 s / DIV and +-10 V. A menu item sets its scale,
// the check mark and the menu title: 10 min / DIV scrolls one row per 30 s,
// and below 1 V the labels show one decimal.
TEST_F(RecorderWindow, LoadPlacesTheWindowAndTheMenusSetTheScales) {
    Form_Xt_Recorder& w = load();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.scrolling());
    EXPECT_EQ(w.pos(), QPoint(1280 - 207, 0));
    EXPECT_EQ(w.height(), 1024);
    EXPECT_EQ(scales(), "t3 x0 -10 0 10");

    w.timeMenu()->actions()[8]->trigger();
    w.xMenu()->actions()[4]->trigger();
    EXPECT_EQ(w.scrollIntervalMs(), 30000);
    EXPECT_EQ(w.timeMenu()->title(), QStringLiteral("&t [10 min / DIV]"));
    EXPECT_EQ(w.xMenu()->title(), QStringLiteral("&X [-0.5 ... +0.5 V]"));
    const std::string point = QLocale::system().decimalPoint().toStdString();
    EXPECT_EQ(scales(), "t8 x4 -0" + point + "5 0" + point + "0 0" + point + "5");
}

// A saved scale index outside the menu, even one that would wrap into it as
// a 16-bit number, becomes item 3 (10 s / DIV, +-1 V).
TEST_F(RecorderWindow, ScaleIndexesOutsideTheMenusBecomeItem3) {
    writeSettings("[Recorder]\nTimeScaleIndex=1e99\nXScaleIndex=65536\n");
    load();
    EXPECT_EQ(scales(), "t3 x3 -1 0 1");
}

// Samples and triggers draw on the pen row as they come and scroll down; a
// change of scale redraws the stored trace in the new scale, and the pen goes
// on from the newest sample's new column.
TEST_F(RecorderWindow, SamplesAndTriggersDrawOnThePenRowAndRedrawInANewScale) {
    Form_Xt_Recorder& w = load();
    w.mnuXScaling_Click(3); // +-1 V
    w.mnutScaling_Click(0); // 50 ms per row
    model.PlotX(-0.5f);
    clock.advance(250);
    w.PlotTrigger(77);
    EXPECT_EQ(plotPixel(0, 20), XtPlotImage::ForegroundColour);
    w.Timer1_Timer();
    EXPECT_EQ(plotPixel(0, 21), XtPlotImage::ForegroundColour);
    clock.advance(250);
    model.PlotX(0.5f);
    EXPECT_EQ(plotPixel(column(0.5f), 20), XtPlotImage::TraceColour);

    w.mnuXScaling_Click(4); // +-0.5 V
    EXPECT_EQ(plotPixel(column(0.5f), 20), XtPlotImage::TraceColour);
    EXPECT_EQ(plotPixel(column(-0.5f), 30), XtPlotImage::TraceColour);
    EXPECT_EQ(plotPixel(0, 25), XtPlotImage::ForegroundColour); // the stored mark
    EXPECT_EQ(w.plotView().penColumn(), w.ScaleXtoPixel(0.5f));
}

// The shown window keeps its trace through a resize; closing it by the user
// only hides it and tells its owner, while recording and scrolling go on.
TEST_F(RecorderWindow, AShownWindowKeepsItsTraceWhenResizedAndOnlyHidesWhenClosed) {
    Form_Xt_Recorder& w = load();
    QSignalSpy hidden(&w, &Form_Xt_Recorder::hiddenByUser);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    model.PlotX(5.0f);
    const int before = w.plotView().height();
    w.resize(207, 500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.plotView().height() != before; }, 2000));
    EXPECT_EQ(w.plotView().image().size(), w.plotView().size());
    EXPECT_EQ(plotPixel(column(5.0f), 20), XtPlotImage::TraceColour);

    EXPECT_FALSE(w.close());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_TRUE(model.RecorderActive());
    EXPECT_TRUE(w.scrolling());
}

// Collects what a widget repaints.
class PaintedRegion : public QObject {
public:
    explicit PaintedRegion(QWidget& widget) { widget.installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            region += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
    QRegion region;
};

// On screen a moved pen repaints only its band, and a scroll the whole strip,
// however many moves and scrolls came in between two showings.
TEST_F(RecorderWindow, APenMoveRepaintsItsBandAndAScrollTheWholeStrip) {
    Form_Xt_Recorder& w = load();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    XtPlotView& view = w.plotView();
    const auto showAll = [&view] {
        if (view.pace().waiting()) {
            ASSERT_TRUE(QMetaObject::invokeMethod(&view.pace().lateTimer(), "timeout"));
        }
        QCoreApplication::processEvents();
    };
    showAll();
    PaintedRegion painted(view);

    model.PlotX(0.5f);
    model.PlotX(-0.5f);
    showAll();
    EXPECT_EQ(painted.region.boundingRect(), QRect(0, 0, view.width(), XtGeometry::PenRow + 2));

    painted.region = QRegion();
    w.Timer1_Timer();
    model.PlotX(0.0f);
    w.Timer1_Timer();
    showAll();
    EXPECT_EQ(painted.region, QRegion(view.rect()));
}

// At program end the window writes its section, keeping the others, so that
// the next start finds it where it was; the model saves the data file once,
// clearing away what killed saves left beside it, and then takes nothing
// more, so that the file holds the last state.
TEST_F(RecorderWindow, UnloadWritesItsSectionAndTheDataFileOnce) {
    writeSettings("[Cyclomarkator]\r\nValue=1234\r\n");
    QFile leftover(model.DataFileName() + QStringLiteral(".a1B2c3")); // of a killed save
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    load().move(100, 200);
    window->resize(207, 400);
    window->mnutScaling_Click(6);
    window->mnuXScaling_Click(2);
    model.PlotX(1.25f);
    window->Form_Unload();
    EXPECT_EQ(QFile(model.DataFileName()).size(), RecorderDataFile::FileSize);
    EXPECT_FALSE(leftover.exists());
    EXPECT_TRUE(window->close()); // after unloading, the window may go
    model.PlotX(2.0f);
    model.PlotTrigger(7);
    EXPECT_EQ(model.recording().SampleCount, 1);
    EXPECT_EQ(model.recording().MarkCount, 0);
    QFile::remove(model.DataFileName());
    model.unload(prompts);
    EXPECT_FALSE(QFile::exists(model.DataFileName()));

    Form_Xt_Recorder& next = load();
    EXPECT_EQ(next.pos(), QPoint(100, 200));
    EXPECT_EQ(next.height(), 400);
    EXPECT_EQ(scales(), "t6 x2 -2 0 2");
    ProfileFile file(settingsPath);
    ASSERT_TRUE(file.load());
    EXPECT_EQ(file.readString("Cyclomarkator", "Value", {}), QStringLiteral("1234"));
}

// A settings file that cannot be read (here: far too large) is left alone
// rather than replaced by one holding only this window's keys.
TEST_F(RecorderWindow, UnloadLeavesAnUnreadableSettingsFileAlone) {
    const QByteArray huge(ProfileFile::MaxFileSize + 1, ';');
    writeSettings(huge);
    load().Form_Unload();
    EXPECT_EQ(QFile(settingsPath).size(), huge.size());
    EXPECT_TRUE(QFile::exists(model.DataFileName()));
}

// At start the chart of the last run comes back from the data file.
TEST_F(RecorderWindow, TheStartTimerLoadsTheDataFileAndRedraws) {
    {
        XtRecorderModel previous(clock, model.DataFileName());
        previous.PlotX(8.0f);
        previous.unload(prompts);
    }
    load().enableTimerInit();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.recording().SampleCount == 1; }, 2000));
    EXPECT_EQ(plotPixel(column(8.0f), 20), XtPlotImage::TraceColour);
}

} // namespace
