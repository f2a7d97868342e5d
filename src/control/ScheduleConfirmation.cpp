// SPDX-License-Identifier: MIT
#include "ScheduleConfirmation.h"

#include "ChannelControl.h"

ScheduleConfirmation::ScheduleConfirmation(ChannelControl &channels)
    : m_channels(channels)
{
    connect(&m_channels, &ChannelControl::portChangeFinished, this,
        &ScheduleConfirmation::portChangeFinished);
}

const Module1 &ScheduleConfirmation::store() const
{
    return m_channels.store();
}

quint16 ScheduleConfirmation::portNumber() const
{
    return m_channels.portNumber();
}

QString ScheduleConfirmation::device(quint16 portNumber) const
{
    return m_channels.device(portNumber);
}

void ScheduleConfirmation::confirm(
    const PerChannel<QTime> &switchOn, const PerChannel<QTime> &switchOff, quint16 chosenPort)
{
    if (m_trial != 0)
        return;
    // The times do not depend on the port, so a port that fails does not take them back.
    m_channels.setAllTimes(switchOn, switchOff);
    // Until the trial has succeeded the frames keep going to the port in use, so no frame goes
    // to a port that is then rejected.
    m_trial = m_channels.changePort(chosenPort);
}

void ScheduleConfirmation::cancel()
{
    m_channels.cancelPortChange(m_trial);
    m_trial = 0;
}

void ScheduleConfirmation::portChangeFinished(quint64 trial, const LinkError &error)
{
    if (trial != m_trial)
        return;
    m_trial = 0;
    emit finished(error);
}
