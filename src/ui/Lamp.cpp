#include "Lamp.h"

#include "DesignUnits.h"

#include <QPainter>

Lamp::Lamp(QWidget *parent)
    : QWidget(parent)
{
    // A hollow lamp shows its panel through, so it must not fill its own background.
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
}

void Lamp::setBackColour(quint32 colour)
{
    if (colour == m_backColour)
        return;
    m_backColour = colour;
    update();
}

void Lamp::setOpaque(bool opaque)
{
    if (opaque == m_opaque)
        return;
    m_opaque = opaque;
    update();
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_opaque)
        painter.fillRect(rect(), DesignUnits::colour(m_backColour));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
