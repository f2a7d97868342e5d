// SPDX-License-Identifier: MIT
#include "Peavorm.h"

#include "ChannelControl.h"
#include "CriticalMessage.h"
#include "DesignUnits.h"
#include "FailureText.h"
#include "FormBuilder.h"
#include "Kellaajad.h"
#include "Lamp.h"
#include "ScheduleClock.h"
#include "ScheduleConfirmation.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QPushButton>

// Resources of a static library have to be registered by name, outside any namespace.
static void initPictures()
{
    Q_INIT_RESOURCE(pictures);
}

namespace {
constexpr QRect kClientArea(0, 0, 5250, 2715);

// 0x00BBGGRR values.
constexpr quint32 kLampOn = 255; // red
constexpr quint32 kLampOff = 65280; // green
constexpr quint32 kLampCreated = 49152; // darker green, only until the load step
constexpr quint32 kBlue = 16711680; // the automatic-mode lamps and the status line

struct PanelRow
{
    const char *frame;
    const char *caption;
    QRect twips;
    int switchTab;
    int autoTab;
};

// Row n - 1 is channel n. The frames' names do not follow the channels; their captions do.
const PanelRow kPanels[] = {
    {"Frame2", QT_TRANSLATE_NOOP("Peavorm", "Relee 1"), {120, 120, 1455, 735}, 5, 4},
    {"Frame4", QT_TRANSLATE_NOOP("Peavorm", "Relee 2"), {1800, 120, 1455, 735}, 11, 10},
    {"Frame7", QT_TRANSLATE_NOOP("Peavorm", "Relee 3"), {3480, 120, 1455, 735}, 20, 19},
    {"Frame1", QT_TRANSLATE_NOOP("Peavorm", "Relee 4"), {120, 840, 1455, 735}, 1, 2},
    {"Frame5", QT_TRANSLATE_NOOP("Peavorm", "Relee 5"), {1800, 840, 1455, 735}, 14, 13},
    {"Frame8", QT_TRANSLATE_NOOP("Peavorm", "Relee 6"), {3480, 840, 1455, 735}, 23, 22},
    {"Frame3", QT_TRANSLATE_NOOP("Peavorm", "Relee 7"), {120, 1680, 1455, 735}, 8, 7},
    {"Frame6", QT_TRANSLATE_NOOP("Peavorm", "Relee 8"), {1800, 1680, 1455, 735}, 17, 16},
};

QIcon picture(const QString &file, const QString &smallFile = {})
{
    QIcon icon(file);
    if (!smallFile.isEmpty())
        icon.addFile(smallFile);
    return icon;
}

QString relayStateText(int channel, bool on)
{
    return (on ? Peavorm::tr("Relee %1: sees") : Peavorm::tr("Relee %1: väljas")).arg(channel);
}

QString autoModeText(int channel, bool automatic)
{
    return (automatic ? Peavorm::tr("Relee %1: automaatjuhtimine")
                      : Peavorm::tr("Relee %1: käsitsijuhtimine"))
        .arg(channel);
}

// Names what the next press does: "S" (sisse) switches on, "V" (välja) switches off.
QString switchCaption(bool on)
{
    //: What the next press does to the output; the button is as wide as two letters.
    return on ? Peavorm::tr("V") : Peavorm::tr("S");
}

// The tick repeats a channel's state on every pass through its switching second; assistive
// technology is told of changes only.
void setSpokenText(Lamp *lamp, const QString &text)
{
    if (lamp->accessibleName() != text)
        lamp->setAccessibleName(text);
}

QLabel *statusLabel(FormBuilder &form, QWidget *parent, const FormBuilder::Row &row,
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop)
{
    auto *label = form.add<QLabel>(parent, row);
    label->setFont(DesignUnits::font(QStringLiteral("Arial"), true));
    label->setAlignment(alignment);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, DesignUnits::colour(kBlue));
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    return label;
}
} // namespace

Peavorm::Peavorm(ChannelControl &channels, ScheduleClock &clock, ScheduleConfirmation &confirmation,
    QWidget *parent)
    : QWidget(parent)
    , m_channels(channels)
    , m_clock(clock)
    , m_confirmation(confirmation)
{
    initPictures();
    buildControls();
    bindCommands();
}

