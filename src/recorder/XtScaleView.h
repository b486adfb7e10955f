#pragma once
// Picture_XScale: the light-grey strip above the plot with the voltage labels
// at the negative full scale, zero and the positive full scale, each centred
// on its grid line.
#include "recorder/XtGeometry.h"

#include <QWidget>
#include <array>

class XtScaleView final : public QWidget {
    Q_OBJECT
public:
    static constexpr QRgb Background = 0xFFE0E0E0;

    explicit XtScaleView(QWidget* parent = nullptr);

    void setLabels(const std::array<XtGeometry::ScaleLabel, 3>& labels);
    const std::array<XtGeometry::ScaleLabel, 3>& labels() const { return m_labels; }

    // One text line and a pixel of air above and below.
    int stripHeight() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<XtGeometry::ScaleLabel, 3> m_labels;
};
