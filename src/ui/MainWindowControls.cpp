#include "ui/MainWindowControls.h"

#include "ui/ActivityLine.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace {
constexpr uint32_t DdeIdleGrey = 0xC0C0C0;
constexpr uint32_t CountRed = 0xFF0000;
// The widest count a 32-bit counter shows; the layout keeps room for it so
// that a growing count is never cut off.
const QString WidestCount = QStringLiteral("-2147483648");

// Sizes follow the desktop's font, so the window reads well at any scaling;
// some desktops give that font in pixels rather than points.
QFont scaledFont(const QFont& base, double factor) {
    QFont font = base;
    if (base.pointSizeF() > 0)
        font.setPointSizeF(base.pointSizeF() * factor);
    else
        font.setPixelSize(std::max(1, qRound(base.pixelSize() * factor)));
    return font;
}

QFont smallFont(const QFont& base) {
    return scaledFont(base, 0.8);
}
} // namespace

MainWindowControls::MainWindowControls(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 4, 6, 4);
    column->setSpacing(4);
    auto* middle = new QHBoxLayout;
    auto* panels = new QVBoxLayout;
    panels->addWidget(buildCounterPanel());
    panels->addWidget(buildInputPanel());
    panels->addWidget(buildLinkPanel());
    middle->addLayout(panels, 1);
    VScroll_Voltage = new QScrollBar(Qt::Vertical, this);
    VScroll_Voltage->setObjectName(QStringLiteral("VScroll_Voltage"));
    VScroll_Voltage->setRange(-10000, 10000);
    VScroll_Voltage->setEnabled(false);
    middle->addWidget(VScroll_Voltage);
    column->addLayout(middle);

    auto* Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    column->addWidget(Line1);
    Label_Watch = makeLabel(QStringLiteral("Label_Watch"), QStringLiteral("Watch: off"),
                            QStringLiteral("The specimen watch: reference, failure (N_f), stall"));
    Label_Watch->setMargin(2);
    column->addWidget(Label_Watch);
    Label_Status = makeLabel(QStringLiteral("Label_Status"), QStringLiteral("Status"),
                             QStringLiteral("A/D interface and device messages"));
    Label_Status->setMargin(2);
    Label_Status->setWordWrap(true);
    column->addWidget(Label_Status);
}

void MainWindowControls::setColour(QWidget* widget, QPalette::ColorRole role, uint32_t rgb) {
    const QColor colour = QColor::fromRgb(static_cast<QRgb>(rgb));
    // The voltage sets its colour at every tick; an unchanged palette is
    // not worth the style's work of a new one.
    if (widget->palette().color(role) == colour)
        return;
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

QLabel* MainWindowControls::makeLabel(const QString& name, const QString& text,
                                      const QString& toolTip) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setToolTip(toolTip);
    return label;
}

// The cycle count in large type, with the minor count, extrema per cycle,
// trigger events and next trigger under their small headings.
QWidget* MainWindowControls::buildCounterPanel() {
    auto* panel = new QWidget(this);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(0);

    auto* cycleHeading = new QLabel(QStringLiteral("Cycle #"), panel);
    cycleHeading->setObjectName(QStringLiteral("Label5"));
    cycleHeading->setFont(smallFont(font()));
    grid->addWidget(cycleHeading, 0, 0, 1, 4);
    Label_AD_get_cyclomarkator = makeLabel(QStringLiteral("Label_AD_get_cyclomarkator"), {},
                                           QStringLiteral("Current Count"));
    QFont big = scaledFont(font(), 2.6);
    big.setFamilies({QStringLiteral("Arial")});
    big.setStyleHint(QFont::SansSerif);
    big.setBold(true);
    Label_AD_get_cyclomarkator->setFont(big);
    Label_AD_get_cyclomarkator->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Room for any count, so that the window does not jump as the count grows.
    // A fixed size also spares the layout a recalculation at every new text.
    const QFontMetrics metrics = Label_AD_get_cyclomarkator->fontMetrics();
    Label_AD_get_cyclomarkator->setFixedWidth(metrics.horizontalAdvance(WidestCount));
    Label_AD_get_cyclomarkator->setFixedHeight(std::max(
        metrics.height(), metrics.boundingRect(WidestCount + QStringLiteral("V.")).height()));
    setColour(Label_AD_get_cyclomarkator, QPalette::WindowText, CountRed);
    grid->addWidget(Label_AD_get_cyclomarkator, 1, 0, 1, 4);

    Label_AD_get_cyclomarkator2 = makeLabel(QStringLiteral("Label_AD_get_cyclomarkator2"), {},
                                            QStringLiteral("Curr. Minor Count"));
    Label_Periodizitaet =
        makeLabel(QStringLiteral("Label_Periodizitaet"), {}, QStringLiteral("Periodicity"));
    Label_TrigEvents =
        makeLabel(QStringLiteral("Label_TrigEvents"), {}, QStringLiteral("Trigger Events"));
    Label_TrigCount =
        makeLabel(QStringLiteral("Label_TrigCount"), {}, QStringLiteral("Next Trigger Count"));
    addSmallValue(grid, 0, QStringLiteral("Extr. #"), Label_AD_get_cyclomarkator2);
    addSmallValue(grid, 1, QStringLiteral("Extr./Cycl."), Label_Periodizitaet);
    addSmallValue(grid, 2, QStringLiteral("Events"), Label_TrigEvents);
    addSmallValue(grid, 3, QStringLiteral("Next"), Label_TrigCount);
    return panel;
}

