#pragma once
// The message a step showed, as one comparable line.
#include "platform/Prompts.h"
#include "support/ScriptedPrompts.h"

#include <string>

// "title|icon|text" of the only message shown, or how many there were.
inline std::string onlyPrompt(const ScriptedPrompts& prompts) {
    if (prompts.shown.size() != 1)
        return std::to_string(prompts.shown.size()) + " messages";
    const ScriptedPrompts::Shown& shown = prompts.shown[0];
    const char* icons[] = {"None", "Critical", "Question", "Exclamation", "Information"};
    return (shown.title + u'|' + QLatin1String(icons[static_cast<int>(shown.icon)]) + u'|' +
            shown.text)
        .toStdString();
}
