#include "dialogs/Form_Trigger.h"

#include "DialogFixture.h"
#include "dialogs/TriggerPreview.h"

#include <QTimer>

namespace {

class TriggerDialog : public DialogFixture {
protected:
    void SetUp() override {
        state = {.CycleCount = 40,
                 .ExtremaPerCycle = 2,
                 .Threshold = 1.5f,
                 .Hysteresis = 0.2f,
                 .TriggerDelayMs = 250};
        state.TriggerProfile[6].Every = 100;
        reopen();
    }
    void reopen() {
        dialog = std::make_unique<Form_Trigger>(core, prompts);
        open(*dialog);
    }
    QLineEdit* box(const QString& name) const { return child(*dialog, name); }
    QAbstractButton* button(const char* name) const {
        return child<QAbstractButton>(*dialog, QString::fromLatin1(name));
    }
    // Types "a|b|c" into the boxes named, in that order.
    void fill(const QStringList& boxes, const char* texts) {
        const QStringList values = QString::fromLatin1(texts).split(u'|');
        for (qsizetype i = 0; i < boxes.size(); ++i)
            type(box(boxes[i]), values.value(i));
    }
    void expectRefused(const char* failingBox, const char* replacement) {
        ASSERT_EQ(prompts.shown.size(), 1);
        EXPECT_EQ(prompts.shown[0].text, QStringLiteral("Invalid value!"));
        EXPECT_EQ(prompts.shown[0].title, QStringLiteral("Cyclomarkator"));
        EXPECT_EQ(prompts.shown[0].icon, PromptIcon::None);
        EXPECT_EQ(box(QString::fromLatin1(failingBox))->text(), QString::fromLatin1(replacement));
        EXPECT_TRUE(box(QString::fromLatin1(failingBox))->hasFocus());
        EXPECT_TRUE(dialog->isVisible());
    }
    const QStringList okBoxes{QStringLiteral("Text_Threshold"), QStringLiteral("Text_Hysterese"),
                              QStringLiteral("Text_Delay"), QStringLiteral("Text_Periodizitaet")};
    const QStringList setBoxes{QStringLiteral("Text_Cyclomarkator"),
                               QStringLiteral("Text_Periodizitaet")};
    std::unique_ptr<Form_Trigger> dialog;
};

struct Refused {
    const char* texts; // threshold|hysteresis|delay|extrema, or counter|extrema
    const char* failingBox;
    const char* replacement;
};

TEST_F(TriggerDialog, OkRefusesTheFirstInvalidBoxAndAppliesNothing) {
    const Refused cases[] = {
        {"|-1|-1|0", "Text_Threshold", "0"},
        {"1e99|0|0|1", "Text_Threshold", "0"},
        {"1|-0,1|-1|0", "Text_Hysterese", "0"},
        {"1||5|1", "Text_Hysterese", "0"},
        {"1|1e99|5|1", "Text_Hysterese", "0"},
        {"1|0|-1|0", "Text_Delay", "0"},
        {"1|0||1", "Text_Delay", "0"},
        {"1|0|0|0", "Text_Periodizitaet", "1"},
        {"1|0|0|", "Text_Periodizitaet", "1"},
        {"1|0|0|0,9", "Text_Periodizitaet", "1"}, // the comma ends the number: 0
    };
    const CountingState before = state;
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.texts);
        prompts.shown.clear();
        fill(okBoxes, c.texts);
        click(button("Command_OK"));
        expectRefused(c.failingBox, c.replacement);
        EXPECT_EQ(state, before);
        EXPECT_TRUE(view.extremaPerCycle.isEmpty());
    }
}