void MainWindowControls::addSmallValue(QGridLayout* grid, int column, const QString& heading,
                                       QLabel* value) {
    auto* label = new QLabel(heading, grid->parentWidget());
    label->setObjectName(QStringLiteral("Label5"));
    label->setFont(smallFont(font()));
    label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    value->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(label, 2, column);
    grid->addWidget(value, 3, column);
    grid->setColumnStretch(column, 1);
}

// The counted channel and its present voltage.
QWidget* MainWindowControls::buildInputPanel() {
    auto* panel = new QWidget(this);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 4, 0, 0);
    auto* heading = new QLabel(QStringLiteral("CH.:"), panel);
    row->addWidget(heading);
    Combo_AD_channel = new QComboBox(panel);
    Combo_AD_channel->setObjectName(QStringLiteral("Combo_AD_channel"));
    Combo_AD_channel->setToolTip(QStringLiteral("A/D channel to count"));
    Combo_AD_channel->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Combo_AD_channel->setMinimumContentsLength(5);
    heading->setBuddy(Combo_AD_channel);
    row->addWidget(Combo_AD_channel);
    row->addStretch(1);

    Label_AD_get_Voltage = makeLabel(QStringLiteral("Label_AD_get_Voltage"),
                                     QStringLiteral("##.###"), QStringLiteral("Present voltage"));
    Label_AD_get_Voltage->setFont(scaledFont(font(), 1.3));
    Label_AD_get_Voltage->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Room for "-10.000" so that the row does not jump as the voltage changes;
    // the fixed size keeps the 25 new texts a second from relaying the window,
    // and its own background keeps them from repainting the panel beneath.
    Label_AD_get_Voltage->setAutoFillBackground(true);
    Label_AD_get_Voltage->setFixedSize(
        Label_AD_get_Voltage->fontMetrics().horizontalAdvance(QStringLiteral("-10.000")) + 4,
        Label_AD_get_Voltage->sizeHint().height());
    row->addWidget(Label_AD_get_Voltage);
    row->addWidget(new QLabel(QStringLiteral("V"), panel));
    return panel;
}

// The activity line, the DDE lamp and the DDE command and trigger items.
QWidget* MainWindowControls::buildLinkPanel() {
    auto* panel = new QWidget(this);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 2, 0, 0);
    Picture1 = new QFrame(panel);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setFrameShape(QFrame::StyledPanel);
    Picture1->setFrameShadow(QFrame::Sunken);
    Picture1->setToolTip(
        QStringLiteral("Moves while counting; green while the exchange file is written"));
    auto* inside = new QHBoxLayout(Picture1);
    inside->setContentsMargins(2, 2, 2, 2);
    Line_Timer = new ActivityLine(Picture1);
    Line_Timer->setObjectName(QStringLiteral("Line_Timer"));
    inside->addWidget(Line_Timer);
    row->addWidget(Picture1, 1);

    auto* ddeHeading = new QLabel(QStringLiteral("DDE"), panel);
    ddeHeading->setFont(smallFont(font()));
    row->addWidget(ddeHeading);
    Picture_DDE = new QFrame(panel);
    Picture_DDE->setObjectName(QStringLiteral("Picture_DDE"));
    Picture_DDE->setToolTip(QStringLiteral("DDE link: grey idle"));
    Picture_DDE->setFrameShape(QFrame::Box);
    const int lamp = fontMetrics().height() * 2 / 3;
    Picture_DDE->setFixedSize(lamp, lamp);
    Picture_DDE->setAutoFillBackground(true);
    setColour(Picture_DDE, QPalette::Window, DdeIdleGrey);
    row->addWidget(Picture_DDE);

    Label_AD_cmd = makeLabel(QStringLiteral("Label_AD_cmd"), QStringLiteral("cmd"),
                             QStringLiteral("Last DDE command"));
    Label_AD_trigger =
        makeLabel(QStringLiteral("Label_AD_trigger"), QStringLiteral("-1 Label_AD_trigger"),
                  QStringLiteral("Last trigger"));
    for (QLabel* label : {Label_AD_cmd, Label_AD_trigger}) {
        label->setFont(smallFont(font()));
        row->addWidget(label);
    }
    return panel;
}
