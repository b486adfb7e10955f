#include "recorder/RecorderSettings.h"

#include "common/IniReaders.h"
#include "platform/ProfileFile.h"
#include "recorder/XtScales.h"

namespace {
// The shortest text that reads back as the same single, with the locale's
// decimal separator (ParseNumber takes a comma or a point).
QString singleText(float value, const QLocale& locale) {
    QString text = QString::number(static_cast<double>(value), 'g', QLocale::FloatingPointShortest);
    return text.replace(u'.', locale.decimalPoint());
}

int16_t scaleIndex(int32_t value, bool valid) {
    return valid ? static_cast<int16_t>(value) : XtScales::FallbackScaleIndex;
}
} // namespace

RecorderSettings RecorderSettings::read(const ProfileReader& file) {
    const QString section = QString::fromLatin1(Section);
    RecorderSettings settings;
    settings.Left = static_cast<float>(ReadIniLong(file, section, "Left", -1));
    settings.Top = static_cast<float>(ReadIniLong(file, section, "Top", -1));
    settings.Height = static_cast<float>(ReadIniLong(file, section, "Height", -1));
    const int32_t time =
        ReadIniLong(file, section, "TimeScaleIndex", XtScales::DefaultTimeScaleIndex);
    const int32_t x = ReadIniLong(file, section, "XScaleIndex", XtScales::DefaultXScaleIndex);
    settings.TimeScaleIndex = scaleIndex(time, XtScales::isTimeScaleIndex(time));
    settings.XScaleIndex = scaleIndex(x, XtScales::isXScaleIndex(x));
    return settings;
}

void RecorderSettings::write(ProfileFile& file, const QLocale& locale) const {
    const QString section = QString::fromLatin1(Section);
    file.writeString(section, "Left", singleText(Left, locale));
    file.writeString(section, "Top", singleText(Top, locale));
    file.writeString(section, "Height", singleText(Height, locale));
    file.writeString(section, "TimeScaleIndex", QString::number(TimeScaleIndex));
    file.writeString(section, "XScaleIndex", QString::number(XScaleIndex));
}
