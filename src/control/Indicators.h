#pragma once

#include <QString>

// How the window shows a channel. Colours are 0x00BBGGRR values.
namespace Indicators {
constexpr quint32 kLampOn = 255; // red
constexpr quint32 kLampOff = 65280; // green
constexpr quint32 kLampCreated = 49152; // darker green, only until the load step
constexpr quint32 kAutoLamp = 16711680; // blue, shown while a channel is automatic

// The caption names what the next press does: "S" switches on, "V" switches off.
inline QString switchCaption(bool on)
{
    return on ? QStringLiteral("V") : QStringLiteral("S");
}
inline quint32 lampColour(bool on)
{
    return on ? kLampOn : kLampOff;
}
} // namespace Indicators
