#include "dialogs/ADSetupLogic.h"

#include "adc/AdcFacade.h"
#include "adc/InterfaceCatalogue.h"
#include "common/IniReaders.h"
#include "common/ParseNumber.h"
#include "dialogs/ReadingText.h"
#include "platform/Prompts.h"

#include <algorithm>
#include <exception>
#include <limits>

namespace {
const QString CaptionStart = QStringLiteral("A/D-Converter [");
const QString NoneName = QStringLiteral("(none)");
const QString RestartQuestion =
    QStringLiteral("You must Restart Cyclomarkator.exe to use the new hardware!");
const QString ApplicationTitle = QStringLiteral("Cyclomarkator");
constexpr int Rows = ADSetupControls::Rows;
constexpr int MoreOffset = 8; // "Channel 09...16" shows channels 8..15
} // namespace

const QString ADSetupLogic::RunningMark = QStringLiteral(" (running)");

ADSetupLogic::ADSetupLogic(AdcFacade& adc, Prompts& prompts, QLocale locale)
    : m_adc(adc), m_prompts(prompts), m_locale(std::move(locale)) {}

int32_t ADSetupLogic::averagingCount(const QString& text) {
    const double value = parseLeadingNumber(text);
    if (!(value >= 1.0))
        return 1;
    return std::min(roundHalfEvenToInt32(value), MaxAveraging);
}

void ADSetupLogic::Form_Load() {
    if (m_adc.averaging() < 1)
        m_adc.setAveraging(1);
    QString driverFile = m_adc.driverFile();
    m_c.caption =
        CaptionStart + m_adc.ADC_catalogue_name(m_adc.ADC_interface_number(driverFile)) + u']';
    fillInterfaces();
    UpdateControls();
    m_loadedIndex = m_c.interfaceIndex;

    m_c.augerChannels.clear();
    for (int32_t n = 0; n < m_adc.ADC_channels(); ++n)
        m_c.augerChannels << QStringLiteral("AD CH") + QString::number(n);
    m_c.augerIndex = m_adc.augerChannel() >= 0 && m_adc.augerChannel() < m_c.augerChannels.size()
                         ? m_adc.augerChannel()
                         : -1;
    m_c.status = m_adc.ADC_interface_name();
    m_c.device = m_adc.deviceAddress();
}

void ADSetupLogic::fillInterfaces() {
    m_c.interfaceNames = {NoneName};
    m_c.interfaceNumbers = {InterfaceCatalogue::None};
    int selected = 0;
    for (int32_t number = 1; number <= InterfaceCatalogue::Highest; ++number) {
        if (AdcFacade::ADC_driver_file(number).isEmpty())
            continue;
        QString name = m_adc.ADC_catalogue_name(number);
        if (selected == 0 && number == m_adc.interfaceNumber()) {
            selected = static_cast<int>(m_c.interfaceNames.size());
            if (m_adc.ready())
                name += RunningMark;
        }
        m_c.interfaceNames << name;
        m_c.interfaceNumbers << number;
    }
    Combo_Name_Click(selected);
}

void ADSetupLogic::UpdateControls() {
    m_c.channelsEnabled = m_adc.ready();
    m_c.readingsEnabled = m_adc.ready();
    m_c.calibrationEnabled = m_adc.ready();
    m_c.settingsEnabled = m_adc.ready();
    if (!m_adc.ready()) {
        m_c.moreEnabled = false;
        m_c.moreChecked = false;
        m_c.channelNames.fill(QString());
        m_c.averaging = QStringLiteral("1");
        m_c.ranges.clear();
        m_c.rangeIndex = -1;
        m_c.rangeEnabled = false;
        m_c.differentialEnabled = false;
    } else {
        fillRanges();
        m_c.averaging = QString::number(m_adc.averaging());
        m_c.differentialEnabled = ADHasDiffInput() != 0;
        if (!m_c.differentialEnabled)
            m_adc.setInputMode(0);
        m_c.inputMode = m_adc.inputMode();
        // Rows 9..16 only exist on a converter with more than eight channels.
        m_c.moreEnabled = m_adc.ADC_channels() >= 9;
        if (!m_c.moreEnabled)
            m_c.moreChecked = false;
    }
    UpdateChannelNames();
    m_c.timerOn = true;
}

void ADSetupLogic::fillRanges() {
    const int32_t count = m_adc.ADC_ranges();
    m_c.ranges.clear();
    for (int32_t range = 0; range < count; ++range) {
        float min = 0.0f;
        float max = 0.0f;
        m_adc.ADC_range(range, min, max);
        m_c.ranges << ReadingText::number(min, m_locale) + QStringLiteral("V ... ") +
                          ReadingText::number(max, m_locale) + QStringLiteral("V ");
    }
    m_c.rangeEnabled = count >= 2;
    if (m_adc.range() >= count) {
        m_c.rangeIndex = -1;
        if (count > 0)
            Combo_Range_Click(0);
        return;
    }
    m_adc.setRange(m_adc.ADC_set_range(m_adc.range()));
    m_c.rangeIndex = m_adc.range() >= 0 && m_adc.range() < count ? m_adc.range() : -1;
}