void Peavorm::buildControls()
{
    setObjectName(QStringLiteral("Peavorm"));
    setWindowTitle(QStringLiteral("Relvoog - " RELVOOG_VERSION));
    setWindowIcon(picture(
        QStringLiteral(":/pictures/window-32.xpm"), QStringLiteral(":/pictures/window-16.xpm")));
    setFixedSize(DesignUnits::pixels(kClientArea).size());

    FormBuilder form;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        const PanelRow &row = kPanels[channel - 1];
        auto *frame
            = form.add<QGroupBox>(this, {QLatin1String(row.frame), row.twips, tr(row.caption)});
        const QString n = QString::number(channel);
        ChannelPanel &panel = m_panels[channel];
        panel.switchButton = form.add<QPushButton>(frame,
            {QStringLiteral("Relee") + n, {120, 240, 375, 375}, switchCaption(false),
                tr("Väljundi sisse/välja lülitamine"), row.switchTab});
        panel.autoButton = form.add<QPushButton>(frame,
            {QStringLiteral("Auto") + n, {480, 240, 375, 375}, {},
                tr("Väljundi juhtimine kella järgi"), row.autoTab});
        panel.autoButton->setIcon(picture(QStringLiteral(":/pictures/clock.xpm")));
        // The style's default icon size would shrink the pictures.
        panel.autoButton->setIconSize({24, 22});
        panel.autoButton->setAccessibleName(tr("Relee %1 automaatjuhtimine").arg(n));
        // The automatic-mode lamps form an array indexed from 0.
        panel.autoLamp = form.add<Lamp>(frame,
            {QStringLiteral("LEDAUTO") + QString::number(channel - 1), {960, 240, 255, 135}});
        panel.autoLamp->setProperty("index", channel - 1);
        panel.autoLamp->setBackColour(kBlue);
        setSpokenText(panel.autoLamp, autoModeText(channel, false));
        panel.stateLamp = form.add<Lamp>(frame, {QStringLiteral("LED") + n, {960, 480, 255, 135}});
        panel.stateLamp->setBackColour(kLampCreated);
        panel.stateLamp->setOpaque(true);
        setSpokenText(panel.stateLamp, relayStateText(channel, false));
    }

    m_comOff = form.add<QPushButton>(this,
        {QStringLiteral("ComOFF"), {4320, 1800, 615, 615}, {}, tr("Lülitab kõik releed välja!"),
            24});
    m_comOff->setIcon(picture(
        QStringLiteral(":/pictures/stop-32.xpm"), QStringLiteral(":/pictures/stop-16.xpm")));
    m_comOff->setIconSize({32, 32});
    m_comOff->setAccessibleName(tr("Kõik releed välja"));
    m_comLisad = form.add<QPushButton>(this,
        {QStringLiteral("ComLisad"), {3480, 1800, 735, 255}, tr("Seaded"),
            tr("Lülitamise kellaaegade ja pordi seadmine"), 25});
    m_comLopp = form.add<QPushButton>(this,
        {QStringLiteral("ComLopp"), {3480, 2160, 735, 255}, tr("Lõpp"), tr("Töö lõpetamine"), 26});

    m_kell = statusLabel(form, this,
        {QStringLiteral("Kell"), {480, 2520, 1455, 255}, QStringLiteral("00:00:00")},
        Qt::AlignHCenter | Qt::AlignTop);
    // Label1's box reaches into Kell's; it comes after Kell so that its own text stays on top.
    statusLabel(form, this, {QStringLiteral("Label1"), {240, 2520, 495, 255}, tr("Täna:")});
    m_kuupaev = statusLabel(form, this,
        {QStringLiteral("Kuupaev"), {1800, 2520, 975, 255}, QStringLiteral("00-00-0000")});
    statusLabel(form, this, {QStringLiteral("Label2"), {3360, 2520, 375, 255}, tr("Port:")});
    m_portLabel = statusLabel(form, this, {QStringLiteral("PortLabel"), {3840, 2520, 255, 255}});

    form.chainTabs();
}

void Peavorm::bindCommands()
{
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        connect(m_panels[channel].switchButton, &QPushButton::clicked, this,
            [this, channel] { m_channels.manualSwitch(channel); });
        connect(m_panels[channel].autoButton, &QPushButton::clicked, this,
            [this, channel] { toggleAutoMode(channel); });
    }
    connect(m_comOff, &QPushButton::clicked, this, [this] { m_channels.allOff(); });
    connect(m_comLisad, &QPushButton::clicked, this, &Peavorm::showSchedule);
    connect(m_comLopp, &QPushButton::clicked, this, &Peavorm::CloseMain);
    connect(&m_clock, &ScheduleClock::clockShown, this,
        [this](const QString &time, const QString &date) {
            m_kell->setText(time);
            m_kuupaev->setText(date);
        });
    connect(&m_channels, &ChannelControl::relayStateChanged, this, &Peavorm::showRelayState);
    connect(&m_channels, &ChannelControl::autoModeChanged, this, &Peavorm::showAutoMode);
    connect(&m_channels, &ChannelControl::portChanged, this, &Peavorm::showPortNumber);
    connect(&m_channels, &ChannelControl::linkChanged, this, &Peavorm::showLinkFailure);
    connect(&m_channels, &ChannelControl::portLeft, this, &Peavorm::showPortLeft);
}

