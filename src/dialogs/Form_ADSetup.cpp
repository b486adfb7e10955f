#include "dialogs/Form_ADSetup.h"

#include "dialogs/CalibrationDialogue.h"
#include "dialogs/DevicePicture.h"
#include "dialogs/DialogWidgets.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

constexpr int Rows = ADSetupControls::Rows;
constexpr int ReadingIntervalMs = 250;
const QSize PictureSize(128, 72);
const QString NotCorrected = QStringLiteral(
    "The calibration is stored and exported with the A/D settings; the readings shown and "
    "counted are not corrected with it.");

using dialog_widgets::named;

QString indexed(const char* name, int index) {
    return QLatin1String(name) + u'_' + QString::number(index);
}

// Sets a text only when it differs, so that a box being typed in keeps its cursor.
void setText(QLineEdit* box, const QString& text) {
    if (box->text() != text)
        box->setText(text);
}

void setItems(QComboBox* list, const QStringList& items, int index) {
    const QSignalBlocker quiet(list);
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->itemText(i);
    if (shown != items) {
        list->clear();
        list->addItems(items);
    }
    list->setCurrentIndex(index);
}

} // namespace

Form_ADSetup::Form_ADSetup(AdcFacade& adc, Prompts& prompts, QWidget* parent)
    : QDialog(parent), m_adc(adc), m_prompts(prompts), m_logic(adc, prompts) {
    setObjectName(QStringLiteral("Form_ADSetup"));
    setWindowTitle(QStringLiteral("A/D Converter"));
    setModal(true);
    buildUi();
    Image_AD = DevicePicture::draw(PictureSize, palette(), devicePixelRatio());
    // Asking a device for its channels and ranges can take a moment.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_logic.Form_Load();
    QApplication::restoreOverrideCursor();
    showControls();
}

int32_t Form_ADSetup::ADHasDiffInput() {
    return m_logic.ADHasDiffInput();
}

void Form_ADSetup::UpdateChannelNames() {
    m_logic.UpdateChannelNames();
    showChannels();
}

void Form_ADSetup::buildUi() {
    auto* grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    grid->addWidget(buildInterfaceFrame(), 0, 0, 1, 3);
    grid->addWidget(buildSettingsFrame(), 1, 0);
    grid->addWidget(buildAugerFrame(), 1, 1, 1, 2);
    grid->addWidget(buildChannelFrame(), 2, 0);
    grid->addWidget(buildReadingFrame(), 2, 1);
    grid->addLayout(buildDisplayChoice(), 2, 2);
    Check_More =
        named<QCheckBox>(QStringLiteral("Check_More"), this, QStringLiteral("Channel 09...16"));
    grid->addWidget(Check_More, 3, 0);
    grid->addLayout(buildButtons(), 4, 0, 1, 3);
    Timer1 = named<QTimer>(QStringLiteral("Timer1"), this);
    Timer1->setInterval(ReadingIntervalMs);
    connectControls();
    setVisualTabOrder();
}

