#include "platform/Prompts.h"

#include <cstdio>

PromptAnswer StderrPrompts::messageBox(const QString& text, const QString& title, PromptIcon,
                                       PromptButtons buttons) {
    QString oneLine = text;
    oneLine.replace(u'\n', u' ').remove(u'\r');
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(oneLine));
    std::fflush(stderr);
    return buttons == PromptButtons::YesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
}

QString StderrPrompts::inputBox(const QString& prompt, const QString& title,
                                const QString& defaultText) {
    std::fprintf(stderr, "%s: %s [%s]\n", qPrintable(title), qPrintable(prompt),
                 qPrintable(defaultText));
    std::fflush(stderr);
    return defaultText;
}

PromptAnswer ScriptedPrompts::messageBox(const QString& text, const QString& title, PromptIcon icon,
                                         PromptButtons buttons) {
    shown.append({text, title, icon, false});
    if (!answers.isEmpty())
        return answers.takeFirst();
    return buttons == PromptButtons::YesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
}

QString ScriptedPrompts::inputBox(const QString& prompt, const QString& title,
                                  const QString& defaultText) {
    shown.append({prompt, title, PromptIcon::None, true});
    if (!inputs.isEmpty())
        return inputs.takeFirst();
    return defaultText;
}
