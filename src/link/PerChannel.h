// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <array>

constexpr int kChannelCount = 8;

// One value per relay channel, addressed by the channel number 1 to 8 as the board and the
// window count them.
template<typename T> class PerChannel
{
public:
    T &operator[](int channel)
    {
        Q_ASSERT(channel >= 1 && channel <= kChannelCount);
        return m_values[channel - 1];
    }
    const T &operator[](int channel) const
    {
        Q_ASSERT(channel >= 1 && channel <= kChannelCount);
        return m_values[channel - 1];
    }
    void fill(const T &value) { m_values.fill(value); }
    bool operator==(const PerChannel &other) const { return m_values == other.m_values; }
    bool operator!=(const PerChannel &other) const { return m_values != other.m_values; }

private:
    std::array<T, kChannelCount> m_values {};
};

using RelayStates = PerChannel<bool>;
