#include "dialogs/ProfileCheck.h"

#include "common/IniReaders.h"
#include "common/ParseNumber.h"

namespace {

int32_t readRounded(const QString& text) {
    return roundHalfEvenToInt32(parseLeadingNumber(text));
}

// An interval: given and at least 1, else 0.
int32_t readEvery(const QString& text) {
    if (text.isEmpty())
        return 0;
    const int32_t every = readRounded(text);
    return every >= 1 ? every : 0;
}

} // namespace

ProfileCheck CheckProfiles(const ProfileTexts& texts) {
    ProfileCheck check;
    int32_t previousBound = 0;
    for (; check.rows < ProfileTexts::Rows; ++check.rows) {
        const auto row = static_cast<size_t>(check.rows);
        if (texts.to[row].isEmpty())
            break;
        const int32_t bound = readRounded(texts.to[row]);
        const int32_t every = readEvery(texts.N[row]);
        if (bound <= previousBound || every == 0)
            return check;
        check.profile[row] = ProfileRow{bound, every};
        previousBound = bound;
    }
    check.fallback = readEvery(texts.N[ProfileTexts::Rows]);
    check.ok = check.fallback != 0;
    return check;
}
