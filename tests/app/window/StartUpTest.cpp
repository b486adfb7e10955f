// Start-up of the main window with each kind of configured interface, and
// what the window shows before anything has been counted.
#include "WindowHarness.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QColor Red(255, 0, 0);
const QColor Green(0, 255, 0);
const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);
const QString Failing = QStringLiteral("National Instruments: 6023E/6024E/6025E");

struct StartCase {
    const char* what;
    std::optional<QString> configured; // none: no settings file at all
    QString status;
    QColor back, fore;
    int channels;
    bool counting;
    bool message;
};

void PrintTo(const StartCase& c, std::ostream* out) {
    *out << c.what;
}

class StartUp : public testing::TestWithParam<StartCase> {
protected:
    WindowHarness h;
};

TEST_P(StartUp, ShowsTheInterfaceAndCountsOnlyWhenItOpened) {
    const StartCase& c = GetParam();
    if (c.configured)
        h.writeSettings("[HARDWARE]\nA/D-Converter=" + *c.configured +
                        "\n[Cyclomarkator]\nValue=41\n");
    h.startWindow();

    EXPECT_EQ(h.text("Label_Status"), c.status);
    EXPECT_EQ(h.background("Label_Status"), c.back);
    EXPECT_EQ(h.foreground("Label_Status"), c.fore);
    auto* combo = h.form->findChild<QComboBox*>(QStringLiteral("Combo_AD_channel"));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), c.channels);
    if (c.channels > 0) {
        EXPECT_EQ(combo->itemText(0), QStringLiteral("AD_0"));
        EXPECT_EQ(combo->itemText(7), QStringLiteral("AD_7"));
        EXPECT_EQ(combo->currentIndex(), 0);
    }
    EXPECT_EQ(h.session->countingTimer().isActive(), c.counting);
    ASSERT_EQ(h.prompts.shown.size(), c.message ? 1 : 0);
    if (c.message) {
        EXPECT_EQ(h.prompts.shown[0].text,
                  QStringLiteral("Cannot initialize A/D-Interface\n\"%1\"").arg(Failing));
        EXPECT_EQ(h.prompts.shown[0].title, QStringLiteral("A/D-Converter"));
        EXPECT_EQ(h.prompts.shown[0].icon, PromptIcon::Critical);
    }
    EXPECT_EQ(h.form->windowTitle(), QStringLiteral("Cyclomarkator"));
    EXPECT_EQ(h.text("Label_AD_get_cyclomarkator"),
              c.configured ? QStringLiteral("41") : QStringLiteral("0"));
    EXPECT_EQ(h.flagFile(), QByteArray(4, '\0'));
    EXPECT_TRUE(h.form->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Interfaces, StartUp,
    testing::Values(
        StartCase{"NoSettingsFile", std::nullopt, "(none)", Red, White, 0, false, false},
        StartCase{"None", QStringLiteral("(none)"), "(none)", Red, White, 0, false, false},
        StartCase{"UnknownName", QStringLiteral("Acme 3000"), "(none)", Red, White, 0, false,
                  false},
        StartCase{"Dummy", QStringLiteral("Dummy A/D"), "Dummy A/D", Green, Black, 8, true, false},
        StartCase{"FailsToOpen", Failing, Failing, Red, White, 0, false, true}),
    [](const testing::TestParamInfo<StartCase>& info) { return std::string(info.param.what); });

TEST(StartUpWindow, SavedChannelIsSelectedAndTheFirstReadingShown) {
    WindowHarness h;
    h.writeSettings(dummySettings("[Trigger]\nADchannel=3\n"));
    h.clock.set(5000); // the simulated sine near its top
    h.startWindow();
    auto* combo = h.form->findChild<QComboBox*>(QStringLiteral("Combo_AD_channel"));
    EXPECT_EQ(combo->currentText(), QStringLiteral("AD_3"));
    EXPECT_TRUE(h.text("Label_AD_get_Voltage").startsWith(QStringLiteral("10")))
        << h.text("Label_AD_get_Voltage").toStdString();
}

TEST(StartUpWindow, DesignTextsUntilTheStartUpShowsTheCounters) {
    WindowHarness h;
    h.makeSession();
    Form_MainCyclomarkator form(*h.session, h.prompts);
    const auto text = [&form](const char* name) {
        auto* label = form.findChild<QLabel*>(QLatin1String(name));
        return label ? label->text() : QStringLiteral("<missing>");
    };
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Cyclomarkator 2010"));
    EXPECT_EQ(text("Label_AD_get_Voltage"), QStringLiteral("##.###"));
    EXPECT_EQ(text("Label_AD_cmd"), QStringLiteral("cmd"));
    EXPECT_EQ(text("Label_AD_trigger"), QStringLiteral("-1 Label_AD_trigger"));
    EXPECT_EQ(text("Label_Status"), QStringLiteral("Status"));
    QStringList headings;
    for (QLabel* label : form.findChildren<QLabel*>(QStringLiteral("Label5")))
        headings << label->text();
    EXPECT_EQ(headings, QStringList({"Cycle #", "Extr. #", "Extr./Cycl.", "Events", "Next"}));
    auto* scrollBar = form.findChild<QScrollBar*>(QStringLiteral("VScroll_Voltage"));
    ASSERT_NE(scrollBar, nullptr);
    EXPECT_FALSE(scrollBar->isEnabled());
    auto* lamp = form.findChild<QWidget*>(QStringLiteral("Picture_DDE"));
    ASSERT_NE(lamp, nullptr);
    EXPECT_EQ(lamp->palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));

    // The load step shows the version in place of the count until start-up.
    form.Form_Load(QRect(0, 0, 1280, 800));
    EXPECT_EQ(text("Label_AD_get_cyclomarkator"), CounterSession::versionLabel());
}

} // namespace
