#include "Kellaajad.h"

#include "DesignUnits.h"
#include "Module1.h"
#include "Port.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimeEdit>

#include <map>

namespace {

using DesignUnits::pixels;

constexpr QRect kClientArea {0, 0, 5280, 5445};

// Positions and sizes in twips. Same places in every channel panel, relative to the panel.
constexpr int kPanelWidth = 2055;
constexpr int kPanelHeight = 1335;
constexpr QRect kSwitchOnLabel {120, 360, 615, 255};
constexpr QRect kSwitchOnPicker {720, 360, 1215, 375};
constexpr QRect kSwitchOffLabel {120, 840, 495, 255};
constexpr QRect kSwitchOffPicker {720, 840, 1215, 375};

// 0x00BBGGRR, like the lamps of the main window.
constexpr quint32 kSwitchOnColour = 255; // red, as a lamp that is on
constexpr quint32 kSwitchOffColour = 49152; // a darker green than a lamp that is off

const QString kTimeFormat = QStringLiteral("HH:mm:ss");

// Where a face is missing, fontconfig picks a sans-serif one that keeps bold and underline.
QFont captionFont(const QString &family)
{
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setBold(true);
    font.setUnderline(true);
    return font;
}

QLabel *rowLabel(
    QWidget *panel, const char *name, const QRect &rect, const QString &text, quint32 colour)
{
    auto *label = new QLabel(text, panel);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(pixels(rect));
    label->setFont(captionFont(QStringLiteral("Arial")));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, DesignUnits::colour(colour));
    label->setPalette(palette);
    return label;
}

QTimeEdit *picker(QWidget *panel, const QString &name, const QRect &rect)
{
    auto *edit = new QTimeEdit(panel);
    edit->setObjectName(name);
    edit->setAccessibleName(name);
    edit->setGeometry(pixels(rect));
    edit->setDisplayFormat(kTimeFormat);
    return edit;
}

using TabStops = std::map<int, QWidget *>;

struct Panel
{
    struct Label
    {
        const char *name;
        int tabIndex;
    };
    const char *frame;
    const char *caption;
    int left;
    int top;
    int tabIndex;
    Label switchOnLabel;
    Label switchOffLabel;
    int switchOnTabIndex;
    int switchOffTabIndex;
};

// Row n - 1 is channel n. The label names and the tab order do not follow the channels.
const Panel kPanels[] = {
    {"Frame1", "Relee 1", 0, 0, 0, {"Label3", 1}, {"Label4", 2}, 4, 5},
    {"Frame2", "Relee 2", 0, 1320, 7, {"Label2", 11}, {"Label1", 10}, 9, 8},
    {"Frame3", "Relee3", 0, 2640, 12, {"Label6", 16}, {"Label5", 15}, 14, 13},
    {"Frame4", "Relee 4", 0, 3960, 17, {"Label8", 21}, {"Label7", 20}, 19, 18},
    {"Frame5", "Relee 5", 2160, 0, 22, {"Label9", 25}, {"Label10", 26}, 24, 23},
    {"Frame6", "Relee 6", 2160, 1320, 27, {"Label11", 30}, {"Label12", 31}, 29, 28},
    {"Frame7", "Relee 7", 2160, 2640, 32, {"Label13", 35}, {"Label14", 36}, 34, 33},
    {"Frame8", "Relee 8", 2160, 3960, 37, {"Label15", 40}, {"Label16", 41}, 39, 38},
};

struct Pickers
{
    QTimeEdit *switchOn;
    QTimeEdit *switchOff;
};

Pickers buildPanel(QWidget *dialog, int channel, const Panel &panel, TabStops &tabStops)
{
    auto *frame = new QGroupBox(QLatin1String(panel.caption), dialog);
    frame->setObjectName(QLatin1String(panel.frame));
    frame->setGeometry(pixels({panel.left, panel.top, kPanelWidth, kPanelHeight}));
    tabStops[panel.tabIndex] = frame;

    tabStops[panel.switchOnLabel.tabIndex] = rowLabel(
        frame, panel.switchOnLabel.name, kSwitchOnLabel, QStringLiteral("Sisse"), kSwitchOnColour);
    tabStops[panel.switchOffLabel.tabIndex] = rowLabel(frame, panel.switchOffLabel.name,
        kSwitchOffLabel, QStringLiteral("Välja"), kSwitchOffColour);

    const QString relee = QStringLiteral("Relee%1").arg(channel);
    const Pickers pickers {picker(frame, relee + QStringLiteral("Sisse"), kSwitchOnPicker),
        picker(frame, relee + QStringLiteral("Valja"), kSwitchOffPicker)};
    tabStops[panel.switchOnTabIndex] = pickers.switchOn;
    tabStops[panel.switchOffTabIndex] = pickers.switchOff;
    return pickers;
}

struct SideControl
{
    enum Kind { Label, List, Button };
    const char *name;
    Kind kind;
    QRect rect;
    const char *caption;
    const char *toolTip;
    int tabIndex;
};

const SideControl kSideControls[] = {
    {"PortLabel", SideControl::Label, {4320, 120, 855, 255}, "Sideport", nullptr, 42},
    {"PortCombo", SideControl::List, {4320, 480, 855, 315}, nullptr, "Sidepordi valik", 43},
    {"ComCancel", SideControl::Button, {4320, 4680, 855, 255}, "&Ei !!!",
        "Väljumine ilma muutusteta", 6},
    {"ComOK", SideControl::Button, {4320, 5040, 855, 255}, "&Sobib", "Välju ja salvesta muutused",
        3},
};

