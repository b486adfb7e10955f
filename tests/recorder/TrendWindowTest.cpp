// The "Trend" window over real cycle logs: it follows the file the core
// names, catches up on a long log a piece at a time, and draws the curves it
// read (that it reads only while shown, the main window's tests show).
#include "recorder/Form_Trend.h"
#include "recording/CycleLogFile.h"
#include "recording/TrendPicture.h"
#include "support/ProblemLog.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

namespace {

// A log of cycles 1..cycles, every one of them written.
void writeLog(const QString& path, int32_t cycles) {
    ProblemLog problems;
    CycleLogFile log(problems, CycleLogSchedule());
    log.schedule().setEveryCycle(true);
    QString error;
    ASSERT_TRUE(log.createAt(path, 1'700'000'000'000, {"test: rig 1"}, error))
        << error.toStdString();
    for (int32_t k = 1; k <= cycles; ++k) {
        const float a = 1.0f + 0.1f * std::sin(k * 0.01f);
        log.cycle({k, k * 0.1, a, -a, 0.0f, a, 40, true});
        if (k % 5000 == 0)
            log.flush(k * 0.1);
    }
    ASSERT_TRUE(log.close());
}

bool drawnIn(const QImage& image, unsigned colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour)
                return true;
    return false;
}

TEST(TrendWindow, FollowsTheNamedLogAndCatchesUpInPieces) {
    QTemporaryDir dir;
    QString named;
    Form_Trend window([&named] { return named; });
    window.show();
    EXPECT_EQ(window.log(), nullptr);
    EXPECT_TRUE(window.noteText().startsWith("No cycle log yet"));

    named = dir.filePath("first.csv");
    writeLog(named, 300);
    window.Timer_Trend_Timer();
    ASSERT_NE(window.log(), nullptr);
    EXPECT_EQ(window.log()->rows().size(), 300u);
    EXPECT_EQ(window.lookIntervalMs(), Form_Trend::RefreshMs);
    const QImage drawn = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(drawnIn(drawn, TrendColors::Peak) && drawnIn(drawn, TrendColors::Amplitude));

    // A reset started another file, longer than one look takes.
    named = dir.filePath("second.csv");
    writeLog(named, 60000);
    window.Timer_Trend_Timer();
    const std::size_t firstLook = window.log()->rows().size();
    EXPECT_GT(firstLook, 0u);
    EXPECT_LT(firstLook, 60000u);
    EXPECT_EQ(window.lookIntervalMs(), Form_Trend::CatchUpMs);
    EXPECT_TRUE(window.noteText().endsWith("reading...")) << window.noteText().toStdString();
    for (int look = 0; look < 10 && window.log()->behindBytes() > 0; ++look)
        window.Timer_Trend_Timer();
    EXPECT_EQ(window.log()->rows().size(), 60000u);
    EXPECT_EQ(window.lookIntervalMs(), Form_Trend::RefreshMs);
}

} // namespace
