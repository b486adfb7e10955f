#include "PlotColumns.h"

#include <algorithm>
#include <cmath>

PlotColumns::PlotColumns(int capacity, bool maxima)
    : m_columns(static_cast<size_t>(std::max(capacity, 2))), m_maxima(maxima) {}

void PlotColumns::setRange(double from, double to) {
    m_started = m_fixed = true;
    m_origin = from;
    m_span = to > from ? (to - from) / static_cast<double>(m_columns.size()) : 1.0;
    m_inverseSpan = 1.0 / m_span;
}

// The column of position `x`, merging columns until it fits; null for a
// position before the origin or past a fixed range.
PlotColumns::Column* PlotColumns::columnFor(double x) {
    if (!m_started) {
        m_started = true;
        m_origin = x;
    }
    if (m_span == 0.0) {
        if (x <= m_origin) {
            m_used = std::max(m_used, 1);
            return &m_columns[0];
        }
        // The first interval of the history: one sample a column to begin with.
        m_span = x - m_origin;
        m_inverseSpan = 1.0 / m_span;
    }
    double index = std::floor((x - m_origin) * m_inverseSpan);
    if (!(index >= 0.0))
        return nullptr;
    const auto capacity = static_cast<double>(m_columns.size());
    if (index >= capacity) {
        if (m_fixed)
            return nullptr;
        // Bounded: each merge doubles the span, and doubles have ~2000 binades.
        for (int merges = 0; index >= capacity && merges < 4096; ++merges) {
            mergePairs();
            index = std::floor((x - m_origin) * m_inverseSpan);
        }
        if (index >= capacity)
            return nullptr;
    }
    const int i = static_cast<int>(index);
    m_used = std::max(m_used, i + 1);
    return &m_columns[static_cast<size_t>(i)];
}

void PlotColumns::mergePairs() {
    const int pairs = (m_used + 1) / 2;
    for (int i = 0; i < pairs; ++i) {
        Column merged = m_columns[static_cast<size_t>(2 * i)];
        if (2 * i + 1 < m_used)
            absorb(merged, m_columns[static_cast<size_t>(2 * i + 1)], m_maxima);
        m_columns[static_cast<size_t>(i)] = merged;
    }
    std::fill(m_columns.begin() + pairs, m_columns.end(), Column{});
    m_used = pairs;
    m_span *= 2.0;
    m_inverseSpan = 1.0 / m_span;
}

// `from` follows `into` in the history.
void PlotColumns::absorb(Column& into, const Column& from, bool maxima) {
    if (from.samples > 0) {
        if (into.samples == 0) {
            into.min = from.min;
            into.max = from.max;
            into.first = from.first;
        } else {
            into.min = std::min(into.min, from.min);
            into.max = std::max(into.max, from.max);
        }
        into.last = from.last;
        into.samples += from.samples;
    }
    if (from.extrema > 0) {
        const bool beyond = maxima ? from.extreme > into.extreme : from.extreme < into.extreme;
        if (into.extrema == 0 || beyond)
            into.extreme = from.extreme;
        into.extrema += from.extrema;
    }
    if (from.triggers > 0) {
        if (into.triggers == 0)
            into.firstTrigger = from.firstTrigger;
        into.lastTrigger = from.lastTrigger;
        into.triggers += from.triggers;
    }
    if (from.cycle >= 0)
        into.cycle = from.cycle;
}

// Evenly spaced samples go in runs, one run a column: the column is looked up
// once, and the run's minimum and maximum come from a loop the compiler
// vectorises.
void PlotColumns::addSamples(double x0, double dx, const float* values, size_t count) {
    size_t i = 0;
    while (i < count) {
        Column* column = columnFor(x0 + static_cast<double>(i) * dx);
        if (!column || !(dx > 0.0)) {
            if (column)
                take(*column, values[i]);
            ++i;
            continue;
        }
        // The first sample at or past the column's end.
        const auto next = static_cast<double>(column - m_columns.data() + 1);
        const double stop = std::ceil((m_origin + next * m_span - x0) / dx);
        size_t end = count;
        if (stop < static_cast<double>(count))
            end = stop > static_cast<double>(i) ? static_cast<size_t>(stop) : i + 1;
        float low = values[i];
        float high = values[i];
        for (size_t k = i + 1; k < end; ++k) {
            low = values[k] < low ? values[k] : low;
            high = values[k] > high ? values[k] : high;
        }
        if (column->samples == 0) {
            column->min = low;
            column->max = high;
            column->first = values[i];
        } else {
            column->min = std::min(column->min, low);
            column->max = std::max(column->max, high);
        }
        column->last = values[end - 1];
        column->samples += static_cast<int64_t>(end - i);
        i = end;
    }
}

void PlotColumns::addSamples(const double* xs, const float* values, size_t count) {
    for (size_t i = 0; i < count; ++i)
        addSample(xs[i], values[i]);
}

void PlotColumns::addExtremum(double x, float value) {
    Column* column = columnFor(x);
    if (!column)
        return;
    Column mark;
    mark.extrema = 1;
    mark.extreme = value;
    absorb(*column, mark, m_maxima);
}

void PlotColumns::addCount(double x, int32_t cycle) {
    if (Column* column = columnFor(x))
        column->cycle = cycle;
}

void PlotColumns::addTrigger(double x, int32_t cycle) {
    Column* column = columnFor(x);
    if (!column)
        return;
    Column mark;
    mark.triggers = 1;
    mark.firstTrigger = mark.lastTrigger = cycle;
    absorb(*column, mark, m_maxima);
}