void ADSetupLogic::UpdateChannelNames() {
    const int32_t channels = m_adc.ADC_channels();
    for (int row = 0; row < Rows; ++row) {
        const auto i = static_cast<size_t>(row);
        m_c.readings[i].clear();
        if (m_c.moreChecked) {
            const int channel = row + MoreOffset;
            m_c.channelCaptions[i] = QStringLiteral("  AD CH") + QString::number(channel);
            m_c.channelNameEnabled[i] = false;
            m_c.channelNames[i] =
                channel < channels ? QStringLiteral("AD CH") + QString::number(channel) : QString();
            continue;
        }
        m_c.channelCaptions[i] = QStringLiteral("&%1: AD CH%2").arg(row + 1).arg(row);
        m_c.channelNameEnabled[i] = true;
        if (row >= channels) {
            m_c.channelNames[i].clear();
            continue;
        }
        if (m_adc.channelInfo()[i].ChannelName.isEmpty())
            m_adc.setChannelName(i, m_adc.ADC_channel_name(row));
        m_c.channelNames[i] = m_adc.channelInfo()[i].ChannelName;
    }
}

int32_t ADSetupLogic::ADHasDiffInput() {
    return m_adc.ADC_has_diff_input();
}

void ADSetupLogic::Combo_Name_Click(int index) {
    if (index < 0 || index >= m_c.interfaceNames.size())
        return;
    m_c.interfaceIndex = index;
    m_c.interfaceToolTip = m_c.interfaceNames[index];
    m_c.pictureShown = AdcFacade::IsLibadxInterface(m_c.interfaceNumbers[index]);
    m_c.deviceShown = InterfaceCatalogue::isConverter(m_c.interfaceNumbers[index]);
    m_c.deviceStatus.clear();
}

void ADSetupLogic::Text_Device_Change(const QString& text) {
    m_c.device = text.trimmed();
    examineDevice();
}

bool ADSetupLogic::examineDevice() {
    try {
        m_c.deviceStatus =
            m_adc.examineDevice(m_c.interfaceNumbers.value(m_c.interfaceIndex), m_c.device);
        return true;
    } catch (const std::exception& error) {
        m_c.deviceStatus = QString::fromStdString(error.what());
        return false;
    }
}

void ADSetupLogic::Command_Change_Click() {
    m_c.changeEnabled = false;
    m_c.timerOn = false;
    m_c.calibrationEnabled = false;
    m_c.okEnabled = false;
    m_c.settingsEnabled = false;
    m_c.moreEnabled = false;
    m_c.channelsEnabled = false;
    m_c.readingsEnabled = false;
    m_c.readings.fill(QString());
    m_c.calibratedEnabled = false;
    m_c.acceptEnabled = true;
    m_c.interfaceEnabled = true;
}

ADSetupLogic::Outcome ADSetupLogic::Command_Accept_Click() {
    if (m_c.changeEnabled)
        return Outcome::Stay;
    QString selected = m_c.interfaceNames.value(m_c.interfaceIndex);
    const bool none = m_c.interfaceNumbers.value(m_c.interfaceIndex) == InterfaceCatalogue::None;
    // A converter is taken only at an address where it was found: nothing
    // half-configured reaches the settings file.
    const bool converter = m_c.deviceShown;
    if (converter && !examineDevice()) {
        m_prompts.messageBox(QStringLiteral("Device: ") + m_c.deviceStatus, ApplicationTitle,
                             PromptIcon::Critical);
        return Outcome::Stay;
    }
    const bool moved = converter && m_c.device != m_adc.deviceAddress();
    if (moved && selected.endsWith(RunningMark))
        selected.chop(RunningMark.size());
    if (selected != m_adc.interfaceName() || moved) {
        if (none) {
            stopReadings();
        } else if (moved || !selected.endsWith(QStringLiteral("(running)"))) {
            const PromptAnswer answer = m_prompts.messageBox(
                RestartQuestion, ApplicationTitle, PromptIcon::Critical, PromptButtons::OkCancel);
            if (answer == PromptAnswer::Ok) {
                m_adc.setInterfaceName(selected);
                if (converter)
                    m_adc.setDeviceAddress(m_c.device);
                QString exported = selected;
                m_adc.ADC_save_settings(exported);
                return Outcome::Restart;
            }
            Combo_Name_Click(m_loadedIndex);
            m_c.device = m_adc.deviceAddress();
        }
    }
    leaveChangeMode();
    return Outcome::Stay;
}

