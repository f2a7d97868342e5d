#pragma once

#include "PerChannel.h"

#include <QDialog>

class QComboBox;
class QTimeEdit;
class ScheduleConfirmation;

// The schedule and port dialog: the sixteen switching times and the serial port, read from the
// store and the port when it is built and written back when the user confirms. Built anew for
// every showing.
class Kellaajad : public QDialog
{
    Q_OBJECT

public:
    explicit Kellaajad(ScheduleConfirmation &confirmation, QWidget *parent = nullptr);

    static const QString kActivationFailed;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void load();
    void confirm();

    ScheduleConfirmation &m_confirmation;
    PerChannel<QTimeEdit *> m_switchOn;
    PerChannel<QTimeEdit *> m_switchOff;
    QComboBox *m_portCombo = nullptr;
};
