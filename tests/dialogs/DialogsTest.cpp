// The trigger and trigger profile dialogs over a real counter (CoreRig), shown
// as the active window so that focus and access keys work, with scripted
// message boxes: what each text typed does, what OK, Set, Default and the ways
// of closing do to the counter, and the access keys the user works with.
#include "DialogDriver.h"
#include "dialogs/Form_Profile.h"
#include "dialogs/Form_Trigger.h"
#include "dialogs/TriggerPreview.h"
#include "support/CoreRig.h"
#include "support/OnlyPrompt.h"

#include <QComboBox>
#include <QFile>
#include <QTimer>

#include <span>

namespace {

template <class Dialog> class DialogFixture : public testing::Test, public DialogDriver<Dialog> {
protected:
    CoreRig rig;
    CountingState& state = rig.state;
    RecordingCoreView& view = rig.view;
    ScriptedPrompts prompts; // the dialogs' message boxes

    void reopen() { this->open(*rig.core, prompts); }
    QLineEdit* box(const char* name) const { return this->child(QLatin1String(name)); }
};

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
    // `texts` as "threshold|hysteresis|delay|extrema|counter", in the order of Boxes.
    void fill(const char* texts) {
        const QStringList given = QString::fromUtf8(texts).split(u'|');
        for (qsizetype i = 0; i < given.size(); ++i)
            type(box(Boxes[i]), given[i]);
    }
    // What the settings file holds, in the order of Boxes, then the count
    // mode, the trigger source and whether the trigger is on.
    QString saved() const {
        return QStringList(
                   {rig.saved("Trigger", "ADthreshold"), rig.saved("Trigger", "Hysterese"),
                    rig.saved("Trigger", "TrigDelay"), rig.saved("Cyclomarkator", "Periodizitaet"),
                    rig.saved("Cyclomarkator", "Value"), rig.saved("Cyclomarkator", "CountMode"),
                    rig.saved("Trigger", "Source"), rig.saved("Trigger", "Enabled")})
            .join(u' ');
    }
};

// OK checks threshold, hysteresis, delay and extrema per cycle, Set the
// counter and then extrema per cycle. The first invalid box gets the message,
// its replacement and the focus, and nothing is applied, saved or shown; in
// the first case of a box every later one is invalid too, so a wrong order
// names the wrong box. No infinite volts reach counting. Letters read as 0 and
// halves round to even. Under OK a comma ends the extrema ("2,5" is 2), under
// Set it is a decimal comma (2.5, so 2 again). OK takes all but the counter,
// Set only the counter and the extrema, and both save before anything shows.
TEST_F(TriggerDialog, OkAndSetTakeTheirValuesOrRefuseOneBoxAndApplyNothing) {
    // The texts, the button, the box refused (in Boxes; -1: none) and its
    // replacement, or what is saved then in the order of Boxes.
    const std::tuple<const char*, const char*, int, const char*> cases[] = {
        {"|-1|-1|0|1", OK, 0, "0"},
        {"1e99|0|0|1|1", OK, 0, "0"},
        {"1|-0,1|-1|0|1", OK, 1, "0"},
        {"1||5|1|1", OK, 1, "0"},
        {"1|1e99|5|1|1", OK, 1, "0"},
        {"1|0|-1|0|1", OK, 2, "0"},
        {"1|0|0||1", OK, 3, "1"},
        {"1|0|0|0,9|1", OK, 3, "1"},
        {"1|0|0|0|-1", Set, 4, "0"},
        {"1|0|0|1|", Set, 4, "0"},
        {"1|0|0|0,4|5", Set, 3, "1"},
        {"1|0|0||5", Set, 3, "1"},
        {"volts|0,1|12.5|2,5|7", OK, -1, "0 0.1 12 2 40 0 0 1"},
        {"-1,25|0|13.5|3.5|7", OK, -1, "-1.25 0 14 4 40 0 0 1"},
        {"7|0,5|1|2,5|1,5", Set, -1, "1.5 0.2 250 2 2 0 0 1"},
        {"7|0,5|1|3,5|0", Set, -1, "1.5 0.2 250 4 0 0 0 1"}};
    for (const auto& [texts, button, refused, expected] : cases) {
        SCOPED_TRACE(texts);
        start();
        prompts.shown.clear();
        const CountingState before = state;
        fill(texts);
        click(button);
        if (refused < 0) {
            EXPECT_TRUE(prompts.shown.isEmpty());
            EXPECT_EQ(dialog->isVisible(), button == Set);
            EXPECT_EQ(saved(), QLatin1String(expected));
            EXPECT_EQ(view.extremaPerCycle, saved().section(u' ', 3, 3));
            continue;
        }
        EXPECT_EQ(onlyPrompt(prompts), "Cyclomarkator|None|Invalid value!");
        EXPECT_EQ(box(Boxes[refused])->text(), QLatin1String(expected));
        EXPECT_TRUE(box(Boxes[refused])->hasFocus() && dialog->isVisible());
        EXPECT_EQ(state, before);
        EXPECT_FALSE(QFile::exists(rig.settings.path())); // the refusals come first
        EXPECT_TRUE(view.count.isEmpty() && view.extremaPerCycle.isEmpty());
    }
}

