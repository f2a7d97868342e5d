#pragma once

#include <QColor>
#include <QRect>

// The units the windows are designed in: positions in twips and colours as 0x00BBGGRR values.
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
} // namespace DesignUnits
