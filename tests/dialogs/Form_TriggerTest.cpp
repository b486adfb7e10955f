#include "dialogs/Form_Trigger.h"

#include "DialogFixture.h"
#include "dialogs/TriggerPreview.h"

#include <QFile>
#include <QTimer>

namespace {

// The boxes with numbers, in the order the texts of the cases below give them.
constexpr const char* Boxes[] = {"Text_Threshold", "Text_Hysterese", "Text_Delay",
                                 "Text_Periodizitaet", "Text_Cyclomarkator"};
constexpr const char* OK = "Command_OK";
constexpr const char* Set = "Command_Set";

class TriggerDialog : public DialogFixture<Form_Trigger> {
protected:
    void SetUp() override { start(); }
    // Hysteresis keeps its 0.2; every value differs from what the tests type.
    void start() {
        state = {.CycleCount = 40, .ExtremaPerCycle = 3, .Threshold = 1.5f, .TriggerDelayMs = 250};
        state.TriggerProfile[6].Every = 100;
        reopen();
    }
    void fill(const std::array<const char*, 5>& texts) {
        for (size_t i = 0; i < texts.size(); ++i)
            type(box(Boxes[i]), QString::fromUtf8(texts[i]));
    }
    // What the settings file holds, in the order of Boxes.
    QString saved() const {
        return QStringList({rig.saved("Trigger", "ADthreshold"), rig.saved("Trigger", "Hysterese"),
                            rig.saved("Trigger", "TrigDelay"),
                            rig.saved("Cyclomarkator", "Periodizitaet"),
                            rig.saved("Cyclomarkator", "Value")})
            .join(u' ');
    }
};

// OK checks threshold, hysteresis, delay and extrema per cycle, Set the
// counter and then extrema per cycle. The first invalid box gets the message,
// its replacement and the focus, and nothing is applied, saved or shown. In
// the first case of a box every later one is invalid too, so a wrong order
// names the wrong box. No infinite volts reach counting.
TEST_F(TriggerDialog, RefusedValueIsReplacedInItsBoxAndNothingIsApplied) {
    const struct {
        std::array<const char*, 5> texts; // as Boxes
        const char* button;
        size_t box;
        const char* replacement;
    } cases[] = {
        {{"", "-1", "-1", "0", "1"}, OK, 0, "0"},     {{"1e99", "0", "0", "1", "1"}, OK, 0, "0"},
        {{"-1e99", "0", "0", "1", "1"}, OK, 0, "0"},  {{"1", "-0,1", "-1", "0", "1"}, OK, 1, "0"},
        {{"1", "", "5", "1", "1"}, OK, 1, "0"},       {{"1", "1e99", "5", "1", "1"}, OK, 1, "0"},
        {{"1", "0", "-1", "0", "1"}, OK, 2, "0"},     {{"1", "0", "", "1", "1"}, OK, 2, "0"},
        {{"0", "0", "1e99", "1", "1"}, OK, 2, "0"},   {{"1", "0", "0", "0", "1"}, OK, 3, "1"},
        {{"1", "0", "0", "", "1"}, OK, 3, "1"},       {{"1", "0", "0", "0,9", "1"}, OK, 3, "1"},
        {{"1", "0", "0", "0", "-1"}, Set, 4, "0"},    {{"1", "0", "0", "1", ""}, Set, 4, "0"},
        {{"1", "0", "0", "1", "-1e99"}, Set, 4, "0"}, {{"1", "0", "0", "0,4", "5"}, Set, 3, "1"},
        {{"1", "0", "0", "", "5"}, Set, 3, "1"}};
    const CountingState before = state;
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringList({c.texts.begin(), c.texts.end()}).join(u'|').toStdString());
        prompts.shown.clear();
        fill(c.texts);
        click(c.button);
        EXPECT_EQ(onlyPrompt(prompts), "Cyclomarkator|None|Invalid value!");
        EXPECT_EQ(box(Boxes[c.box])->text(), QLatin1String(c.replacement));
        EXPECT_TRUE(box(Boxes[c.box])->hasFocus());
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(state, before);
    }
    EXPECT_FALSE(QFile::exists(rig.settings.path()));
    EXPECT_TRUE(view.count.isEmpty() && view.extremaPerCycle.isEmpty());
}

// Letters read as 0, halves round to even and huge values stop at the limit.
// Under OK a comma ends the extrema ("2,5" is 2), under Set it is a decimal
// comma (2.5, so 2 again); a count keeps every digit, which a single would
// lose. OK takes all but the counter, Set only the counter and the extrema,
// and both save before anything shows.
TEST_F(TriggerDialog, OkAndSetTakeTheirValuesAndSaveThem) {
    const struct {
        std::array<const char*, 5> texts; // as Boxes
        const char* button;
        const char* saved;
    } cases[] = {{{"volts", "0,1", "12.5", "2,5", "7"}, OK, "0 0.1 12 2 40"},
                 {{"-1,25", "0", "13.5", "3.5", "7"}, OK, "-1.25 0 14 4 40"},
                 {{"0", "0", "1e20", "1", "7"}, OK, "0 0 2147483647 1 40"},
                 {{"7", "0,5", "1", "1e99", "1e99"}, OK, "7 0.5 1 2147483647 40"},
                 {{"7", "0,5", "1", "2,5", "1,5"}, Set, "1.5 0.2 250 2 2"},
                 {{"7", "0,5", "1", ",7", "16777217"}, Set, "1.5 0.2 250 1 16777217"},
                 {{"7", "0,5", "1", "3,5", "0"}, Set, "1.5 0.2 250 4 0"},
                 {{"7", "0,5", "1", "1e99", "1e99"}, Set, "1.5 0.2 250 2147483647 2147483647"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringList({c.texts.begin(), c.texts.end()}).join(u'|').toStdString());
        start();
        fill(c.texts);
        click(c.button);
        EXPECT_TRUE(prompts.shown.isEmpty());
        EXPECT_EQ(dialog->isVisible(), c.button == Set);
        EXPECT_EQ(saved(), QLatin1String(c.saved));
        EXPECT_EQ(view.extremaPerCycle, saved().section(u' ', 3, 3));
    }
}

