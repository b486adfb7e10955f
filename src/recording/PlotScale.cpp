#include "recording/PlotScale.h"

#include <algorithm>
#include <cmath>

namespace PlotScale {

std::vector<double> ticks(double min, double max, int most) {
    std::vector<double> values;
    if (!(max > min) || most < 2 || !std::isfinite(max - min))
        return values;
    const double rough = (max - min) / (most - 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power * 10;
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= rough) {
            step = factor * power;
            break;
        }
    }
    const double first = std::ceil(min / step - 1e-9);
    for (int i = 0; i < most + 1; ++i) {
        const double value = (first + i) * step;
        if (value > max + step * 1e-9)
            break;
        // Values near zero come out as -1e-17 from the multiplication.
        values.push_back(std::fabs(value) < step * 1e-9 ? 0.0 : value);
    }
    return values;
}

QString tickLabel(double value, double step) {
    const int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    if (std::fabs(value) >= 1e7 || (value != 0.0 && std::fabs(value) < 1e-4))
        return QString::number(value, 'g', 6);
    return QString::number(value, 'f', std::clamp(decimals, 0, 9));
}

std::vector<double> decades(double min, double max) {
    std::vector<double> values;
    if (!(min > 0.0) || !(max >= min) || !std::isfinite(max))
        return values;
    for (int power = static_cast<int>(std::ceil(std::log10(min) - 1e-9));
         power <= std::floor(std::log10(max) + 1e-9) && values.size() < 40; ++power)
        values.push_back(std::pow(10.0, power));
    return values;
}

QString cycleLabel(double cycles) {
    const double magnitude = std::fabs(cycles);
    if (magnitude < 1000)
        return QString::number(cycles, 'f', 0);
    const auto [unit, suffix] = magnitude < 1e6   ? std::pair(1e3, u'k')
                                : magnitude < 1e9 ? std::pair(1e6, u'M')
                                                  : std::pair(1e9, u'G');
    return QString::number(cycles / unit, 'g', 4) + suffix;
}

std::pair<int, int> pixelColumns(const PlotAxis& x, double from, double to) {
    const double left = x.toPixel(from);
    const double right = x.toPixel(to);
    const auto first = static_cast<int>(std::floor(std::clamp(left, -1e9, 1e9)));
    const auto last = static_cast<int>(std::ceil(std::clamp(right, -1e9, 1e9))) - 1;
    return {first, std::max(first, last)};
}

QRect plotArea(QSize size) {
    constexpr int Left = 84, Right = 84, Bottom = 56;
    const int width = std::max(size.width() - Left - Right, 2);
    // The legend is about 1250 pixels long and flows into as many rows of 18
    // pixels as the width needs, below title and settings.
    const int rows = std::clamp((1250 + width - 1) / width, 1, 6);
    const int top = 60 + 18 * rows + 18;
    const int height = std::max(size.height() - top - Bottom, 2);
    return {Left, top, width, height};
}

std::pair<double, double> paddedRange(double low, double high) {
    if (!(high > low))
        return {low - 1.0, high + 1.0};
    const double pad = (high - low) * 0.05;
    return {low - pad, high + pad};
}

std::pair<double, double> voltageRange(double low, double high, double threshold, double edge) {
    const auto [signalMin, signalMax] = paddedRange(low, high);
    for (const auto& [a, b] : {std::pair(threshold, edge), std::pair(threshold, threshold)}) {
        const double from = std::min({low, a, b});
        const double to = std::max({high, a, b});
        if (to - from <= 2.0 * (signalMax - signalMin))
            return paddedRange(from, to);
    }
    return {signalMin, signalMax};
}

} // namespace PlotScale
