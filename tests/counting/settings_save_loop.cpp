// Test helper: loads the settings file named on the command line, then counts
// one cycle and saves the file, over and over, printing each count once its
// save has returned. The killed-save test kills it at random moments.
#include "counting/CountingEngine.h"
#include "counting/SettingsFile.h"
#include "platform/ProblemSink.h"
#include "platform/SettingsStore.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    ProblemRelay toStderr;
    SettingsStore store(QString::fromLocal8Bit(argv[1]), toStderr);
    store.load();
    CountingState state;
    QString interfaceName;
    bool alwaysOnTop = false;
    SettingsFile::LoadSettings(store.file(), state, interfaceName, &alwaysOnTop);
    for (;;) {
        CountingEngine::countExtremum(state);
        const bool saved = store.save([&](ProfileFile& file) {
            SettingsFile::writeSettings(file, state, interfaceName, alwaysOnTop, QLocale::c());
        });
        if (!saved)
            return 1;
        std::printf("%d\n", state.CycleCount);
        std::fflush(stdout);
    }
}