QGroupBox* Form_ADSetup::buildInterfaceFrame() {
    Frame1 = named<QGroupBox>(QStringLiteral("Frame1"), this, QStringLiteral("Interface"));
    Combo_Name = named<QComboBox>(QStringLiteral("Combo_Name"), Frame1);
    Combo_Name->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Label1 = named<QLabel>(QStringLiteral("Label1"), Frame1, QStringLiteral("&Name:"));
    Label1->setBuddy(Combo_Name);
    Label_DLLName = named<QLabel>(QStringLiteral("Label_DLLName"), Frame1);
    Label_Status = named<QLabel>(QStringLiteral("Label_Status"), Frame1);
    Text_Device = named<QLineEdit>(QStringLiteral("Text_Device"), Frame1);
    Text_Device->setPlaceholderText(
        QStringLiteral("iio:ads1115, modbus-tcp://192.0.2.10:502?unit=1, replay:signal.csv"));
    Label_Device =
        named<QLabel>(QStringLiteral("Label_Device"), Frame1, QStringLiteral("&Device:"));
    Label_Device->setBuddy(Text_Device);
    Label_DeviceStatus = named<QLabel>(QStringLiteral("Label_DeviceStatus"), Frame1);
    Label_DeviceStatus->setWordWrap(true);
    Label_Sampling = named<QLabel>(QStringLiteral("Label_Sampling"), Frame1);
    Label_Sampling->setWordWrap(true);
    Command_Change =
        named<QPushButton>(QStringLiteral("Command_Change"), Frame1, QStringLiteral("Change"));
    Command_Accept =
        named<QPushButton>(QStringLiteral("Command_Accept"), Frame1, QStringLiteral("&Accept"));
    Picture_AD = named<QLabel>(QStringLiteral("Picture_AD"), Frame1);
    Picture_AD->setFixedSize(PictureSize);

    auto* grid = new QGridLayout(Frame1);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Combo_Name, 0, 1, 1, 3);
    grid->addWidget(Command_Change, 1, 1);
    grid->addWidget(Command_Accept, 1, 2);
    grid->addWidget(Label_Status, 2, 1, 1, 3);
    grid->addWidget(Label_DLLName, 3, 1, 1, 3);
    grid->addWidget(Label_Device, 4, 0);
    grid->addWidget(Text_Device, 4, 1, 1, 3);
    grid->addWidget(Label_DeviceStatus, 5, 1, 1, 3);
    grid->addWidget(Label_Sampling, 6, 1, 1, 3);
    grid->addWidget(Picture_AD, 0, 4, 4, 1, Qt::AlignRight | Qt::AlignVCenter);
    grid->setColumnStretch(3, 1);
    return Frame1;
}

QGroupBox* Form_ADSetup::buildSettingsFrame() {
    Frame_Settings =
        named<QGroupBox>(QStringLiteral("Frame_Settings"), this, QStringLiteral("Settings"));
    Combo_Range = named<QComboBox>(QStringLiteral("Combo_Range"), Frame_Settings);
    Combo_Range->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Label_Range =
        named<QLabel>(QStringLiteral("Label_Range"), Frame_Settings, QStringLiteral("&Range:"));
    Label_Range->setBuddy(Combo_Range);
    Text_Averaging = named<QLineEdit>(QStringLiteral("Text_Averaging"), Frame_Settings);
    Text_Averaging->setMaxLength(12);
    Text_Averaging->setFixedWidth(
        Text_Averaging->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) +
        Text_Averaging->fontMetrics().height());
    Label_SamplesPerReading =
        named<QLabel>(QStringLiteral("Label_SamplesPerReading"), Frame_Settings,
                      QStringLiteral("&Samples Per Reading:"));
    Label_SamplesPerReading->setBuddy(Text_Averaging);
    Label_InputMode = named<QLabel>(QStringLiteral("Label_InputMode"), Frame_Settings,
                                    QStringLiteral("Input Mode:"));
    m_inputMode = new QButtonGroup(Frame_Settings);
    const std::array<QString, 2> modes{QStringLiteral("Single Ended"),
                                       QStringLiteral("Differential")};
    for (int i = 0; i < 2; ++i) {
        Option_Input_mode[static_cast<size_t>(i)] = named<QRadioButton>(
            indexed("Option_Input_mode", i), Frame_Settings, modes[static_cast<size_t>(i)]);
        m_inputMode->addButton(Option_Input_mode[static_cast<size_t>(i)], i);
    }

    auto* grid = new QGridLayout(Frame_Settings);
    grid->addWidget(Label_Range, 0, 0);
    grid->addWidget(Combo_Range, 0, 1, Qt::AlignLeft);
    grid->addWidget(Label_SamplesPerReading, 1, 0);
    grid->addWidget(Text_Averaging, 1, 1, Qt::AlignLeft);
    grid->addWidget(Label_InputMode, 2, 0);
    grid->addWidget(Option_Input_mode[0], 2, 1);
    grid->addWidget(Option_Input_mode[1], 3, 1);
    grid->setColumnStretch(1, 1);
    return Frame_Settings;
}

