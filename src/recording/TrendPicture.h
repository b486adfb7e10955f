#pragma once
// The trend of a test from its cycle log: peak, valley and amplitude against
// cycles (a logarithmic cycle axis unless linear is asked for), the reference
// with its band, the amplitude limit and N_f, a title with the test and the
// failure criterion, and a legend. Where the log holds more cycles than the
// picture has pixel columns, each column is drawn as its minimum and maximum,
// so a million rows cost one pass. Paints on any paint device (an image, an
// SVG generator, a widget).
#include <QRect>
#include <QSize>

class CycleLogReader;
class QPainter;

namespace TrendColors {
constexpr unsigned Peak = 0xffd01c1c;
constexpr unsigned Valley = 0xff1f5ab4;
constexpr unsigned Amplitude = 0xff1b8a3c;
constexpr unsigned Failure = 0xffc00000;
} // namespace TrendColors

class TrendPicture {
public:
    // `log` is read when painting; it must outlive the picture.
    explicit TrendPicture(const CycleLogReader& log) : m_log(log) {}

    void setLogarithmic(bool on) { m_logarithmic = on; }
    void paint(QPainter& painter, QSize size) const;

    // Where the curves go in a picture of `size`.
    static QRect plotArea(QSize size);

private:
    const CycleLogReader& m_log;
    bool m_logarithmic = true;
};