// Set shows the count and the next trigger (interval 100) at once; OK takes
// the options, and a trigger that is off shows so.
TEST_F(TriggerDialog, SetShowsTheCountAndOkTakesTheOptions) {
    fill({"1", "0", "0", "1", "16777217"});
    click(Set);
    EXPECT_EQ(QStringList({view.count, view.nextTrigger}), QStringList({"16777217", "16777300"}));
    click("Option_CountMode_1");
    click("Option_TriggerSource_2");
    click("Check_Trigger");
    click(OK);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(QStringList({rig.saved("Cyclomarkator", "CountMode"), rig.saved("Trigger", "Source"),
                           rig.saved("Trigger", "Enabled")}),
              QStringList({"1", "2", "0"}));
    EXPECT_EQ(view.nextTrigger, QStringLiteral("Trigger off"));
}

// A count taken by Set stays, however the dialog closes; of the rest only
// Enter (OK is the default button) takes anything.
TEST_F(TriggerDialog, ClosingKeepsASetCountAndOnlyEnterTakesTheRest) {
    for (const auto& [key, delay] : {std::pair{Qt::Key_unknown, 250}, // the Cancel button
                                     {Qt::Key_Escape, 250},
                                     {Qt::Key_Return, 30}}) {
        reopen();
        fill({"1", "0", "0", "3", "500"});
        click(Set);
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

// The dialog opens on the counter's values in the user's locale; Trigger On
// greys only what just the trigger uses, and a source option shows its picture.
TEST_F(TriggerDialog, OpensOnTheValuesAndTriggerOnGreysOnlySourcesAndThreshold) {
    state.CountMode = CountedExtrema::Minima;
    state.TriggerEnabled = false;
    state.TriggerSource = TriggerOn::FallingThroughThreshold;
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    reopen();
    QLocale::setDefault(saved);
    QStringList texts;
    for (const char* name : Boxes)
        texts.append(box(name)->text());
    EXPECT_EQ(texts, QStringList({"1,5", "0,2", "250", "3", "40"}));
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
        return off.join(u' ');
    };
    EXPECT_EQ(greyed(), "Option_TriggerSource_0 Option_TriggerSource_1 Option_TriggerSource_2 "
                        "Option_TriggerSource_3 Text_Threshold");
    click("Check_Trigger");
    EXPECT_EQ(greyed(), QString());
    click("Option_TriggerSource_1");
    EXPECT_EQ(preview->source(), 1);
}

// The captions and access keys the user works with; a click into the counter
// or the threshold selects the whole text, so typing replaces it.
TEST_F(TriggerDialog, CaptionsAccessKeysAndSelectionOnFocus) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Trigger"));
    EXPECT_EQ(captions(),
              QStringList({"Count Maxima", "Count Minima", "&Set", "Trigger &On",
                           "Trigger on m&ax. Voltage", "Trigger on m&in. Voltage",
                           "Trigger if Volta&ge > Threshold", "Trigger if Vo&ltage < Threshold",
                           "&Profile...", "OK", "Cancel"}));
    for (const auto& [key, name] : {std::pair{Qt::Key_C, "Text_Cyclomarkator"},
                                    {Qt::Key_E, "Text_Periodizitaet"},
                                    {Qt::Key_T, "Text_Threshold"},
                                    {Qt::Key_D, "Text_Delay"}}) {
        QTest::keyClick(dialog.get(), key, Qt::AltModifier);
        EXPECT_TRUE(box(name)->hasFocus()) << name;
    }
    for (const char* name : {"Text_Cyclomarkator", "Text_Threshold"}) {
        box("Text_Delay")->setFocus();
        QTest::mouseClick(box(name), Qt::LeftButton, {}, QPoint(2, box(name)->height() / 2));
        QCoreApplication::processEvents();
        EXPECT_EQ(box(name)->selectedText(), box(name)->text()) << name;
    }
}

// Profile opens its dialog modally over this one, which stays open.
TEST_F(TriggerDialog, ProfileOpensTheProfileDialogModallyOverThisOne) {
    QWidget* opened = nullptr;
    QTimer::singleShot(0, dialog.get(), [&] {
        opened = QApplication::activeModalWidget();
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(opened->objectName(), QStringLiteral("Form_Profile"));
        EXPECT_EQ(opened->parentWidget(), dialog.get());
        QTest::keyClick(opened, Qt::Key_Escape);
    });
    click("Command_Profile");
    EXPECT_NE(opened, nullptr);
    EXPECT_TRUE(dialog->isVisible());
}

} // namespace
