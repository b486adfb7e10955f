#pragma once
// The seam for message boxes and input boxes. The GUI shows Qt dialogs,
// headless mode writes messages to stderr and takes the default answer, tests
// script the answers and record what was asked.
#include <QList>
#include <QString>

enum class PromptIcon { None, Critical, Question, Exclamation, Information };
enum class PromptButtons { Ok, OkCancel, YesNo };
enum class PromptAnswer { Ok, Cancel, Yes, No };

class Prompts {
public:
    virtual ~Prompts() = default;
    virtual PromptAnswer messageBox(const QString& text, const QString& title, PromptIcon icon,
                                    PromptButtons buttons = PromptButtons::Ok) = 0;
    // Returns the typed text, or the empty string when cancelled.
    virtual QString inputBox(const QString& prompt, const QString& title,
                             const QString& defaultText) = 0;
};

// Writes every message to stderr and answers with the default button
// (OK, or Yes for Yes/No); input boxes return their default text.
class StderrPrompts final : public Prompts {
public:
    PromptAnswer messageBox(const QString& text, const QString& title, PromptIcon icon,
                            PromptButtons buttons) override;
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
};
