// Test helper: loads the settings file named on the command line, then counts
// one cycle and saves the file, over and over, printing each count once its
// save has returned. The killed-save test kills it at random moments.
#include "counting/CountingEngine.h"
#include "counting/SettingsFile.h"
#include "platform/ProfileFile.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    ProfileFile file(path);
    file.load();
    CountingState state;
    QString interfaceName;
    int32_t alwaysOnTop = 0;
    SettingsFile::LoadSettings(file, state, interfaceName, &alwaysOnTop);
    for (;;) {
        CountingEngine::countExtremum(state);
        if (!SettingsFile::SaveSettings(path, state, interfaceName, alwaysOnTop, QLocale::c()))
            return 1;
        std::printf("%d\n", state.CycleCount);
        std::fflush(stdout);
    }
}
