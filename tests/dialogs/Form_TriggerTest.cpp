#include "dialogs/Form_Trigger.h"

#include "DialogFixture.h"
#include "dialogs/TriggerPreview.h"
#include "support/OnlyPrompt.h"

#include <QDebug>
#include <QTimer>

namespace {

// How each text is read is the check class's table; here only what the dialog
// does with the result: which box, which field, what the user sees.
class TriggerDialog : public DialogFixture<Form_Trigger> {
protected:
    void SetUp() override {
        // Hysteresis keeps its 0.2; every value differs from what the tests type.
        state = {.CycleCount = 40, .ExtremaPerCycle = 3, .Threshold = 1.5f, .TriggerDelayMs = 250};
        state.TriggerProfile[6].Every = 100;
        reopen();
    }
    // Texts are written "threshold|hysteresis|delay|extrema|counter", from the left.
    static constexpr const char* Boxes[] = {"Text_Threshold", "Text_Hysterese", "Text_Delay",
                                            "Text_Periodizitaet", "Text_Cyclomarkator"};
    void fill(const char* joined) {
        const QStringList texts = QString::fromLatin1(joined).split(u'|');
        for (qsizetype i = 0; i < texts.size(); ++i)
            type(box(Boxes[i]), texts[i]);
    }
    // The state the dialog writes, in the order of Boxes, then count mode,
    // source and trigger on; then what the main window shows for extrema per
    // cycle, count and next trigger.
    std::string applied() const {
        QString out;
        QDebug(&out).noquote() << state.Threshold << state.Hysteresis << state.TriggerDelayMs
                               << state.ExtremaPerCycle << state.CycleCount << state.CountMode
                               << state.TriggerSource << state.TriggerEnabled << '|'
                               << view.extremaPerCycle << view.count << view.nextTrigger;
        return out.trimmed().toStdString(); // QDebug ends on a space
    }
};

// One case per box, in the order of Boxes, so each failure reaches the box
// it belongs to: the first four through OK, the counter through Set. A failed
// OK or Set changes nothing at all.
TEST_F(TriggerDialog, RefusedValueIsReplacedInItsBoxAndNothingIsApplied) {
    const std::pair<const char*, const char*> cases[] = {{"|-1|-1|0", "0"},
                                                         {"1|-0,1|-1|0", "0"},
                                                         {"1|0|-1|0", "0"},
                                                         {"1|0|0|0,9", "1"},
                                                         {"1|0|0|0|-1", "0"}};
    const CountingState stateBefore = state;
    const std::string before = applied();
    for (size_t n = 0; n < std::size(cases); ++n) {
        const auto& [texts, replacement] = cases[n];
        SCOPED_TRACE(texts);
        prompts.shown.clear();
        fill(texts);
        click(n < 4 ? "Command_OK" : "Command_Set");
        EXPECT_EQ(onlyPrompt(prompts), "Cyclomarkator|None|Invalid value!");
        EXPECT_EQ(box(Boxes[n])->text(), QString::fromLatin1(replacement));
        EXPECT_TRUE(box(Boxes[n])->hasFocus());
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(state, stateBefore);
        EXPECT_EQ(applied(), before);
    }
}

// Set shows the counter at once and applies nothing else; the next trigger
// follows the new count (the fallback interval is 100), and a large count
// keeps every digit. OK then applies the values and options, but the counter
// box belongs to Set and stays out of it.
TEST_F(TriggerDialog, SetAppliesOnlyTheCounterAndOkEverythingButTheCounter) {
    fill("7|0,5|1|2,5|16777217");
    click("Command_Set");
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(applied(), "1.5 0.2 250 2 16777217 0 0 1 | 2 16777217 16777300");

    fill("volts|0,1|12.5|2,5|999"); // letters are 0; 12.5 ms and 2,5 give 12 and 2
    click("Option_CountMode_1");
    click("Option_TriggerSource_2");
    click("Check_Trigger");
    click("Command_OK");
    EXPECT_TRUE(prompts.shown.isEmpty());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(applied(), "0 0.1 12 2 16777217 1 2 0 | 2 16777217 Trigger off");
}

// Set has applied the count already, so no way of closing takes it back; of
// the rest only Enter (OK, the default button) takes anything.
TEST_F(TriggerDialog, ClosingKeepsASetCountAndOnlyEnterTakesTheRest) {
    // Key_unknown: the Cancel button.
    for (const auto& [key, delay] :
         {std::pair{Qt::Key_unknown, 250}, {Qt::Key_Escape, 250}, {Qt::Key_Return, 30}}) {
        reopen();
        fill("1|0|0|3|500");
        click("Command_Set");
        type(box("Text_Delay"), QStringLiteral("30"));
        if (key == Qt::Key_unknown)
            click("Command_Cancel");
        else
            QTest::keyClick(box("Text_Delay"), key);
        EXPECT_FALSE(dialog->isVisible()) << key;
        EXPECT_EQ(state.CycleCount, 500) << key;
        EXPECT_EQ(state.TriggerDelayMs, delay) << key;
    }
}

// The dialog opens on the state in the user's locale; Trigger On greys only
// what just the trigger uses (the sources and the threshold), and a source
// option shows its picture.
TEST_F(TriggerDialog, LoadShowsTheStateAndTriggerOnGreysOnlySourcesAndThreshold) {
    state.CountMode = 1;
    state.TriggerEnabled = 0;
    state.TriggerSource = 3;
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    reopen();
    QLocale::setDefault(saved);
    QStringList texts;
    for (const char* name : Boxes)
        texts.append(box(name)->text());
    EXPECT_EQ(texts.join(u'|'), QStringLiteral("1,5|0,2|250|3|40"));
    EXPECT_TRUE(button("Option_CountMode_1")->isChecked());
    EXPECT_TRUE(button("Option_TriggerSource_3")->isChecked());
    auto* preview = child<TriggerPreview>(QStringLiteral("Picture_Preview"));
    EXPECT_EQ(preview->source(), 3);
    const auto greyed = [this] {
        QStringList off;
        for (QWidget* widget : dialog->findChildren<QWidget*>())
            if (!widget->isEnabled() && !widget->objectName().isEmpty())
                off << widget->objectName();
        off.sort();
        return off.join(u' ').toStdString();
    };
    EXPECT_EQ(greyed(), "Option_TriggerSource_0 Option_TriggerSource_1 Option_TriggerSource_2 "
                        "Option_TriggerSource_3 Text_Threshold");
    click("Check_Trigger");
    EXPECT_TRUE(button("Check_Trigger")->isChecked());
    EXPECT_EQ(greyed(), "");
    click("Option_TriggerSource_1");
    EXPECT_EQ(preview->source(), 1);
}

// A click into these boxes selects all, so typing replaces the value.
TEST_F(TriggerDialog, CounterAndThresholdSelectTheirWholeTextOnFocus) {
    for (const char* name : {"Text_Cyclomarkator", "Text_Threshold"}) {
        box("Text_Delay")->setFocus();
        QTest::mouseClick(box(name), Qt::LeftButton, {}, QPoint(2, box(name)->height() / 2));
        QCoreApplication::processEvents();
        EXPECT_EQ(box(name)->selectedText(), box(name)->text()) << name;
    }
}

// The access keys reach their boxes, and Tab walks the boxes in the order
// they are laid out.
TEST_F(TriggerDialog, AccessKeysAndTabFollowTheLayout) {
    for (const auto& [key, name] : {std::pair{Qt::Key_C, "Text_Cyclomarkator"},
                                    {Qt::Key_E, "Text_Periodizitaet"},
                                    {Qt::Key_T, "Text_Threshold"},
                                    {Qt::Key_D, "Text_Delay"}}) {
        QTest::keyClick(dialog.get(), key, Qt::AltModifier);
        EXPECT_TRUE(box(name)->hasFocus()) << name;
    }
    const QStringList visualOrder =
        QStringLiteral(
            "Option_CountMode_0 Text_Cyclomarkator Text_Periodizitaet Command_Set Check_Trigger "
            "Option_TriggerSource_0 Text_Threshold Text_Hysterese Text_Delay Command_Profile "
            "Command_OK Command_Cancel")
            .split(u' ');
    child<QWidget>(visualOrder.front())->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    while (visited.size() < visualOrder.size()) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    EXPECT_EQ(visited, visualOrder);
}

// Profile opens its dialog modally over this one, which stays open.
TEST_F(TriggerDialog, ProfileOpensTheProfileDialogModallyOverThisOne) {
    QWidget* opened = nullptr;
    QTimer::singleShot(0, [&] {
        opened = QApplication::activeModalWidget();
        EXPECT_EQ(opened->objectName(), QStringLiteral("Form_Profile"));
        EXPECT_EQ(opened->parentWidget(), dialog.get());
        QTest::keyClick(opened, Qt::Key_Escape);
    });
    click("Command_Profile");
    EXPECT_NE(opened, nullptr);
    EXPECT_TRUE(dialog->isVisible());
}

} // namespace
