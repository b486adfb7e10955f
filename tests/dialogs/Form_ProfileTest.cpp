#include "dialogs/Form_Profile.h"

#include "DialogFixture.h"

#include <QComboBox>

namespace {

// Rows are written "to/N to/N ..." from row 0; "/" is an empty row.
class ProfileDialog : public DialogFixture {
protected:
    void SetUp() override {
        // An earlier profile that a refused one must leave as it is.
        state.ProfileRows = 3;
        state.TriggerProfile[0] = {5, 1};
        state.TriggerProfile[1] = {50, 7};
        state.TriggerProfile[2] = {500, 9};
        state.TriggerProfile[6].Every = 1000;
        state.ExtraEvents = 1;
        reopen();
    }
    void reopen() {
        dialog = std::make_unique<Form_Profile>(core, prompts);
        open(*dialog);
    }
    QLineEdit* to(int row) const { return child(*dialog, QStringLiteral("Text_to_%1").arg(row)); }
    QLineEdit* every(int row) const { return child(*dialog, QStringLiteral("Text_N_%1").arg(row)); }
    QComboBox* events() const {
        return child<QComboBox>(*dialog, QStringLiteral("Combo_TriggerEvents"));
    }
    void fill(const char* rows, const char* fallback) {
        const QStringList given = QString::fromLatin1(rows).split(u' ', Qt::SkipEmptyParts);
        for (int row = 0; row < 6; ++row) {
            const QStringList pair = given.value(row, QStringLiteral("/")).split(u'/');
            type(to(row), pair.value(0));
            type(every(row), pair.value(1));
        }
        type(every(6), QString::fromLatin1(fallback));
    }
    QString shownRows() const {
        QStringList shown;
        for (int row = 0; row < 6; ++row)
            shown.append(to(row)->text() + u'/' + every(row)->text());
        return shown.join(u' ');
    }
    void clickOk() { click(child<QAbstractButton>(*dialog, QStringLiteral("Command_OK"))); }
    std::unique_ptr<Form_Profile> dialog;
};

TEST_F(ProfileDialog, LoadShowsTheUsedRowsTheFallbackAndTheEvents) {
    EXPECT_EQ(shownRows(), QStringLiteral("5/1 50/7 500/9 / / /"));
    EXPECT_EQ(every(6)->text(), QStringLiteral("1000"));
    ASSERT_EQ(events()->count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(events()->itemText(i), QString::number(i + 1));
        EXPECT_EQ(events()->itemData(i).toInt(), i);
    }
    EXPECT_EQ(events()->currentIndex(), 1);
}

TEST_F(ProfileDialog, RefusedProfileEmptiesFromTheFailingRowAndAppliesNothing) {
    const struct {
        const char* rows;
        const char* fallback;
        const char* left; // the rows after the message
    } cases[] = {
        {"10/2 10/5", "200", "10/2 / / / / /"},
        {"0/2", "200", "/ / / / / /"},
        {"10/2 20/5 30/0 40/1", "200", "10/2 20/5 / / / /"},
        {"1/1 2/1 3/1 4/1 5/1 6/1", "", "1/1 2/1 3/1 4/1 5/1 6/1"},
        {"10/2 / 30/x", "0", "10/2 / / / / /"}, // rows after an empty bound go too
    };
    const CountingState before = state;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        prompts.shown.clear();
        fill(c.rows, c.fallback);
        clickOk();
        ASSERT_EQ(prompts.shown.size(), 1);
        EXPECT_EQ(prompts.shown[0].text, QStringLiteral("One or more values are invalid."));
        EXPECT_EQ(prompts.shown[0].title, QStringLiteral("Profile"));
        EXPECT_EQ(prompts.shown[0].icon, PromptIcon::Critical);
        EXPECT_EQ(shownRows(), QString::fromLatin1(c.left));
        EXPECT_EQ(every(6)->text(), QString::fromLatin1(c.fallback));
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(state, before);
        EXPECT_TRUE(view.events.isEmpty());
        EXPECT_TRUE(view.nextTrigger.isEmpty());
    }
}

TEST_F(ProfileDialog, ValidProfileIsAppliedAndShownAtOnce) {
    const struct {
        const char* rows;
        const char* fallback;
        int eventsIndex;
        std::vector<ProfileRow> profile;
        int32_t fallbackEvery;
        const char* nextTrigger; // from a count of 0
    } cases[] = {
        {"10/2 20/5 / 5/0 x/", "200", 0, {{10, 2}, {20, 5}}, 200, "2"},
        {"10.5/2.5", "199.5", 2, {{10, 2}}, 200, "1"}, // halves round to even
        {"", "7", 1, {}, 7, "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        reopen();
        fill(c.rows, c.fallback);
        events()->setCurrentIndex(c.eventsIndex);
        clickOk();
        EXPECT_TRUE(prompts.shown.isEmpty());
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        ASSERT_EQ(state.ProfileRows, static_cast<int32_t>(c.profile.size()));
        for (size_t row = 0; row < c.profile.size(); ++row)
            EXPECT_EQ(state.TriggerProfile[row], c.profile[row]) << row;
        EXPECT_EQ(state.TriggerProfile[6].Every, c.fallbackEvery);
        EXPECT_EQ(state.ExtraEvents, c.eventsIndex);
        EXPECT_EQ(view.events, QStringLiteral("%1x").arg(c.eventsIndex + 1));
        EXPECT_EQ(view.nextTrigger, QString::fromLatin1(c.nextTrigger));
    }
}

TEST_F(ProfileDialog, DefaultThenOkGivesSixRowsFallback200AndOneEvent) {
    type(every(6), QStringLiteral("3"));
    click(child<QAbstractButton>(*dialog, QStringLiteral("Command_Default")));
    EXPECT_EQ(state.ProfileRows, 3); // nothing applied before OK
    clickOk();
    const std::array<ProfileRow, 6> expected{
        {{10, 2}, {20, 5}, {50, 10}, {100, 20}, {200, 50}, {500, 100}}};
    EXPECT_EQ(state.ProfileRows, 6);
    for (size_t row = 0; row < 6; ++row)
        EXPECT_EQ(state.TriggerProfile[row], expected[row]) << row;
    EXPECT_EQ(state.TriggerProfile[6].Every, 200);
    EXPECT_EQ(state.ExtraEvents, 0);
    EXPECT_EQ(view.events, QStringLiteral("1x"));
    EXPECT_EQ(view.nextTrigger, QStringLiteral("2"));
}

TEST_F(ProfileDialog, EnterTakesTheProfileCancelAndEscapeDoNot) {
    const CountingState before = state;
    for (const bool escape : {false, true}) {
        reopen();
        fill("10/2", "200");
        if (escape)
            QTest::keyClick(to(0), Qt::Key_Escape);
        else
            click(child<QAbstractButton>(*dialog, QStringLiteral("Command_Cancel")));
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        EXPECT_EQ(state, before);
    }
    reopen();
    fill("10/2", "200");
    QTest::keyClick(every(6), Qt::Key_Return);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(state.ProfileRows, 1);
}

} // namespace
