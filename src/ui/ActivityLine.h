#pragma once
// `Line_Timer`: a short line that steps along at every counting tick, so that
// a glance from across the lab tells whether the counting is alive. It is red,
// and green while the A/D exchange file is served. Positions come in the
// counting core's units (0 .. Units) and are stretched over the widget's width.
#include <QColor>
#include <QWidget>

class ActivityLine final : public QWidget {
    Q_OBJECT
public:
    static constexpr int Units = 152;

    explicit ActivityLine(QWidget* parent = nullptr);

    void moveLine(int x1, int x2);
    void setServed(bool served);
    int x1() const { return m_x1; }
    int x2() const { return m_x2; }
    QColor colour() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_x1 = 0;
    int m_x2 = 0;
    bool m_served = false;
};
