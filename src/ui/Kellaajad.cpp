// SPDX-License-Identifier: MIT
#include "Kellaajad.h"

#include "CriticalMessage.h"
#include "FailureText.h"
#include "FormBuilder.h"
#include "Module1.h"
#include "ScheduleConfirmation.h"
#include "TimePicker.h"

#include <QComboBox>
#include <QPushButton>

namespace {
constexpr QRect kClientArea {0, 0, 5280, 5445};

// 0x00BBGGRR, like the lamps of the main window.
constexpr quint32 kSwitchOnColour = 255; // red, as a lamp that is on
constexpr quint32 kSwitchOffColour = 49152; // a darker green than a lamp that is off

struct PanelRow
{
    const char *switchOnLabel;
    const char *switchOffLabel;
    const char *caption;
    QPoint twips;
    int switchOnTab;
    int switchOffTab;
};

// Row n - 1 is channel n, in frame Frame<n>. The label names and the tab order do not follow the
// channels: in channel 1 the switch-on picker comes first, in the others the switch-off picker.
const PanelRow kPanels[] = {
    {"Label3", "Label4", QT_TRANSLATE_NOOP("Kellaajad", "Relee 1"), {0, 0}, 4, 5},
    {"Label2", "Label1", QT_TRANSLATE_NOOP("Kellaajad", "Relee 2"), {0, 1320}, 9, 8},
    {"Label6", "Label5", QT_TRANSLATE_NOOP("Kellaajad", "Relee3"), {0, 2640}, 14, 13},
    {"Label8", "Label7", QT_TRANSLATE_NOOP("Kellaajad", "Relee 4"), {0, 3960}, 19, 18},
    {"Label9", "Label10", QT_TRANSLATE_NOOP("Kellaajad", "Relee 5"), {2160, 0}, 24, 23},
    {"Label11", "Label12", QT_TRANSLATE_NOOP("Kellaajad", "Relee 6"), {2160, 1320}, 29, 28},
    {"Label13", "Label14", QT_TRANSLATE_NOOP("Kellaajad", "Relee 7"), {2160, 2640}, 34, 33},
    {"Label15", "Label16", QT_TRANSLATE_NOOP("Kellaajad", "Relee 8"), {2160, 3960}, 39, 38},
};

// The list index of an entry is the port number it stands for; "---" is no port at all.
const QString kPortEntries[]
    = {QStringLiteral("---"), QStringLiteral("Com1"), QStringLiteral("Com2")};

QLabel *rowLabel(FormBuilder &form, QWidget *frame, const FormBuilder::Row &row, quint32 colour)
{
    auto *label = form.add<QLabel>(frame, row);
    label->setFont(DesignUnits::font(QStringLiteral("Arial"), true, true));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, DesignUnits::colour(colour));
    label->setPalette(palette);
    return label;
}
} // namespace

Kellaajad::Kellaajad(ScheduleConfirmation &confirmation, QWidget *parent)
    : QDialog(parent)
    , m_confirmation(confirmation)
{
    setObjectName(QStringLiteral("Kellaajad"));
    setWindowTitle(tr("Relvoog - autoreziimi kellaaegade seadmine"));
    setFixedSize(DesignUnits::pixels(kClientArea).size());
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    buildControls();
    load();
}

Kellaajad::~Kellaajad()
{
    // Also when the program quits while the dialog is open.
    m_confirmation.cancel();
}

void Kellaajad::done(int result)
{
    // Left without a confirmation that succeeded: a port trial still under way must not take
    // effect later, since the user has moved on from that choice.
    if (result != Accepted)
        m_confirmation.cancel();
    QDialog::done(result);
}

