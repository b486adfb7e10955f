#pragma once
// The desktop's message boxes and input boxes behind the Prompts seam. Each
// box is modal and stands over the main window, which may be always on top and
// would otherwise hide it. Needs a QApplication.
#include "platform/Prompts.h"

class QWidget;

class GuiPrompts final : public Prompts {
public:
    PromptAnswer messageBox(const QString& text, const QString& title, PromptIcon icon,
                            PromptButtons buttons) override;
    // The typed text, or the empty string when the box is cancelled.
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;

private:
    static QWidget* owner();
};