void buildSideControls(QWidget *dialog, TabStops &tabStops)
{
    for (const SideControl &control : kSideControls) {
        const QString caption = QString::fromUtf8(control.caption);
        QWidget *widget = nullptr;
        switch (control.kind) {
        case SideControl::Label: {
            auto *label = new QLabel(caption, dialog);
            label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
            label->setFont(captionFont(QStringLiteral("MS Sans Serif")));
            widget = label;
            break;
        }
        case SideControl::List: {
            auto *list = new QComboBox(dialog);
            // At its designed width the list fits "Com1" only in a face as narrow as the
            // dialog fonts of its time; a wider default face cut the digit off, and with it the
            // only difference between the two ports.
            QFont narrow(QStringLiteral("Arial"));
            narrow.setStyleHint(QFont::SansSerif);
            narrow.setPointSizeF(8.25);
            list->setFont(narrow);
            list->setAccessibleName(QLatin1String(control.name));
            widget = list;
            break;
        }
        case SideControl::Button:
            widget = new QPushButton(caption, dialog);
            break;
        }
        widget->setObjectName(QLatin1String(control.name));
        widget->setGeometry(pixels(control.rect));
        if (control.toolTip)
            widget->setToolTip(QString::fromUtf8(control.toolTip));
        tabStops[control.tabIndex] = widget;
    }
}

// The list index of an entry is the port number it stands for; "---" is no port at all.
const QString kPortEntries[]
    = {QStringLiteral("---"), QStringLiteral("Com1"), QStringLiteral("Com2")};

} // namespace

const QString Kellaajad::kActivationFailed
    = QStringLiteral("Valitud pordi aktiveerimine ei õnnestunud");

Kellaajad::Kellaajad(Module1 &store, Port &port, QWidget *parent)
    : QDialog(parent)
    , m_confirmation(store, port)
{
    setObjectName(QStringLiteral("Kellaajad"));
    setWindowTitle(QStringLiteral("Relvoog - autoreziimi kellaaegade seadmine"));
    setFixedSize(pixels(kClientArea).size());
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    TabStops tabStops;
    for (int channel = 1; channel <= 8; ++channel) {
        const Pickers pickers = buildPanel(this, channel, kPanels[channel - 1], tabStops);
        m_switchOn[channel - 1] = pickers.switchOn;
        m_switchOff[channel - 1] = pickers.switchOff;
        pickers.switchOn->installEventFilter(this);
        pickers.switchOff->installEventFilter(this);
    }
    buildSideControls(this, tabStops);

    // Frames and labels have tab indices too, but only controls that take focus join the chain.
    QWidget *previous = nullptr;
    for (const auto &[tabIndex, widget] : tabStops) {
        Q_UNUSED(tabIndex);
        if (!(widget->focusPolicy() & Qt::TabFocus))
            continue;
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }

    m_portCombo = findChild<QComboBox *>(QStringLiteral("PortCombo"));
    auto *ok = findChild<QPushButton *>(QStringLiteral("ComOK"));
    ok->setDefault(true);
    // First in the tab order, so that Enter confirms at once.
    ok->setFocus();
    connect(ok, &QPushButton::clicked, this, &Kellaajad::confirm);
    connect(findChild<QPushButton *>(QStringLiteral("ComCancel")), &QPushButton::clicked, this,
        &QDialog::reject);

    load(store, port);
}

bool Kellaajad::eventFilter(QObject *watched, QEvent *event)
{
    // A time picker takes Tab to its next field. Here Tab leaves it for the next control, so
    // that the keyboard follows the dialog's tab order; the fields are reached with the arrow
    // keys.
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plain && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
            const bool forward
                = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
            focusNextPrevChild(forward);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Kellaajad::load(const Module1 &store, const Port &port)
{
    // An empty slot shows as midnight and comes back as midnight, which the store counts as
    // empty too.
    const auto shown = [](QTime slot) { return slot.isValid() ? slot : QTime(0, 0); };
    for (int channel = 1; channel <= 8; ++channel) {
        m_switchOn[channel - 1]->setTime(shown(store.SwitchOnTime(channel)));
        m_switchOff[channel - 1]->setTime(shown(store.SwitchOffTime(channel)));
    }
    for (const QString &entry : kPortEntries)
        m_portCombo->addItem(entry);
    m_portCombo->setCurrentIndex(port.portNumber());
}

void Kellaajad::confirm()
{
    std::array<QTime, 8> switchOn;
    std::array<QTime, 8> switchOff;
    for (int i = 0; i < 8; ++i) {
        switchOn[i] = m_switchOn[i]->time();
        switchOff[i] = m_switchOff[i]->time();
    }
    // An empty selection names no port, which the trial refuses like "---".
    const auto chosenPort = quint16(qMax(0, m_portCombo->currentIndex()));
    if (m_confirmation.confirm(switchOn, switchOff, chosenPort)) {
        accept();
        return;
    }
    QMessageBox box(
        QMessageBox::Critical, QStringLiteral("Relvoog"), kActivationFailed, QMessageBox::Ok, this);
    box.exec();
}
