// Test helper for the killed-save tests, which kill it at random moments:
// `save_loop settings PATH` loads the settings file, then counts one cycle and
// saves it; `save_loop chart PATH` saves the recorder data file with one more
// sample and mark each time (the sample's value is the save's number). Over
// and over, printing each number once its save has returned.
#include "counting/CountingEngine.h"
#include "counting/SettingsFile.h"
#include "platform/ProblemSink.h"
#include "platform/SettingsStore.h"
#include "recording/RecorderDataFile.h"
#include "recording/XtRecording.h"

#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[2]);
    ProblemRelay toStderr;
    SettingsStore store(path, toStderr);
    CountingState state;
    QString interfaceName;
    bool alwaysOnTop = false;
    const bool chart = std::strcmp(argv[1], "chart") == 0;
    if (!chart)
        store.load();
    SettingsFile::LoadSettings(store.file(), state, interfaceName, &alwaysOnTop);
    auto recording = std::make_unique<XtRecording>();
    for (int n = 1;; ++n) {
        CountingEngine::countExtremum(state);
        recording->addSample(n * 40, static_cast<float>(n));
        recording->addMark(n * 40, n);
        const bool saved = chart ? RecorderDataFile::save(path, *recording, toStderr)
                                 : store.save([&](ProfileFile& file) {
                                       SettingsFile::writeSettings(file, state, interfaceName,
                                                                   alwaysOnTop, QLocale::c());
                                   });
        if (!saved)
            return 1;
        std::printf("%d\n", chart ? n : state.CycleCount);
        std::fflush(stdout);
    }
}
