#include "ChannelControl.h"

#include "ChannelView.h"
#include "Indicators.h"
#include "Module1.h"
#include "Port.h"

const QString ChannelControl::kRefusal = QStringLiteral(
    "Automaatreziimi siirdumiseks peavad sisse- ja väljalülitumisajad olema defineeritud. "
    "Jätkan käsitsijuhtimisel!");

ChannelControl::ChannelControl(RelayBoard &board, Module1 &store, ChannelView &view)
    : m_board(board)
    , m_store(store)
    , m_view(view)
{ }

void ChannelControl::setRelayState(int channel, int state)
{
    m_relayState[channel - 1] = state;
    m_view.setSwitchCaption(channel, Indicators::switchCaption(state == 1));
    m_view.setStateLampColour(channel, Indicators::lampColour(state == 1));
}

void ChannelControl::setAutoMode(int channel, int mode)
{
    m_autoMode[channel - 1] = mode;
    m_view.setAutoLampLit(channel, mode != 0);
}

bool ChannelControl::WriteRelays()
{
    return m_board.WriteRelays(m_relayState);
}

void ChannelControl::load()
{
    allOff();
    m_store.clear();
    m_view.setPortNumber(m_board.port().portNumber());
}

void ChannelControl::manualSwitch(int channel)
{
    setAutoMode(channel, 0);
    setRelayState(channel, RelayState(channel) == 0 ? 1 : 0);
    WriteRelays();
}

void ChannelControl::toggleAutoMode(int channel)
{
    const auto undefined = [this, channel] {
        return Module1::isUndefined(m_store.SwitchOnTime(channel))
            || Module1::isUndefined(m_store.SwitchOffTime(channel));
    };
    if (undefined()) {
        m_view.showSchedule();
        // The dialog may have stored times, and the tick may have run while it was open.
        if (undefined()) {
            m_view.showRefusal(kRefusal);
            return;
        }
    }
    setAutoMode(channel, AutoMode(channel) == 0 ? 1 : 0);
}

void ChannelControl::allOff()
{
    const quint16 portBefore = m_board.port().portNumber();
    m_board.WriteAllOff([this](int channel) {
        m_autoMode[channel - 1] = 0;
        m_relayState[channel - 1] = 0;
        m_view.setAutoLampLit(channel, false);
    });
    for (int channel = 1; channel <= 8; ++channel)
        m_view.setStateLampColour(channel, Indicators::kLampOff);
    for (int channel = 1; channel <= 8; ++channel)
        m_view.setSwitchCaption(channel, Indicators::switchCaption(false));

    // After a fallback the frames go to the other port, so that is the one to show.
    if (m_board.port().portNumber() != portBefore)
        m_view.setPortNumber(m_board.port().portNumber());
}

void ChannelControl::settings()
{
    m_view.showSchedule();
}
