#include "ui/ActivityLine.h"

#include <QPainter>

#include <algorithm>

ActivityLine::ActivityLine(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Painting its own background spares the frame around it a repaint at
    // every step.
    setAutoFillBackground(true);
}

void ActivityLine::moveLine(int x1, int x2) {
    if (x1 == m_x1 && x2 == m_x2)
        return;
    m_x1 = x1;
    m_x2 = x2;
    update();
}

void ActivityLine::setServed(bool served) {
    if (served == m_served)
        return;
    m_served = served;
    update();
}

QColor ActivityLine::colour() const {
    return m_served ? QColor(Qt::green) : QColor(Qt::red);
}

QSize ActivityLine::sizeHint() const {
    const int height = fontMetrics().height() / 2;
    return {fontMetrics().averageCharWidth() * 12, height < 4 ? 4 : height};
}

// A bar half the widget's height: a plain fill, the cheapest thing to paint
// several times a second.
void ActivityLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const qreal scale = static_cast<qreal>(width()) / Units;
    const int thickness = std::max(height() / 2, 1);
    const int left = qRound(m_x1 * scale);
    const int right = qRound(m_x2 * scale);
    painter.fillRect(QRect(left, (height() - thickness) / 2, std::max(right - left, 1), thickness),
                     colour());
}
