#include "RoundedBox.h"

#include <QPainter>
#include <QPainterPath>

RoundedBox::RoundedBox(int radius, Fill fill, QWidget* parent)
    : QWidget(parent)
    , m_radius(radius)
    , m_fill(fill)
{
}

void RoundedBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    // The secondary text colour at a tenth of its strength: a light tint in a light palette and a
    // slightly lifted surface in a dark one.
    QColor tint = palette().color(QPalette::WindowText);
    tint.setAlphaF(0.07f);
    switch (m_fill) {
    case Fill::secondary:
        painter.setPen(Qt::NoPen);
        painter.setBrush(tint);
        break;
    case Fill::window:
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Base));
        break;
    case Fill::outline: {
        QColor line = palette().color(QPalette::WindowText);
        line.setAlphaF(0.18f);
        painter.setPen(QPen(line, 1));
        painter.setBrush(tint);
        break;
    }
    }
    painter.drawRoundedRect(box, m_radius, m_radius);
}
