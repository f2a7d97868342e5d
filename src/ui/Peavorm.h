#pragma once

#include "ChannelControl.h"
#include "ChannelView.h"
#include "Module1.h"
#include "RelayBoard.h"
#include "ScheduleClock.h"

#include <QWidget>

#include <array>
#include <memory>

class Lamp;
class QLabel;
class QPushButton;
class Port;

// The main window: eight channel panels, the command buttons and the status line. It binds the
// buttons to the channel commands and shows what they report; the decisions are theirs.
class Peavorm : public QWidget, public ChannelView
{
    Q_OBJECT

public:
    explicit Peavorm(Port &port, ScheduleClock::Clock now = &QDateTime::currentDateTime,
        QWidget *parent = nullptr);
    ~Peavorm() override;

    // The switching times and the serial component, which the schedule dialog edits.
    Module1 &module1() { return m_module1; }
    const Module1 &module1() const { return m_module1; }
    Port &port() const { return m_board.port(); }

    void setSwitchCaption(int channel, const QString &caption) override;
    void setStateLampColour(int channel, quint32 colour) override;
    void setAutoLampLit(int channel, bool lit) override;
    void setClock(const QString &time, const QString &date) override;
    void setPortNumber(quint16 port) override;
    void showSchedule() override;
    void showRefusal(const QString &text) override;

    // Quits: unloads the window, which ends the program. Nothing is written to the board.
    void CloseMain();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void bindCommands();

    RelayBoard m_board;
    Module1 m_module1;
    ChannelControl m_channels;
    std::unique_ptr<ScheduleClock> m_scheduleClock;

    std::array<QPushButton *, 8> m_switchButtons {};
    std::array<QPushButton *, 8> m_autoButtons {};
    std::array<Lamp *, 8> m_stateLamps {};
    std::array<Lamp *, 8> m_autoLamps {};
    QPushButton *m_comOff = nullptr;
    QPushButton *m_comLisad = nullptr;
    QPushButton *m_comLopp = nullptr;
    QLabel *m_kell = nullptr;
    QLabel *m_kuupaev = nullptr;
    QLabel *m_portLabel = nullptr;
};
