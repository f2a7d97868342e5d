// SPDX-License-Identifier: MIT
#pragma once

#include "LinkError.h"
#include "PerChannel.h"

#include <QDialog>

class QComboBox;
class ScheduleConfirmation;
class TimePicker;

// The schedule and port dialog: the sixteen switching times and the serial port, read from the
// store and the port when it is built and written back when the user confirms. Built anew for
// every showing.
class Kellaajad : public QDialog
{
    Q_OBJECT

public:
    explicit Kellaajad(ScheduleConfirmation &confirmation, QWidget *parent = nullptr);
    ~Kellaajad() override;

    void done(int result) override;

private:
    void buildControls();
    void load();
    void confirm();
    void confirmed(const LinkError &error);

    ScheduleConfirmation &m_confirmation;
    PerChannel<TimePicker *> m_switchOn;
    PerChannel<TimePicker *> m_switchOff;
    QComboBox *m_portCombo = nullptr;
};
