#pragma once
// A dialog over a real counter (CoreRig), shown as the active window so that
// focus and access keys work, with scripted message boxes.
#include "support/CoreRig.h"
#include "support/OnlyPrompt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

template <class Dialog> class DialogFixture : public testing::Test {
protected:
    CoreRig rig;
    CountingState& state = rig.state;
    RecordingCoreView& view = rig.view;
    ScriptedPrompts prompts; // the dialogs' message boxes
    std::unique_ptr<Dialog> dialog;

    void reopen() {
        dialog = std::make_unique<Dialog>(*rig.core, prompts);
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }
    template <class T = QLineEdit> T* child(const QString& name) const {
        T* found = dialog->template findChild<T*>(name);
        EXPECT_NE(found, nullptr) << qPrintable(name);
        return found;
    }
    QLineEdit* box(const char* name) const { return child(QLatin1String(name)); }
    QAbstractButton* button(const char* name) const {
        return child<QAbstractButton>(QLatin1String(name));
    }
    // Replaces the text the way a user does: select all, delete, type.
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
        QTest::mouseClick(pressed, Qt::LeftButton, {},
                          QPoint(std::min(pressed->width() / 2, 10), pressed->height() / 2));
    }
    // The captions of the buttons, options and check boxes, in the order they were made.
    QStringList captions() const {
        QStringList texts;
        for (const QAbstractButton* control : dialog->template findChildren<QAbstractButton*>())
            texts << control->text();
        return texts;
    }
};
