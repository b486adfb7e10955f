#pragma once
// The columns of the picture report, filled in one pass with the counting:
// per column the smallest, largest, first and last sample, so that no sample
// is lost to thinning (a spike of one sample in ten million stays visible),
// and the counted extrema, count changes and triggers that fall in it. Memory
// is fixed by the number of columns: a history of unknown length (standard
// input, compressed files) that outgrows them merges neighbouring columns, and
// each column then covers twice the stretch. Positions are seconds.
#include <cstddef>
#include <cstdint>
#include <vector>

class PlotColumns {
public:
    struct Column {
        int64_t samples = 0;
        float min = 0.0f;
        float max = 0.0f;
        float first = 0.0f;
        float last = 0.0f;
        int32_t extrema = 0;  // counted extrema
        float extreme = 0.0f; // the most extreme of them
        int32_t triggers = 0;
        int32_t firstTrigger = 0; // cycle numbers of the first and last trigger
        int32_t lastTrigger = 0;
        int32_t cycle = -1; // cycle count after the column's last count change
    };

    // `capacity` >= 2 columns; `maxima`: counted extrema are maxima (the
    // largest one of a column is its mark), else minima.
    PlotColumns(int capacity, bool maxima);

    // A fixed stretch [from, to): no merging; callers add only what lies in it.
    void setRange(double from, double to);

    // Samples in the order of the history: positions never decrease.
    void addSample(double x, float value) {
        if (Column* column = columnFor(x))
            take(*column, value);
    }
    void addSamples(double x0, double dx, const float* values, size_t count);
    void addSamples(const double* xs, const float* values, size_t count);
    void addExtremum(double x, float value);
    void addCount(double x, int32_t cycle);
    void addTrigger(double x, int32_t cycle);

    bool empty() const { return m_used == 0; }
    int used() const { return m_used; }
    double origin() const { return m_origin; }
    double span() const { return m_span; }
    const Column& at(int i) const { return m_columns[static_cast<size_t>(i)]; }

private:
    static void take(Column& column, float value) {
        if (column.samples++ == 0) {
            column.min = column.max = column.first = value;
        } else {
            column.min = value < column.min ? value : column.min;
            column.max = value > column.max ? value : column.max;
        }
        column.last = value;
    }
    Column* columnFor(double x);
    void mergePairs();
    static void absorb(Column& into, const Column& from, bool maxima);

    std::vector<Column> m_columns;
    bool m_maxima;
    bool m_started = false;
    bool m_fixed = false;
    double m_origin = 0.0;
    double m_span = 0.0; // 0 until a second position gives the first interval
    double m_inverseSpan = 0.0;
    int m_used = 0;
};
