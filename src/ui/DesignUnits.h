// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>

// The units the windows are designed in: positions in twips, colours as 0x00BBGGRR values, and
// fonts in the faces and sizes of the design.
namespace DesignUnits {
constexpr int kTwipsPerPixel = 15;

// At 96 dots per inch; Qt scales device-independent pixels for high-DPI screens.
constexpr int pixels(int twips)
{
    return twips / kTwipsPerPixel;
}

constexpr QRect pixels(const QRect &twips)
{
    return QRect(
        pixels(twips.left()), pixels(twips.top()), pixels(twips.width()), pixels(twips.height()));
}

inline QColor colour(quint32 bgr)
{
    return QColor(int(bgr & 0xff), int(bgr >> 8 & 0xff), int(bgr >> 16 & 0xff));
}

// Where the face is missing, fontconfig picks a sans-serif one that keeps bold and underline.
inline QFont font(const QString &family, bool bold = false, bool underline = false)
{
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}
} // namespace DesignUnits
