// SPDX-License-Identifier: MIT
#include "Lamp.h"

#include "DesignUnits.h"

#include <QAccessibleWidget>
#include <QPainter>

namespace {
// A lamp is read like a label: its accessible name says what it shows. As a plain widget it
// would be exposed as a filler, a role that screen readers take for layout and do not read.
QAccessibleInterface *accessibleLamp(const QString &className, QObject *object)
{
    if (className != QLatin1String("Lamp") || !object->isWidgetType())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::StaticText);
}
} // namespace

Lamp::Lamp(QWidget *parent)
    : QWidget(parent)
{
    static const bool readable = (QAccessible::installFactory(accessibleLamp), true);
    Q_UNUSED(readable);
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