void Peavorm::toggleAutoMode(int channel)
{
    if (m_channels.toggleAutoMode(channel) == ChannelControl::Outcome::Done)
        return;
    // A time is missing: the dialog lets the user set it, and the same press then goes on with
    // whatever the slots hold once it has closed.
    showSchedule();
    if (m_channels.toggleAutoMode(channel) == ChannelControl::Outcome::TimesMissing)
        showCriticalMessage(this, ChannelControl::refusalText());
}

void Peavorm::showRelayState(int channel, bool on)
{
    m_panels[channel].switchButton->setText(switchCaption(on));
    m_panels[channel].stateLamp->setBackColour(on ? kLampOn : kLampOff);
    setSpokenText(m_panels[channel].stateLamp, relayStateText(channel, on));
}

void Peavorm::showAutoMode(int channel, bool automatic)
{
    m_panels[channel].autoLamp->setOpaque(automatic);
    setSpokenText(m_panels[channel].autoLamp, autoModeText(channel, automatic));
}

void Peavorm::showPortNumber(quint16 port)
{
    m_portLabel->setText(QString::number(port));
}

void Peavorm::showLinkFailure(const LinkError &error)
{
    m_linkFailure = error.failed() ? failureText(error) : QString();
    showPortState();
}

void Peavorm::showPortLeft(quint16 port, const LinkError &why)
{
    m_portLeft = tr("Port %1 jäeti: %2").arg(port).arg(failureText(why));
    showPortState();
}

void Peavorm::showStartNote(const QString &note)
{
    m_startNote = note;
    showPortState();
}

void Peavorm::showBrokerState(bool connected, const QString &detail)
{
    m_brokerState
        = (connected ? tr("MQTT: ühendatud, %1") : tr("MQTT: ühendus puudub: %1")).arg(detail);
    showPortState();
}

void Peavorm::showPortState()
{
    // Drawn red while frames fail, so that lamps the board never got do not pass for its
    // outputs; the tooltip, and a screen reader, tell why. No control moves for it.
    QPalette palette = m_portLabel->palette();
    palette.setColor(
        QPalette::WindowText, DesignUnits::colour(m_linkFailure.isEmpty() ? kBlue : kLampOn));
    m_portLabel->setPalette(palette);
    QStringList notes;
    for (const QString &note : {m_linkFailure, m_portLeft, m_startNote, m_brokerState})
        if (!note.isEmpty())
            notes << note;
    m_portLabel->setToolTip(notes.join(QLatin1Char('\n')));
    m_portLabel->setAccessibleDescription(m_portLabel->toolTip());
}

void Peavorm::showSchedule()
{
    // Built anew for every showing, from the times and the port as they are now. Timer1 goes on
    // ticking in its event loop.
    Kellaajad dialog(m_confirmation);
    dialog.exec();
}

void Peavorm::CloseMain()
{
    // Closing again from inside the close is ignored by Qt, so the window is unloaded once.
    close();
}

void Peavorm::keyPressEvent(QKeyEvent *event)
{
    // ComOFF is the window's cancel button. The buttons leave Esc to the window, so it arrives
    // here wherever the focus is.
    if (event->key() == Qt::Key_Escape) {
        m_comOff->click();
        return;
    }
    // With no default button, Enter acts like the space bar on the button that has the focus;
    // Qt does this only inside dialogs. Like the space bar it clicks once per press, so a held
    // key does not make a relay chatter.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto *button = qobject_cast<QPushButton *>(focusWidget())) {
            if (!event->isAutoRepeat())
                button->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void Peavorm::closeEvent(QCloseEvent *event)
{
    // The tick ends with the window: it would otherwise go on writing frames until the event
    // loop has wound down, and quitting must leave the board as it is.
    m_clock.stop();
    event->accept();
    // Every event loop ends, also that of a dialog or message box still open when a signal
    // closed the window; otherwise the program would wait for somebody to close them.
    QCoreApplication::exit(0);
}