// The converter is given up without a restart: the counting tick and the
// live readings stop reading at once. The backend object stays until the
// program ends, so the entry that ran is no longer marked as running, and
// "(none)" is what a refused change goes back to.
void ADSetupLogic::stopReadings() {
    m_adc.setReady(false);
    m_adc.setInterfaceName(NoneName);
    m_c.caption = CaptionStart + NoneName + u']';
    for (QString& name : m_c.interfaceNames) {
        if (name.endsWith(RunningMark))
            name.chop(RunningMark.size());
    }
    m_loadedIndex = m_c.interfaceIndex;
    Combo_Name_Click(m_c.interfaceIndex);
}

void ADSetupLogic::leaveChangeMode() {
    UpdateControls();
    m_c.interfaceEnabled = false;
    m_c.acceptEnabled = false;
    m_c.changeEnabled = true;
    m_c.okEnabled = true;
    m_c.calibratedEnabled = m_c.displayMode == ADSetupControls::Millivolts;
}

void ADSetupLogic::Combo_Range_Click(int index) {
    m_adc.setRange(m_adc.ADC_set_range(index));
    // The list shows the range in force, should the backend have kept another.
    m_c.rangeIndex = m_adc.range() >= 0 && m_adc.range() < m_c.ranges.size() ? m_adc.range() : -1;
}

void ADSetupLogic::Text_Averaging_Change(const QString& text) {
    m_adc.setAveraging(m_adc.ADC_set_averaging(averagingCount(text)));
    m_c.averaging = QString::number(m_adc.averaging());
}

void ADSetupLogic::Option_Input_mode_Click(int mode) {
    m_adc.setInputMode(m_adc.ADC_input_mode(mode));
    m_c.inputMode = m_adc.inputMode();
}

void ADSetupLogic::Option_Display_Click(int mode) {
    m_c.displayMode = mode;
    m_c.calibratedEnabled = mode == ADSetupControls::Millivolts;
}

void ADSetupLogic::Check_More_Click(bool checked) {
    m_c.moreChecked = checked;
    UpdateChannelNames();
}

void ADSetupLogic::Combo_AugerADChannel_Click(int index) {
    m_adc.setAugerChannel(index);
    m_c.augerIndex = index;
}

// Only what the user types (or restores) becomes a name: emptying a box for
// the display never erases the name of a channel.
void ADSetupLogic::Text_Label_Change(int row, const QString& text) {
    if (row < 0 || row >= Rows)
        return;
    const auto i = static_cast<size_t>(row);
    m_c.channelNames[i] = text;
    if (!m_c.moreChecked)
        m_adc.setChannelName(i, text);
}

// The default name is the caption without its access key: "&1: AD CH0"
// gives "AD CH0". Channels 9..16 have no names to restore.
void ADSetupLogic::Label_CH_DblClick(int row) {
    if (row < 0 || row >= Rows || m_c.moreChecked || !m_c.channelsEnabled)
        return;
    Text_Label_Change(row, m_c.channelCaptions[static_cast<size_t>(row)].mid(4));
}

void ADSetupLogic::Timer1_Timer() {
    if (!m_adc.ready()) {
        m_c.readings.fill(QString());
        m_c.timerOn = false;
        return;
    }
    const int32_t channels = m_adc.ADC_channels();
    m_adc.beginTick(-1);
    std::vector<float> values;
    const bool volts = m_c.displayMode == ADSetupControls::Millivolts ||
                       m_c.displayMode == ADSetupControls::Decimal;
    if (volts && !m_adc.ADC_read_all(values))
        values.clear();
    for (int row = 0; row < Rows; ++row) {
        const int32_t channel = row + (m_c.moreChecked ? MoreOffset : 0);
        m_c.readings[static_cast<size_t>(row)] =
            channel < channels ? readingText(channel, values) : QString();
    }
}

// A reading the converter did not give (the read failed) shows as no number.
QString ADSetupLogic::readingText(int32_t channel, const std::vector<float>& values) {
    const auto at = static_cast<size_t>(channel);
    const float volts = at < values.size() ? values[at] : std::numeric_limits<float>::quiet_NaN();
    switch (m_c.displayMode) {
    case ADSetupControls::Millivolts:
        return ReadingText::millivolts(volts, m_locale);
    case ADSetupControls::Hex:
        return ReadingText::hex(m_adc.ADC_get(channel));
    case ADSetupControls::Lsb:
        return ReadingText::lsb(m_adc.ADC_get(channel));
    case ADSetupControls::Decimal:
        return ReadingText::decimal(volts, m_locale);
    default:
        return QString();
    }
}

void ADSetupLogic::Form_Unload() {
    QString driverFile = m_adc.driverFile();
    m_adc.ADC_save_settings(driverFile);
}
