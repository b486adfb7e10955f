#pragma once
// A real CounterCore over files in a temporary folder, with a view that keeps
// what the main window would show, and scripted message boxes for the dialogs.
#include "adc/AdcFacade.h"
#include "adc/ExchangeFile.h"
#include "adc/LibadxDevices.h"
#include "app/CounterCore.h"
#include "app/RecordingCoreView.h"
#include "app/TriggerFile.h"
#include "platform/MillisecondClock.h"
#include "platform/Prompts.h"
#include "platform/RegistryArea.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

class DialogFixture : public testing::Test {
protected:
    QTemporaryDir dir;
    ManualClock clock{1000};
    RegistryArea registry{dir.filePath(QStringLiteral("registry.ini"))};
    ScriptedPrompts adcPrompts;
    NoLibadxDevices devices;
    AdcFacade adc{clock, registry, adcPrompts, dir.path(), devices};
    ExchangeFile exchange{dir.path(), adcPrompts};
    TriggerFile trigger{dir.path()};
    RecordingCoreView view;
    CountingState state;
    CounterCore core{state, CounterCore::Parts{adc, exchange, trigger, clock, view},
                     dir.filePath(QStringLiteral("Cyclomarkator.INI")),
                     [] { return QTime(12, 0, 0); }, QLocale::c()};
    ScriptedPrompts prompts; // the dialogs' message boxes

    // Shows the dialog as the active window, so focus and shortcuts work.
    static void open(QWidget& dialog) {
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }

    template <class T = QLineEdit> static T* child(const QWidget& dialog, const QString& name) {
        T* found = dialog.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << qPrintable(name);
        return found;
    }

    // Replaces the text of a box the way a user does: select all, type.
    static void type(QLineEdit* box, const QString& text) {
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }

    // Near the left edge: check boxes and options answer only on their
    // indicator and caption, which a wide layout cell leaves off-centre.
    static void click(QAbstractButton* button) {
        const QPoint onCaption(std::min(button->width() / 2, 10), button->height() / 2);
        QTest::mouseClick(button, Qt::LeftButton, {}, onCaption);
    }
};
