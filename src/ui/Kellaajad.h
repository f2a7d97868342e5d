#pragma once

#include "ScheduleConfirmation.h"

#include <QDialog>

#include <array>

class Module1;
class Port;
class QComboBox;
class QTimeEdit;

// The schedule and port dialog: the sixteen switching times and the serial port, read from the
// store and the port when it is built and written back when the user confirms. Built anew for
// every showing.
class Kellaajad : public QDialog
{
    Q_OBJECT

public:
    explicit Kellaajad(Module1 &store, Port &port, QWidget *parent = nullptr);

    static const QString kActivationFailed;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void load(const Module1 &store, const Port &port);
    void confirm();

    ScheduleConfirmation m_confirmation;
    std::array<QTimeEdit *, 8> m_switchOn {};
    std::array<QTimeEdit *, 8> m_switchOff {};
    QComboBox *m_portCombo = nullptr;
};
