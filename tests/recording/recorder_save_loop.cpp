// Test helper: saves the recorder data file named on the command line over
// and over, one more sample each time (its value is the number of the save),
// printing each number once its save has returned. The killed-save test
// kills it at random moments.
#include "platform/ProblemSink.h"
#include "recording/RecorderDataFile.h"
#include "recording/XtRecording.h"

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    ProblemRelay prompts;
    auto recording = std::make_unique<XtRecording>();
    for (int n = 1;; ++n) {
        recording->addSample(n * 40, static_cast<float>(n));
        recording->addMark(n * 40, n);
        if (!RecorderDataFile::save(path, *recording, prompts))
            return 1;
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
}
