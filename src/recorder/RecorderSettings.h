#pragma once
// The recorder window's keys in section "Recorder" of the settings file:
// "Left", "Top" and "Height" in twips (15 per pixel; -1 where nothing was
// saved yet) and the two chosen scales. Indices outside their menus are
// replaced when read, so the window always starts with a valid scale.
#include <QLocale>
#include <cstdint>

class ProfileFile;
class ProfileReader;

struct RecorderSettings {
    static constexpr const char* Section = "Recorder";

    float Left = -1.0f;   // twips; negative: flush with the right edge of the screen
    float Top = -1.0f;    // twips; negative: top of the screen
    float Height = -1.0f; // twips; 0 or less: as tall as the screen
    int16_t TimeScaleIndex = 3;
    int16_t XScaleIndex = 0;

    static RecorderSettings read(const ProfileReader& file);
    // Sets the keys in `file` (the caller saves it): positions as single
    // text in the locale's notation, indices as integers.
    void write(ProfileFile& file, const QLocale& locale = QLocale::system()) const;
};
