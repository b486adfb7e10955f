#pragma once
// Shows a dialog as the active window, so that focus and access keys work,
// and finds and drives its controls by their object names as a user does.
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

template <class Dialog> class DialogDriver {
public:
    template <class... Args> void open(Args&... args) {
        dialog = std::make_unique<Dialog>(args...);
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }
    template <class T = QLineEdit> T* child(const QString& name) const {
        T* found = dialog->template findChild<T*>(name);
        EXPECT_NE(found, nullptr) << qPrintable(name);
        return found;
    }
    // Near the left edge: check boxes and options answer only on their
    // indicator and caption, which a wide layout cell leaves off-centre.
    void click(const char* name) const {
        auto* pressed = child<QAbstractButton>(QLatin1String(name));
        QTest::mouseClick(pressed, Qt::LeftButton, {},
                          QPoint(std::min(pressed->width() / 2, 8), pressed->height() / 2));
    }
    // Replaces the text the way a user does: select all, delete, type.
    static void type(QLineEdit* box, const QString& text) {
        box->setFocus();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }
    // The controls shown that the user cannot use, sorted; a greyed frame stands for what it holds.
    QString greyed() const {
        QStringList off;
        for (QWidget* widget : dialog->template findChildren<QWidget*>())
            if (!widget->isEnabled() && widget->parentWidget()->isEnabled() &&
                !widget->isHidden() && !widget->objectName().isEmpty())
                off << widget->objectName();
        off.sort();
        return off.join(u' ');
    }

    std::unique_ptr<Dialog> dialog;
};
