#include "app/ActivityLine.h"

#include <QPainter>

ActivityLine::ActivityLine(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
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

void ActivityLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const qreal scale = static_cast<qreal>(width()) / Units;
    const qreal y = height() / 2.0;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour(), height() / 2.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(m_x1 * scale, y), QPointF(m_x2 * scale, y));
}