// Set shows the count, every digit of it (a single would lose the last), and
// the next trigger (interval 100) at once, and the count stays however the
// dialog closes; of the rest (the delay and the options) only Enter (OK is the
// default button) takes anything, and saves it.
TEST_F(TriggerDialog, SetShowsAndKeepsTheCountAndOnlyEnterTakesTheRest) {
    for (const bool enter : {false, true}) { // Cancel, and so Escape, rejects
        SCOPED_TRACE(enter);
        reopen();
        fill("1|0|0|3|16777217");
        click(Set);
        EXPECT_EQ(QStringList({view.count, view.nextTrigger}),
                  QStringList({"16777217", "16777300"}));
        const QString afterSet = saved();
        type(box("Text_Delay"), QStringLiteral("30"));
        for (const char* option : {"Option_CountMode_1", "Option_TriggerSource_2", "Check_Trigger"})
            click(option);
        if (enter)
            QTest::keyClick(box("Text_Delay"), Qt::Key_Return);
        else
            click("Command_Cancel");
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(std::pair(state.CycleCount, state.TriggerDelayMs),
                  std::pair(16777217, enter ? 30 : 250));
        EXPECT_EQ(saved(), enter ? QStringLiteral("1 0 30 3 16777217 1 2 0") : afterSet);
    }
}

// The dialog opens on the counter's values in the user's locale; Trigger On
// greys only what just the trigger uses, and a source option shows its
// picture. The boxes have access keys, and a click into the counter or the
// threshold selects the whole text, so typing replaces it.
TEST_F(TriggerDialog, OpensOnTheValuesWithItsAccessKeysAndTriggerOnGreysSources) {
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
    EXPECT_TRUE(child<QAbstractButton>(QStringLiteral("Option_CountMode_1"))->isChecked() &&
                child<QAbstractButton>(QStringLiteral("Option_TriggerSource_3"))->isChecked());
    auto* preview = child<TriggerPreview>(QStringLiteral("Picture_Preview"));
    EXPECT_EQ(preview->source(), 3);
    EXPECT_EQ(greyed(), "Option_TriggerSource_0 Option_TriggerSource_1 Option_TriggerSource_2 "
                        "Option_TriggerSource_3 Text_Threshold");
    click("Check_Trigger");
    EXPECT_EQ(greyed(), QString());
    click("Option_TriggerSource_1");
    EXPECT_EQ(preview->source(), 1);
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
    // "&Profile..." opens its dialog modally over this one, which stays open.
    QString opened;
    QTimer::singleShot(0, dialog.get(), [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened = modal->objectName() + (modal->parentWidget() == dialog.get() ? " over" : "");
            QTest::keyClick(modal, Qt::Key_Escape);
        }
    });
    click("Command_Profile");
    EXPECT_EQ(opened, QStringLiteral("Form_Profile over"));
    EXPECT_TRUE(dialog->isVisible());
}

// Rows are written "to/N to/N ..." from row 0; "/" is an empty row.
class ProfileDialog : public DialogFixture<Form_Profile> {
protected:
    void SetUp() override { start(); }
    // An earlier profile that a refused one must leave as it is.
    void start() {
        state.ProfileRows = 3;
        state.TriggerProfile = {{{5, 1}, {50, 7}, {500, 9}, {}, {}, {}, {0, 1000}}};
        state.ExtraEvents = 1;
        reopen();
    }
    QLineEdit* to(int row) const { return child(QStringLiteral("Text_to_%1").arg(row)); }
    QLineEdit* every(int row) const { return child(QStringLiteral("Text_N_%1").arg(row)); }
    void fill(const char* rows, const char* fallback) {
        const QStringList given = QString::fromLatin1(rows).split(u' ', Qt::SkipEmptyParts);
        for (int row = 0; row < 6; ++row) {
            const QString pair = given.value(row, QStringLiteral("/"));
            type(to(row), pair.section(u'/', 0, 0));
            type(every(row), pair.section(u'/', 1, 1));
        }
        type(every(6), QLatin1String(fallback));
    }
    // What the boxes show: the six rows, then the fallback.
    QString shown() const {
        QStringList shown;
        for (int row = 0; row < 6; ++row)
            shown << to(row)->text() + u'/' + every(row)->text();
        return shown.join(u' ') + u' ' + every(6)->text();
    }
    // What the counter took: its rows, then the fallback.
    QString applied() const {
        QStringList taken;
        for (const ProfileRow& row : std::span(state.TriggerProfile).first(state.ProfileRows))
            taken << QString::number(row.BelowCycle) + u'/' + QString::number(row.Every);
        return (taken << QString::number(state.TriggerProfile[6].Every)).join(u' ');
    }
};