TEST_F(TriggerDialog, OkAppliesTheReadValues) {
    const struct {
        const char* texts;
        CountingState expected;
    } cases[] = {
        {"volts|0,1|12.5|2,5",
         {.ExtremaPerCycle = 2, .Threshold = 0.0f, .Hysteresis = 0.1f, .TriggerDelayMs = 12}},
        {"-1,25|0|13.5|3.5",
         {.ExtremaPerCycle = 4, .Threshold = -1.25f, .Hysteresis = 0.0f, .TriggerDelayMs = 14}},
        {"0|0|1e20|1",
         {.ExtremaPerCycle = 1,
          .Threshold = 0.0f,
          .Hysteresis = 0.0f,
          .TriggerDelayMs = INT32_MAX}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.texts);
        reopen();
        fill(okBoxes, c.texts);
        click(button("Command_OK"));
        EXPECT_TRUE(prompts.shown.isEmpty());
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_EQ(state.Threshold, c.expected.Threshold);
        EXPECT_EQ(state.Hysteresis, c.expected.Hysteresis);
        EXPECT_EQ(state.TriggerDelayMs, c.expected.TriggerDelayMs);
        EXPECT_EQ(state.ExtremaPerCycle, c.expected.ExtremaPerCycle);
        EXPECT_EQ(view.extremaPerCycle, QString::number(c.expected.ExtremaPerCycle));
    }
}

TEST_F(TriggerDialog, OkTakesTheOptionsButNotTheCounterValue) {
    type(box(QStringLiteral("Text_Cyclomarkator")), QStringLiteral("999"));
    click(button("Option_CountMode_1"));
    click(button("Option_TriggerSource_2"));
    click(button("Check_Trigger"));
    click(button("Command_OK"));
    EXPECT_EQ(state.CountMode, 1);
    EXPECT_EQ(state.TriggerSource, 2);
    EXPECT_EQ(state.TriggerEnabled, 0);
    EXPECT_EQ(state.CycleCount, 40);
    EXPECT_EQ(view.nextTrigger, QStringLiteral("Trigger off"));
    EXPECT_TRUE(view.count.isEmpty());
}

TEST_F(TriggerDialog, SetRefusesTheFirstInvalidBox) {
    const Refused cases[] = {{"-1|0", "Text_Cyclomarkator", "0"},
                             {"|1", "Text_Cyclomarkator", "0"},
                             {"5|0,4", "Text_Periodizitaet", "1"},
                             {"5|", "Text_Periodizitaet", "1"}};
    const CountingState before = state;
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.texts);
        prompts.shown.clear();
        fill(setBoxes, c.texts);
        click(button("Command_Set"));
        expectRefused(c.failingBox, c.replacement);
        EXPECT_EQ(state, before);
    }
}

TEST_F(TriggerDialog, SetShowsTheCounterAtOnceAndAppliesNothingElse) {
    const std::tuple<const char*, int32_t, int32_t> cases[] = {
        {"1234|2,5", 1234, 2}, // 2.5 rounds to the even 2
        {"16777217|3,5", 16777217, 4}};
    type(box(QStringLiteral("Text_Threshold")), QStringLiteral("7"));
    for (const auto& [texts, count, extrema] : cases) {
        SCOPED_TRACE(texts);
        fill(setBoxes, texts);
        click(button("Command_Set"));
        EXPECT_TRUE(prompts.shown.isEmpty());
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(view.count, QString::number(count));
        EXPECT_EQ(view.extremaPerCycle, QString::number(extrema));
        EXPECT_EQ(view.nextTrigger, QString::number(state.NextTriggerCount));
        EXPECT_GT(state.NextTriggerCount, count);
        EXPECT_EQ(state.Threshold, 1.5f);
    }
}

TEST_F(TriggerDialog, CancelAfterSetKeepsTheCountAndDropsTheRest) {
    type(box(QStringLiteral("Text_Cyclomarkator")), QStringLiteral("500"));
    click(button("Command_Set"));
    type(box(QStringLiteral("Text_Delay")), QStringLiteral("9"));
    click(button("Command_Cancel"));
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(state.CycleCount, 500);
    EXPECT_EQ(state.TriggerDelayMs, 250);
}

TEST_F(TriggerDialog, EnterTakesTheSettingsAndEscapeDropsThem) {
    for (const auto& [key, delay] : {std::pair{Qt::Key_Escape, 250}, {Qt::Key_Return, 30}}) {
        reopen();
        type(box(QStringLiteral("Text_Delay")), QStringLiteral("30"));
        QTest::keyClick(box(QStringLiteral("Text_Delay")), key);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(state.TriggerDelayMs, delay);
    }
}