void Kellaajad::buildControls()
{
    FormBuilder form;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        const PanelRow &row = kPanels[channel - 1];
        const QString n = QString::number(channel);
        auto *frame = form.add<QGroupBox>(
            this, {QStringLiteral("Frame") + n, {row.twips, QSize(2055, 1335)}, tr(row.caption)});
        rowLabel(form, frame, {QLatin1String(row.switchOnLabel), {120, 360, 615, 255}, tr("Sisse")},
            kSwitchOnColour);
        rowLabel(form, frame,
            {QLatin1String(row.switchOffLabel), {120, 840, 495, 255}, tr("Välja")},
            kSwitchOffColour);
        m_switchOn[channel] = form.add<TimePicker>(frame,
            {QStringLiteral("Relee%1Sisse").arg(channel), {720, 360, 1215, 375}, {}, {},
                row.switchOnTab});
        m_switchOff[channel] = form.add<TimePicker>(frame,
            {QStringLiteral("Relee%1Valja").arg(channel), {720, 840, 1215, 375}, {}, {},
                row.switchOffTab});
        // The row labels say only "Sisse" and "Välja"; the channel is in the frame around them.
        m_switchOn[channel]->setAccessibleName(tr("Relee %1 sisse").arg(channel));
        m_switchOff[channel]->setAccessibleName(tr("Relee %1 välja").arg(channel));
    }

    auto *caption = form.add<QLabel>(
        this, {QStringLiteral("PortLabel"), {4320, 120, 855, 255}, tr("Sideport")});
    caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    caption->setFont(DesignUnits::font(QStringLiteral("MS Sans Serif"), true, true));
    m_portCombo = form.add<QComboBox>(
        this, {QStringLiteral("PortCombo"), {4320, 480, 855, 315}, {}, tr("Sidepordi valik"), 43});
    // At its designed width the list fits "Com1" only in a face as narrow as the dialog fonts of
    // its time; a wider default face cut the digit off, and with it the only difference between
    // the two ports.
    m_portCombo->setFont(DesignUnits::font(QStringLiteral("Arial")));
    auto *cancel = form.add<QPushButton>(this,
        {QStringLiteral("ComCancel"), {4320, 4680, 855, 255}, tr("&Ei !!!"),
            tr("Väljumine ilma muutusteta"), 6});
    auto *ok = form.add<QPushButton>(this,
        {QStringLiteral("ComOK"), {4320, 5040, 855, 255}, tr("&Sobib"),
            tr("Välju ja salvesta muutused"), 3});
    ok->setDefault(true);
    // First in the tab order, so that Enter confirms at once.
    form.chainTabs();

    connect(ok, &QPushButton::clicked, this, &Kellaajad::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_confirmation, &ScheduleConfirmation::finished, this, &Kellaajad::confirmed);
}

void Kellaajad::load()
{
    // An empty slot shows as midnight and comes back as midnight, which the store counts as
    // empty too.
    const auto shown = [](QTime slot) { return slot.isValid() ? slot : QTime(0, 0); };
    const Module1 &store = m_confirmation.store();
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        m_switchOn[channel]->setTime(shown(store.SwitchOnTime(channel)));
        m_switchOff[channel]->setTime(shown(store.SwitchOffTime(channel)));
    }
    for (const QString &entry : kPortEntries) {
        const QString device = m_confirmation.device(quint16(m_portCombo->count()));
        m_portCombo->addItem(entry);
        m_portCombo->setItemData(m_portCombo->count() - 1, device, Qt::ToolTipRole);
    }
    m_portCombo->setCurrentIndex(m_confirmation.portNumber());
}

void Kellaajad::confirm()
{
    PerChannel<QTime> switchOn;
    PerChannel<QTime> switchOff;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        switchOn[channel] = m_switchOn[channel]->time();
        switchOff[channel] = m_switchOff[channel]->time();
    }
    // An empty selection names no port, which the trial refuses like "---".
    m_confirmation.confirm(switchOn, switchOff, quint16(qMax(0, m_portCombo->currentIndex())));
}

void Kellaajad::confirmed(const LinkError &error)
{
    if (!error.failed()) {
        accept();
        return;
    }
    showCriticalMessage(this,
        tr("Valitud pordi aktiveerimine ei õnnestunud") + QLatin1Char('\n') + failureText(error));
}
