// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

// A rectangle lamp: a thin outline, filled with its back colour only while it is opaque. Its
// accessible name carries what its colour and fill say, for those who cannot see them.
class Lamp : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(quint32 backColour READ backColour WRITE setBackColour)
    Q_PROPERTY(bool opaque READ isOpaque WRITE setOpaque)

public:
    explicit Lamp(QWidget *parent = nullptr);

    // 0x00BBGGRR, as the indicators are given.
    quint32 backColour() const { return m_backColour; }
    void setBackColour(quint32 colour);
    bool isOpaque() const { return m_opaque; }
    void setOpaque(bool opaque);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    quint32 m_backColour = 0;
    bool m_opaque = false;
};
