#include "counting/SettingsFile.h"

#include "common/IniReaders.h"
#include "common/NumberText.h"
#include "platform/ProfileFile.h"

#include <algorithm>
#include <limits>

namespace {

const QString Hardware = QStringLiteral("HARDWARE");
const QString Counter = QStringLiteral("Cyclomarkator");
const QString Trigger = QStringLiteral("Trigger");
const QString Profile = QStringLiteral("Profile");

constexpr float DefaultHysteresis = 0.2f;

QString rowKey(int row, const char* suffix) {
    return QString::number(row) + QLatin1String(suffix);
}

// Older files store 6 for the minimum; any other value is the maximum.
TriggerOn loadSource(int32_t stored) {
    switch (stored) {
    case 2:
        return TriggerOn::RisingThroughThreshold;
    case 3:
        return TriggerOn::FallingThroughThreshold;
    case 1:
    case 6:
        return TriggerOn::MinVoltage;
    default:
        return TriggerOn::MaxVoltage;
    }
}

void loadCounter(const ProfileFile& file, CountingState& state, bool* alwaysOnTop) {
    const int32_t onTop = ReadIniLong(file, Counter, QStringLiteral("AlwaysOnTop"), 0);
    if (alwaysOnTop)
        *alwaysOnTop = onTop != 0;
    state.CycleCount = std::max(ReadIniLong(file, Counter, QStringLiteral("Value"), 0), 0);
    // The minor count is checked against the extrema per cycle of the same
    // file, which stands after it, so it is checked once both are read.
    const int32_t minor = ReadIniLong(file, Counter, QStringLiteral("Value2"), 0);
    state.ExtremaPerCycle =
        std::max(ReadIniLong(file, Counter, QStringLiteral("Periodizitaet"), 1), 1);
    state.MinorCount = (minor < 0 || minor >= state.ExtremaPerCycle) ? 0 : minor;
    // A value no choice stands for would count nothing at all; it counts maxima.
    state.CountMode = ReadIniLong(file, Counter, QStringLiteral("CountMode"), 0) == 1
                          ? CountedExtrema::Minima
                          : CountedExtrema::Maxima;
}

void loadTrigger(const ProfileFile& file, CountingState& state) {
    state.TriggerEnabled = ReadIniLong(file, Trigger, QStringLiteral("Enabled"), 1) != 0;
    state.TriggerSource = loadSource(ReadIniLong(file, Trigger, QStringLiteral("Source"), 0));
    // A negative channel, hysteresis or delay comes only from a damaged file
    // (the dialogs refuse them); each would make the program misbehave.
    state.ADChannel = std::max(ReadIniLong(file, Trigger, QStringLiteral("ADchannel"), 0), 0);
    state.Threshold = ReadIniSingle(file, Trigger, QStringLiteral("ADthreshold"), 0.0f);
    state.Hysteresis = ReadIniSingle(file, Trigger, QStringLiteral("Hysterese"), DefaultHysteresis);
    if (state.Hysteresis < 0.0f)
        state.Hysteresis = DefaultHysteresis;
    state.TriggerDelayMs = std::max(file.readInt(Trigger, QStringLiteral("TrigDelay"), 0), 0);
    const int32_t next = ReadIniLong(file, Trigger, QStringLiteral("TrigCount"), state.CycleCount);
    const bool atLimit = state.CycleCount == std::numeric_limits<int32_t>::max();
    state.NextTriggerCount =
        next > state.CycleCount ? next : (atLimit ? state.CycleCount : state.CycleCount + 1);
    const int32_t events = file.readInt(Trigger, QStringLiteral("Events"), 0);
    state.ExtraEvents = (events < 0 || events > 2) ? 0 : events;
}

void loadProfile(const ProfileFile& file, CountingState& state) {
    state.ProfileRows = std::clamp(file.readInt(Profile, QStringLiteral("Profiles"), 0), 0, 6);
    for (int i = 0; i < state.ProfileRows; ++i) {
        state.TriggerProfile[i].BelowCycle = ReadIniLong(file, Profile, rowKey(i, "To"), 0);
        state.TriggerProfile[i].Every = ReadIniLong(file, Profile, rowKey(i, "N"), 1);
    }
    state.TriggerProfile[6].Every = ReadIniLong(file, Profile, QStringLiteral("6N"), 1);
}

} // namespace

void SettingsFile::LoadSettings(const ProfileFile& file, CountingState& state,
                                QString& interfaceName, bool* alwaysOnTop) {
    interfaceName = ReadIniString(file, Hardware, QStringLiteral("A/D-Converter"), QString());
    loadCounter(file, state, alwaysOnTop);
    loadTrigger(file, state);
    loadProfile(file, state);
}

void SettingsFile::writeSettings(ProfileFile& file, const CountingState& state,
                                 const QString& interfaceName, bool alwaysOnTop,
                                 const QLocale& locale) {
    const auto number = [](int32_t value) { return QString::number(value); };
    const auto single = [&locale](float value) {
        return NumberText::shortestSingle(value, locale);
    };
    writeInterface(file, interfaceName);
    file.writeString(Counter, QStringLiteral("AlwaysOnTop"), number(alwaysOnTop ? -1 : 0));
    file.writeString(Counter, QStringLiteral("Value"), number(state.CycleCount));
    file.writeString(Counter, QStringLiteral("Value2"), number(state.MinorCount));
    file.writeString(Counter, QStringLiteral("Periodizitaet"), number(state.ExtremaPerCycle));
    file.writeString(Counter, QStringLiteral("CountMode"),
                     number(static_cast<int32_t>(state.CountMode)));
    file.writeString(Trigger, QStringLiteral("Enabled"), number(state.TriggerEnabled ? 1 : 0));
    file.writeString(Trigger, QStringLiteral("Source"),
                     number(static_cast<int32_t>(state.TriggerSource)));
    file.writeString(Trigger, QStringLiteral("ADchannel"), number(state.ADChannel));
    file.writeString(Trigger, QStringLiteral("ADthreshold"), single(state.Threshold));
    file.writeString(Trigger, QStringLiteral("Hysterese"), single(state.Hysteresis));
    file.writeString(Trigger, QStringLiteral("TrigDelay"), number(state.TriggerDelayMs));
    file.writeString(Trigger, QStringLiteral("TrigCount"), number(state.NextTriggerCount));
    file.writeString(Trigger, QStringLiteral("Events"), number(state.ExtraEvents));
    const int rows = std::clamp(state.ProfileRows, 0, 6);
    file.writeString(Profile, QStringLiteral("Profiles"), number(state.ProfileRows));
    for (int i = 0; i < rows; ++i) {
        file.writeString(Profile, rowKey(i, "To"), number(state.TriggerProfile[i].BelowCycle));
        file.writeString(Profile, rowKey(i, "N"), number(state.TriggerProfile[i].Every));
    }
    file.writeString(Profile, QStringLiteral("6N"), number(state.TriggerProfile[6].Every));
}

void SettingsFile::writeInterface(ProfileFile& file, const QString& interfaceName) {
    file.writeString(Hardware, QStringLiteral("A/D-Converter"), interfaceName);
}

QString SettingsFile::readDevice(const ProfileFile& file) {
    return ReadIniString(file, Hardware, QStringLiteral("Device"), QString());
}

void SettingsFile::writeDevice(ProfileFile& file, const QString& address) {
    if (!address.isEmpty() || file.rawValue(Hardware, QStringLiteral("Device")))
        file.writeString(Hardware, QStringLiteral("Device"), address);
}