QGroupBox* Form_ADSetup::buildAugerFrame() {
    Frame_Auger = named<QGroupBox>(QStringLiteral("Frame_Auger"), this, QStringLiteral("Auger"));
    Check_DetectorSignal = named<QCheckBox>(QStringLiteral("Check_DetectorSignal"), Frame_Auger,
                                            QStringLiteral("Calculate Derivative Signal  "));
    Label_AugerADChannel = named<QLabel>(QStringLiteral("Label_AugerADChannel"), Frame_Auger,
                                         QStringLiteral("Channel # of Auger Detector:"));
    Combo_AugerADChannel = named<QComboBox>(QStringLiteral("Combo_AugerADChannel"), Frame_Auger);
    auto* grid = new QGridLayout(Frame_Auger);
    grid->addWidget(Check_DetectorSignal, 0, 0, 1, 2);
    grid->addWidget(Label_AugerADChannel, 1, 0);
    grid->addWidget(Combo_AugerADChannel, 1, 1, Qt::AlignLeft);
    grid->setRowStretch(2, 1);
    // The detector is not built into this program: the frame shows its settings greyed.
    Frame_Auger->setEnabled(false);
    return Frame_Auger;
}

QGroupBox* Form_ADSetup::buildChannelFrame() {
    Frame_NameOfChannel = named<QGroupBox>(QStringLiteral("Frame_NameOfChannel"), this,
                                           QStringLiteral("Name of Channel"));
    auto* grid = new QGridLayout(Frame_NameOfChannel);
    for (int i = 0; i < Rows; ++i) {
        const auto row = static_cast<size_t>(i);
        Text_Label[row] = named<QLineEdit>(indexed("Text_Label", i), Frame_NameOfChannel);
        Label_CH[row] = named<QLabel>(indexed("Label_CH", i), Frame_NameOfChannel);
        Label_CH[row]->setBuddy(Text_Label[row]);
        Label_CH[row]->setToolTip(QStringLiteral("Double-click: restore the default name"));
        Label_CH[row]->installEventFilter(this);
        grid->addWidget(Label_CH[row], i, 0);
        grid->addWidget(Text_Label[row], i, 1);
    }
    return Frame_NameOfChannel;
}

QGroupBox* Form_ADSetup::buildReadingFrame() {
    Frame_Reading =
        named<QGroupBox>(QStringLiteral("Frame_Reading"), this, QStringLiteral("Reading"));
    auto* column = new QVBoxLayout(Frame_Reading);
    // Digits of equal width keep the columns of a changing reading still.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const int width = QFontMetrics(fixed).horizontalAdvance(QStringLiteral("-1.234568E+08  "));
    for (int i = 0; i < Rows; ++i) {
        QLabel*& label = Label_Voltage[static_cast<size_t>(i)];
        label = named<QLabel>(indexed("Label_Voltage", i), Frame_Reading);
        label->setFont(fixed);
        label->setMinimumWidth(width);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // As tall as a name box, so that each reading stands beside its name.
        label->setMinimumHeight(Text_Label[0]->sizeHint().height());
        column->addWidget(label);
    }
    return Frame_Reading;
}

QLayout* Form_ADSetup::buildDisplayChoice() {
    auto* column = new QVBoxLayout;
    m_display = new QButtonGroup(this);
    const std::array<QString, 4> captions{QStringLiteral("&mV"), QStringLiteral("&binary (hex)"),
                                          QStringLiteral("binary (&LSB)"),
                                          QStringLiteral("&decimal")};
    for (int i = 0; i < 4; ++i) {
        Option_Display[static_cast<size_t>(i)] = named<QRadioButton>(
            indexed("Option_Display", i), this, captions[static_cast<size_t>(i)]);
        m_display->addButton(Option_Display[static_cast<size_t>(i)], i);
    }
    // On screen the order runs the other way: decimal, LSB, hex, mV. They
    // start level with the first reading they change.
    column->addSpacing(fontMetrics().height() * 3 / 2);
    for (int i = 3; i >= 0; --i)
        column->addWidget(Option_Display[static_cast<size_t>(i)]);
    Check_Calibration =
        named<QCheckBox>(QStringLiteral("Check_Calibration"), this, QStringLiteral("Cali&brated"));
    Check_Calibration->setToolTip(NotCorrected);
    column->addSpacing(fontMetrics().height() / 2);
    column->addWidget(Check_Calibration);
    column->addStretch(1);
    return column;
}