// Bounds rise strictly from 1 or more, each row needs its interval of at least
// 1, and so does the fallback. Letters read as 0 and a comma ends a number.
// A refused profile changes nothing at all and keeps the rows that passed, so
// the user corrects from the first bad one. The rows end at the first empty
// bound, whatever follows. Enter is OK (the default button); Cancel (and so
// Escape) takes nothing.
TEST_F(ProfileDialog, ValidProfileIsAppliedAndARefusedOneEmptiesFromTheFailingRow) {
    // The rows, the fallback, the button (null: Enter), whether the profile
    // is refused, and then the boxes after the message, or what the counter takes.
    const std::tuple<const char*, const char*, const char*, bool, const char*> cases[] = {
        {"10/2 10/5", "200", OK, true, "10/2 / / / / / 200"},
        {"0/2", "200", OK, true, "/ / / / / / 200"},
        {"1e99/1 1e98/1", "200", OK, true, "1e99/1 / / / / / 200"}, // both stop at the limit
        {"10/0.5", "200", OK, true, "/ / / / / / 200"},
        {"10/2 / 30/x", "often", OK, true, "10/2 / / / / / often"}, // rows after an empty go too
        {"1/1 2/1 3/1 4/1 5/1 6/1", "", OK, true, "1/1 2/1 3/1 4/1 5/1 6/1 "},
        {"10/2 20/5 / 5/0 x/", "200", OK, false, "10/2 20/5 200"},
        {"/x 10/2", "1", nullptr, false, "1"},
        {"10,7/2 10.7/2", "200", OK, false, "10/2 11/2 200"},
        {"1/1 2/1 3/1 4/1 5/1 6/1", "9", OK, false, "1/1 2/1 3/1 4/1 5/1 6/1 9"},
        {"10/2", "200", "Command_Cancel", false, "5/1 50/7 500/9 1000"}};
    for (const auto& [rows, fallback, button, refused, expected] : cases) {
        SCOPED_TRACE(rows);
        start();
        prompts.shown.clear();
        const CountingState before = state;
        fill(rows, fallback);
        if (button)
            click(button);
        else
            QTest::keyClick(every(6), Qt::Key_Return);
        EXPECT_EQ(dialog->isVisible(), refused);
        if (!refused) {
            EXPECT_TRUE(prompts.shown.isEmpty());
            EXPECT_EQ(applied(), QLatin1String(expected));
            continue;
        }
        EXPECT_EQ(onlyPrompt(prompts), "Profile|Critical|One or more values are invalid.");
        EXPECT_EQ(shown(), QLatin1String(expected));
        EXPECT_EQ(state, before);
        EXPECT_FALSE(QFile::exists(rig.settings.path())); // the refusals come first
        EXPECT_TRUE(view.events.isEmpty() && view.nextTrigger.isEmpty());
    }
}

// The dialog opens on the rows in use, the fallback and the extra events (its
// list reached by Alt+N); Default fills the boxes only, and OK then applies
// them and saves them.
TEST_F(ProfileDialog, OpensOnTheProfileAndDefaultThenOkAppliesTheDefaults) {
    EXPECT_EQ(shown(), QStringLiteral("5/1 50/7 500/9 / / / 1000"));
    auto* events = child<QComboBox>(QStringLiteral("Combo_TriggerEvents"));
    QTest::keyClick(dialog.get(), Qt::Key_N, Qt::AltModifier);
    EXPECT_TRUE(events->hasFocus());
    EXPECT_EQ(events->count(), 3);
    EXPECT_EQ(events->currentText(), QStringLiteral("2"));
    type(every(6), QStringLiteral("3"));
    click("Command_Default");
    EXPECT_EQ(events->currentText(), QStringLiteral("1"));
    EXPECT_EQ(state.ProfileRows, 3);
    events->setCurrentIndex(2);
    click("Command_OK");
    EXPECT_EQ(applied(), QStringLiteral("10/2 20/5 50/10 100/20 200/50 500/100 200"));
    EXPECT_EQ(QStringList({rig.saved("Profile", "Profiles"), rig.saved("Trigger", "Events")}),
              QStringList({"6", "2"}));
}

} // namespace
