#pragma once
// Prompts for tests: records every box that was opened and answers from
// queues (then with the default answer of the box).
#include "platform/Prompts.h"

#include <QList>

class ScriptedPrompts final : public Prompts {
public:
    struct Shown {
        QString text;
        QString title;
        PromptIcon icon;
        bool isInput;
        QString defaultText; // of an input box
    };
    QList<Shown> shown;
    QList<PromptAnswer> answers;
    QList<QString> inputs;

    PromptAnswer messageBox(const QString& text, const QString& title, PromptIcon icon,
                            PromptButtons buttons) override {
        shown.append({text, title, icon, false, {}});
        if (!answers.isEmpty())
            return answers.takeFirst();
        return buttons == PromptButtons::YesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
    }
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override {
        shown.append({prompt, title, PromptIcon::None, true, defaultText});
        return inputs.isEmpty() ? defaultText : inputs.takeFirst();
    }
};