QLayout* Form_ADSetup::buildButtons() {
    Command_Calibration = named<QPushButton>(QStringLiteral("Command_Calibration"), this,
                                             QStringLiteral("&Calibration..."));
    Command_Calibration->setToolTip(NotCorrected);
    Command_OK = named<QPushButton>(QStringLiteral("Command_OK"), this, QStringLiteral("Close"));
    auto* row = new QHBoxLayout;
    row->addWidget(Command_Calibration);
    row->addStretch(1);
    row->addWidget(Command_OK);
    return row;
}

void Form_ADSetup::connectControls() {
    // A user's change goes to the logic, and the dialog shows what follows from it.
    const auto forward = [this](auto operation) {
        return [this, operation](auto... arguments) {
            (m_logic.*operation)(arguments...);
            showControls();
        };
    };
    connect(Combo_Name, &QComboBox::activated, this, forward(&ADSetupLogic::Combo_Name_Click));
    connect(Text_Device, &QLineEdit::editingFinished, this, [this] {
        m_logic.Text_Device_Change(Text_Device->text());
        showControls();
    });
    connect(Command_Change, &QPushButton::clicked, this, &Form_ADSetup::Command_Change_Click);
    connect(Command_Accept, &QPushButton::clicked, this, &Form_ADSetup::Command_Accept_Click);
    connect(Command_OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(Command_Calibration, &QPushButton::clicked, this,
            &Form_ADSetup::Command_Calibration_Click);
    connect(Combo_Range, &QComboBox::activated, this, forward(&ADSetupLogic::Combo_Range_Click));
    connect(Text_Averaging, &QLineEdit::textEdited, this,
            forward(&ADSetupLogic::Text_Averaging_Change));
    connect(m_inputMode, &QButtonGroup::idClicked, this,
            forward(&ADSetupLogic::Option_Input_mode_Click));
    connect(m_display, &QButtonGroup::idClicked, this,
            forward(&ADSetupLogic::Option_Display_Click));
    connect(Check_More, &QCheckBox::clicked, this, forward(&ADSetupLogic::Check_More_Click));
    connect(Combo_AugerADChannel, &QComboBox::activated, this,
            forward(&ADSetupLogic::Combo_AugerADChannel_Click));
    for (int i = 0; i < Rows; ++i) {
        connect(Text_Label[static_cast<size_t>(i)], &QLineEdit::textEdited, this,
                [this, i](const QString& text) { m_logic.Text_Label_Change(i, text); });
    }
    connect(Timer1, &QTimer::timeout, this, &Form_ADSetup::Timer1_Timer);
}

void Form_ADSetup::setVisualTabOrder() {
    QList<QWidget*> order{Combo_Name,           Text_Device,          Command_Change,
                          Command_Accept,       Combo_Range,          Text_Averaging,
                          Option_Input_mode[0], Option_Input_mode[1], Check_DetectorSignal,
                          Combo_AugerADChannel};
    order.append(QList<QWidget*>(Text_Label.begin(), Text_Label.end()));
    for (int i = 3; i >= 0; --i)
        order.append(Option_Display[static_cast<size_t>(i)]);
    order << Check_Calibration << Check_More << Command_Calibration << Command_OK;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

// Puts the logic's controls on screen.
void Form_ADSetup::showControls() {
    const ADSetupControls& c = m_logic.controls();
    setWindowTitle(c.caption);
    setItems(Combo_Name, c.interfaceNames, c.interfaceIndex);
    for (int i = 0; i < c.interfaceNumbers.size(); ++i)
        Combo_Name->setItemData(i, c.interfaceNumbers[i]);
    Combo_Name->setToolTip(c.interfaceToolTip);
    Combo_Name->setEnabled(c.interfaceEnabled);
    Picture_AD->setPixmap(c.pictureShown ? Image_AD : QPixmap());
    Label_Status->setText(c.status);
    for (QWidget* device : {static_cast<QWidget*>(Label_Device), static_cast<QWidget*>(Text_Device),
                            static_cast<QWidget*>(Label_DeviceStatus)})
        device->setVisible(c.deviceShown);
    Text_Device->setEnabled(c.interfaceEnabled);
    setText(Text_Device, c.device);
    Label_DeviceStatus->setText(c.deviceStatus);
    Command_Change->setEnabled(c.changeEnabled);
    Command_Accept->setEnabled(c.acceptEnabled);
    Command_Accept->setDefault(c.acceptEnabled);
    Command_OK->setEnabled(c.okEnabled);
    Command_OK->setDefault(!c.acceptEnabled);
    Command_Calibration->setEnabled(c.calibrationEnabled);

    Frame_Settings->setEnabled(c.settingsEnabled);
    setItems(Combo_Range, c.ranges, c.rangeIndex);
    Combo_Range->setEnabled(c.rangeEnabled);
    setText(Text_Averaging, c.averaging);
    Option_Input_mode[1]->setEnabled(c.differentialEnabled);
    if (QAbstractButton* mode = m_inputMode->button(c.inputMode))
        mode->setChecked(true);

    Check_More->setEnabled(c.moreEnabled);
    Check_More->setChecked(c.moreChecked);
    if (QAbstractButton* display = m_display->button(c.displayMode))
        display->setChecked(true);
    Check_Calibration->setEnabled(c.calibratedEnabled);
    setItems(Combo_AugerADChannel, c.augerChannels, c.augerIndex);
    showChannels();
}

void Form_ADSetup::showChannels() {
    const ADSetupControls& c = m_logic.controls();
    Frame_NameOfChannel->setEnabled(c.channelsEnabled);
    for (size_t i = 0; i < Rows; ++i) {
        Label_CH[i]->setText(c.channelCaptions[i]);
        setText(Text_Label[i], c.channelNames[i]);
        Text_Label[i]->setEnabled(c.channelNameEnabled[i]);
    }
    showReadings();
}

void Form_ADSetup::showReadings() {
    const ADSetupControls& c = m_logic.controls();
    Frame_Reading->setEnabled(c.readingsEnabled);
    for (size_t i = 0; i < Rows; ++i)
        Label_Voltage[i]->setText(c.readings[i]);
    if (c.timerOn && !Timer1->isActive())
        Timer1->start();
    else if (!c.timerOn)
        Timer1->stop();
}

bool Form_ADSetup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (int i = 0; i < Rows; ++i) {
            if (watched == Label_CH[static_cast<size_t>(i)]) {
                m_logic.Label_CH_DblClick(i);
                showChannels();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Form_ADSetup::Command_Change_Click() {
    m_logic.Command_Change_Click();
    showControls();
    Combo_Name->setFocus();
}

void Form_ADSetup::Command_Accept_Click() {
    if (m_logic.Command_Accept_Click() == ADSetupLogic::Outcome::Restart) {
        done(Restart);
        return;
    }
    showControls();
    Command_OK->setFocus();
}

void Form_ADSetup::Command_Calibration_Click() {
    // The readings stay still while the questions wait for the user.
    Timer1->stop();
    CalibrationDialogue(m_adc, m_prompts).ADC_calibrate();
    showReadings();
}

void Form_ADSetup::Timer1_Timer() {
    m_logic.Timer1_Timer();
    showReadings();
}

void Form_ADSetup::done(int result) {
    if (!m_unloaded) {
        m_unloaded = true;
        Timer1->stop();
        m_logic.Form_Unload();
    }
    QDialog::done(result);
}

void Form_ADSetup::showSampling(const QString& text) {
    Label_Sampling->setText(text);
}
