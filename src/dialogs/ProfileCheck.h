#pragma once
// The check of the trigger profile dialog, free of widgets: it reads the texts
// of the rows and says which profile they give, or from which row on they are
// invalid. It stores nothing; the dialog applies a profile only when the whole
// check passed, so a refused profile never leaves the counter half-changed.
#include "counting/CountingState.h"

#include <QString>
#include <array>
#include <cstdint>

// The texts of the seven profile lines as typed.
struct ProfileTexts {
    static constexpr int32_t Rows = 6; // rows with a "Below Stress Cycle" bound
    std::array<QString, Rows> to;      // Text_to(0..5): BelowCycle
    std::array<QString, Rows + 1> N;   // Text_N(0..6): Every; 6 is the fallback
};

struct ProfileCheck {
    bool ok = false;
    // Rows 0 .. rows-1 passed. On a failure this is the first row that failed,
    // or the end of the rows when only the fallback failed.
    int32_t rows = 0;
    std::array<ProfileRow, ProfileTexts::Rows> profile{}; // rows 0 .. rows-1
    int32_t fallback = 0;                                 // TriggerProfile[6].Every when ok
};

// The rows end at the first empty bound. A row is valid when its bound is above
// the previous one (the first above 0) and its interval is given and at least
// 1; the fallback interval must be given and at least 1. Numbers are read with
// a decimal point only and rounded halves to even.
ProfileCheck CheckProfiles(const ProfileTexts& texts);