TEST_F(TriggerDialog, LoadShowsTheStateWithTheUsersDecimalSeparator) {
    state = {.CycleCount = 77,
             .ExtremaPerCycle = 3,
             .CountMode = 1,
             .Threshold = 1.5f,
             .Hysteresis = 0.2f,
             .TriggerEnabled = 0,
             .TriggerSource = 3,
             .TriggerDelayMs = 250};
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    reopen();
    QLocale::setDefault(saved);
    QStringList texts;
    for (const QString& name : okBoxes + setBoxes)
        texts.append(box(name)->text());
    EXPECT_EQ(texts.join(u'|'), QStringLiteral("1,5|0,2|250|3|77|3"));
    EXPECT_TRUE(button("Option_CountMode_1")->isChecked());
    EXPECT_TRUE(button("Option_TriggerSource_3")->isChecked());
    EXPECT_FALSE(button("Check_Trigger")->isChecked());
    EXPECT_FALSE(box(QStringLiteral("Text_Threshold"))->isEnabled());
    auto* preview = child<TriggerPreview>(*dialog, QStringLiteral("Picture_Preview"));
    EXPECT_EQ(preview->source(), 3);
    click(button("Check_Trigger"));
    click(button("Option_TriggerSource_1"));
    EXPECT_EQ(preview->source(), 1);
}

TEST_F(TriggerDialog, TriggerOnGreysOnlyTheSourcesAndTheThreshold) {
    const char* switched[] = {"Option_TriggerSource_0", "Option_TriggerSource_1",
                              "Option_TriggerSource_2", "Option_TriggerSource_3", "Text_Threshold"};
    const char* alwaysOn[] = {"Text_Hysterese", "Text_Delay", "Text_Cyclomarkator",
                              "Option_CountMode_0", "Command_Set"};
    for (const bool on : {false, true}) {
        click(button("Check_Trigger"));
        for (const char* name : switched)
            EXPECT_EQ(child<QWidget>(*dialog, QString::fromLatin1(name))->isEnabled(), on) << name;
        for (const char* name : alwaysOn)
            EXPECT_TRUE(child<QWidget>(*dialog, QString::fromLatin1(name))->isEnabled()) << name;
    }
}

TEST_F(TriggerDialog, CounterAndThresholdSelectTheirWholeTextOnFocus) {
    for (const QString& name : {QStringLiteral("Text_Cyclomarkator"), okBoxes[0]}) {
        box(QStringLiteral("Text_Delay"))->setFocus();
        QTest::mouseClick(box(name), Qt::LeftButton, {}, QPoint(2, box(name)->height() / 2));
        QCoreApplication::processEvents();
        EXPECT_EQ(box(name)->selectedText(), box(name)->text()) << qPrintable(name);
    }
}

TEST_F(TriggerDialog, AccessKeysAndTabFollowTheLayout) {
    for (const auto& [key, name] : {std::pair{Qt::Key_C, setBoxes[0]},
                                    {Qt::Key_E, setBoxes[1]},
                                    {Qt::Key_T, okBoxes[0]},
                                    {Qt::Key_D, okBoxes[2]}}) {
        QTest::keyClick(dialog.get(), key, Qt::AltModifier);
        EXPECT_TRUE(box(name)->hasFocus()) << qPrintable(name);
    }
    const QStringList visualOrder =
        QStringLiteral(
            "Option_CountMode_0 Text_Cyclomarkator Text_Periodizitaet Command_Set Check_Trigger "
            "Option_TriggerSource_0 Text_Threshold Text_Hysterese Text_Delay Command_Profile "
            "Command_OK Command_Cancel")
            .split(u' ');
    child<QWidget>(*dialog, visualOrder.front())->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (qsizetype i = 1; i < visualOrder.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    EXPECT_EQ(visited, visualOrder);
}

TEST_F(TriggerDialog, ProfileOpensTheProfileDialogModallyOverThisOne) {
    QString opened;
    QWidget* parent = nullptr;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        opened = modal->objectName();
        parent = modal->parentWidget();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    click(button("Command_Profile"));
    EXPECT_EQ(opened, QStringLiteral("Form_Profile"));
    EXPECT_EQ(parent, dialog.get());
    EXPECT_TRUE(dialog->isVisible());
}

} // namespace
