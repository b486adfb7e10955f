#include "platform/Prompts.h"

#include "common/PrintableText.h"

#include <cstdio>

PromptAnswer StderrPrompts::messageBox(const QString& text, const QString& title, PromptIcon,
                                       PromptButtons buttons) {
    QString oneLine = text;
    oneLine.replace(u'\n', u' ').remove(u'\r');
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(printableLine(oneLine)));
    std::fflush(stderr);
    return buttons == PromptButtons::YesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
}

QString StderrPrompts::inputBox(const QString& prompt, const QString& title,
                                const QString& defaultText) {
    std::fprintf(stderr, "%s: %s [%s]\n", qPrintable(title), qPrintable(printableLine(prompt)),
                 qPrintable(printableLine(defaultText)));
    std::fflush(stderr);
    return defaultText;
}
