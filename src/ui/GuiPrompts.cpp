#include "ui/GuiPrompts.h"

#include <QApplication>
#include <QInputDialog>
#include <QMainWindow>
#include <QMessageBox>

namespace {
QMessageBox::Icon boxIcon(PromptIcon icon) {
    switch (icon) {
    case PromptIcon::Critical:
        return QMessageBox::Critical;
    case PromptIcon::Question:
        return QMessageBox::Question;
    case PromptIcon::Exclamation:
        return QMessageBox::Warning;
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(PromptButtons buttons) {
    switch (buttons) {
    case PromptButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case PromptButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case PromptButtons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

// Escape and the close box count as the cautious answer of each set.
PromptAnswer answerOf(int clicked, PromptButtons buttons) {
    switch (clicked) {
    case QMessageBox::Yes:
        return PromptAnswer::Yes;
    case QMessageBox::No:
        return PromptAnswer::No;
    case QMessageBox::Cancel:
        return PromptAnswer::Cancel;
    case QMessageBox::Ok:
        return PromptAnswer::Ok;
    default:
        break;
    }
    switch (buttons) {
    case PromptButtons::YesNo:
        return PromptAnswer::No;
    case PromptButtons::OkCancel:
        return PromptAnswer::Cancel;
    case PromptButtons::Ok:
        break;
    }
    return PromptAnswer::Ok;
}
} // namespace

PromptAnswer GuiPrompts::messageBox(const QString& text, const QString& title, PromptIcon icon,
                                    PromptButtons buttons) {
    QMessageBox box(boxIcon(icon), title, text, boxButtons(buttons), owner());
    if (buttons == PromptButtons::OkCancel)
        box.setEscapeButton(QMessageBox::Cancel);
    else if (buttons == PromptButtons::YesNo)
        box.setEscapeButton(QMessageBox::No);
    return answerOf(box.exec(), buttons);
}

QString GuiPrompts::inputBox(const QString& prompt, const QString& title,
                             const QString& defaultText) {
    bool accepted = false;
    const QString text =
        QInputDialog::getText(owner(), title, prompt, QLineEdit::Normal, defaultText, &accepted);
    return accepted ? text : QString();
}

// The active window, else the visible main window: a box without an owner
// could open behind an always-on-top main window, out of the user's sight.
QWidget* GuiPrompts::owner() {
    if (QWidget* active = QApplication::activeWindow())
        return active;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->isVisible() && qobject_cast<QMainWindow*>(window))
            return window;
    }
    return nullptr;
}
