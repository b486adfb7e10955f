#pragma once
// A real CounterCore over files in a temporary folder, with a view that keeps
// what the main window would show, and scripted message boxes for the dialogs.
#include "adc/AdcFacade.h"
#include "adc/ExchangeFile.h"
#include "counting/CounterCore.h"
#include "counting/TriggerFile.h"
#include "platform/MillisecondClock.h"
#include "platform/Prompts.h"
#include "platform/RegistryArea.h"
#include "support/ManualClock.h"
#include "support/RecordingCoreView.h"
#include "support/ScriptedPrompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

template <class Dialog> class DialogFixture : public testing::Test {
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
    std::unique_ptr<Dialog> dialog;

    // A new dialog over the state, shown as the active window so that focus
    // and shortcuts work.
    void reopen() {
        dialog = std::make_unique<Dialog>(core, prompts);
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }

    template <class T = QLineEdit> T* child(const QString& name) const {
        T* found = dialog->template findChild<T*>(name);
        EXPECT_NE(found, nullptr) << qPrintable(name);
        return found;
    }
    QLineEdit* box(const char* name) const { return child(QString::fromLatin1(name)); }
    QAbstractButton* button(const char* name) const {
        return child<QAbstractButton>(QString::fromLatin1(name));
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
    void click(const char* name) const {
        QAbstractButton* pressed = button(name);
        const QPoint onCaption(std::min(pressed->width() / 2, 10), pressed->height() / 2);
        QTest::mouseClick(pressed, Qt::LeftButton, {}, onCaption);
    }
};
