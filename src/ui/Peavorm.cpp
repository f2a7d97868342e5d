#include "Peavorm.h"

#include "DesignUnits.h"
#include "Indicators.h"
#include "Kellaajad.h"
#include "Lamp.h"
#include "Port.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <vector>

// Resources of a static library have to be registered by name, outside any namespace.
static void initPictures()
{
    Q_INIT_RESOURCE(pictures);
}

namespace {
const char kCaption[] = "Relvoog - 0.2";
const char kMessageTitle[] = "Relvoog";
constexpr QRect kClientArea(0, 0, 5250, 2715);

struct Picture
{
    const char *file;
    const char *smallFile; // optional second size of the same picture
    QSize size;
};
const Picture kWindowIcon {":/pictures/window-32.xpm", ":/pictures/window-16.xpm", {32, 32}};
const Picture kStopSign {":/pictures/stop-32.xpm", ":/pictures/stop-16.xpm", {32, 32}};
const Picture kClock {":/pictures/clock.xpm", nullptr, {24, 22}};

enum class Kind { Button, PictureButton, StateLamp, AutoLamp, StatusLabel };

// One control as designed: rectangle in twips relative to its container, texts in UTF-8.
struct ControlRow
{
    Kind kind;
    const char *name;
    QRect twips;
    const char *caption;
    const char *tooltip;
    const Picture *picture;
    int tabIndex;
    Qt::Alignment alignment;
};

// The four controls inside every channel panel, relative to the panel. The channel completes
// their names, and their tab indexes come from the panel's row.
const ControlRow kPanelControls[] = {
    {Kind::Button, "Relee", {120, 240, 375, 375}, "S", "Väljundi sisse/välja lülitamine", nullptr,
        -1, {}},
    {Kind::PictureButton, "Auto", {480, 240, 375, 375}, "", "Väljundi juhtimine kella järgi",
        &kClock, -1, {}},
    {Kind::AutoLamp, "LEDAUTO", {960, 240, 255, 135}, "", "", nullptr, -1, {}},
    {Kind::StateLamp, "LED", {960, 480, 255, 135}, "", "", nullptr, -1, {}},
};

struct PanelRow
{
    const char *frame;
    const char *caption;
    int channel;
    QRect twips;
    int frameTab;
    int switchTab;
    int autoTab;
};

// The frames' names do not follow the channels; their captions do.
const PanelRow kPanels[] = {
    {"Frame2", "Relee 1", 1, {120, 120, 1455, 735}, 3, 5, 4},
    {"Frame4", "Relee 2", 2, {1800, 120, 1455, 735}, 9, 11, 10},
    {"Frame7", "Relee 3", 3, {3480, 120, 1455, 735}, 18, 20, 19},
    {"Frame1", "Relee 4", 4, {120, 840, 1455, 735}, 0, 1, 2},
    {"Frame5", "Relee 5", 5, {1800, 840, 1455, 735}, 12, 14, 13},
    {"Frame8", "Relee 6", 6, {3480, 840, 1455, 735}, 21, 23, 22},
    {"Frame3", "Relee 7", 7, {120, 1680, 1455, 735}, 6, 8, 7},
    {"Frame6", "Relee 8", 8, {1800, 1680, 1455, 735}, 15, 17, 16},
};

constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignTop;
constexpr Qt::Alignment kCentred = Qt::AlignHCenter | Qt::AlignTop;

// Controls placed on the window itself. Label1's box reaches into Kell's; it comes after Kell
// so that its own text stays on top.
const ControlRow kWindowControls[] = {
    {Kind::PictureButton, "ComOFF", {4320, 1800, 615, 615}, "", "Lülitab kõik releed välja!",
        &kStopSign, 24, {}},
    {Kind::Button, "ComLisad", {3480, 1800, 735, 255}, "Seaded",
        "Lülitamise kellaaegade ja pordi seadmine", nullptr, 25, {}},
    {Kind::Button, "ComLopp", {3480, 2160, 735, 255}, "Lõpp", "Töö lõpetamine", nullptr, 26, {}},
    {Kind::StatusLabel, "Kell", {480, 2520, 1455, 255}, "00:00:00", "", nullptr, 27, kCentred},
    {Kind::StatusLabel, "Label1", {240, 2520, 495, 255}, "Täna:", "", nullptr, 29, kLeft},
    {Kind::StatusLabel, "Kuupaev", {1800, 2520, 975, 255}, "00-00-0000", "", nullptr, 28, kLeft},
    {Kind::StatusLabel, "Label2", {3360, 2520, 375, 255}, "Port:", "", nullptr, 30, kLeft},
    {Kind::StatusLabel, "PortLabel", {3840, 2520, 255, 255}, "", "", nullptr, 31, kLeft},
};

using TabStops = std::vector<std::pair<int, QWidget *>>;

QIcon loadPicture(const Picture &picture)
{
    QIcon icon(QString::fromLatin1(picture.file));
    if (picture.smallFile)
        icon.addFile(QString::fromLatin1(picture.smallFile));
    return icon;
}

QFont statusFont()
{
    // Where Arial is missing, fontconfig falls back to a metric-compatible face.
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(8.25);
    font.setBold(true);
    return font;
}

QWidget *createControl(const ControlRow &row, const QString &name, QWidget *parent)
{
    QWidget *control = nullptr;
    switch (row.kind) {
    case Kind::Button:
    case Kind::PictureButton: {
        auto *button = new QPushButton(QString::fromUtf8(row.caption), parent);
        if (row.picture) {
            button->setIcon(loadPicture(*row.picture));
            // The style's default icon size would shrink the pictures.
            button->setIconSize(row.picture->size);
        }
        control = button;
        break;
    }
    case Kind::StateLamp:
    case Kind::AutoLamp: {
        auto *lamp = new Lamp(parent);
        const bool state = row.kind == Kind::StateLamp;
        lamp->setBackColour(state ? Indicators::kLampCreated : Indicators::kAutoLamp);
        lamp->setOpaque(state);
        control = lamp;
        break;
    }
    case Kind::StatusLabel: {
        auto *label = new QLabel(QString::fromUtf8(row.caption), parent);
        label->setFont(statusFont());
        label->setAlignment(row.alignment);
        label->setTextFormat(Qt::PlainText);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, DesignUnits::colour(Indicators::kAutoLamp));
        label->setPalette(palette);
        label->setAutoFillBackground(true);
        control = label;
        break;
    }
    }
    control->setObjectName(name);
    control->setAccessibleName(name);
    control->setGeometry(DesignUnits::pixels(row.twips));
    control->setToolTip(QString::fromUtf8(row.tooltip));
    return control;
}

struct Panel
{
    QPushButton *switchButton;
    QPushButton *autoButton;
    Lamp *autoLamp;
    Lamp *stateLamp;
};

Panel buildPanel(const PanelRow &row, QWidget *window, TabStops &tabStops)
{
    auto *frame = new QGroupBox(QString::fromUtf8(row.caption), window);
    frame->setObjectName(QString::fromLatin1(row.frame));
    frame->setAccessibleName(frame->objectName());
    frame->setGeometry(DesignUnits::pixels(row.twips));

    Panel panel {};
    for (const ControlRow &control : kPanelControls) {
        // The automatic-mode lamps form an array indexed from 0; the other controls carry the
        // channel itself.
        const int suffix = control.kind == Kind::AutoLamp ? row.channel - 1 : row.channel;
        QWidget *widget = createControl(
            control, QString::fromLatin1(control.name) + QString::number(suffix), frame);
        switch (control.kind) {
        case Kind::Button:
            panel.switchButton = static_cast<QPushButton *>(widget);
            tabStops.emplace_back(row.switchTab, widget);
            break;
        case Kind::PictureButton:
            panel.autoButton = static_cast<QPushButton *>(widget);
            tabStops.emplace_back(row.autoTab, widget);
            break;
        case Kind::AutoLamp:
            panel.autoLamp = static_cast<Lamp *>(widget);
            widget->setProperty("index", suffix);
            break;
        case Kind::StateLamp:
            panel.stateLamp = static_cast<Lamp *>(widget);
            break;
        case Kind::StatusLabel:
            break;
        }
    }
    tabStops.emplace_back(row.frameTab, frame);
    return panel;
}
} // namespace

Peavorm::Peavorm(Port &port, ScheduleClock::Clock now, QWidget *parent)
    : QWidget(parent)
    , m_board(port)
    , m_channels(m_board, m_module1, *this)
{
    initPictures();
    buildControls();
    bindCommands();

    m_channels.load();
    // Timer1 runs from here on, but its first tick waits for the event loop, after the window
    // has been shown.
    m_scheduleClock = std::make_unique<ScheduleClock>(m_channels, m_module1, *this, std::move(now));
    m_scheduleClock->start();
}

Peavorm::~Peavorm() = default;

void Peavorm::buildControls()
{
    setObjectName(QStringLiteral("Peavorm"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setWindowIcon(loadPicture(kWindowIcon));
    setFixedSize(DesignUnits::pixels(kClientArea).size());

    TabStops tabStops;
    for (const PanelRow &row : kPanels) {
        const Panel panel = buildPanel(row, this, tabStops);
        const int i = row.channel - 1;
        m_switchButtons[i] = panel.switchButton;
        m_autoButtons[i] = panel.autoButton;
        m_autoLamps[i] = panel.autoLamp;
        m_stateLamps[i] = panel.stateLamp;
    }
    for (const ControlRow &row : kWindowControls)
        tabStops.emplace_back(
            row.tabIndex, createControl(row, QString::fromLatin1(row.name), this));

    m_comOff = findChild<QPushButton *>(QStringLiteral("ComOFF"), Qt::FindDirectChildrenOnly);
    m_comLisad = findChild<QPushButton *>(QStringLiteral("ComLisad"), Qt::FindDirectChildrenOnly);
    m_comLopp = findChild<QPushButton *>(QStringLiteral("ComLopp"), Qt::FindDirectChildrenOnly);
    m_kell = findChild<QLabel *>(QStringLiteral("Kell"), Qt::FindDirectChildrenOnly);
    m_kuupaev = findChild<QLabel *>(QStringLiteral("Kuupaev"), Qt::FindDirectChildrenOnly);
    m_portLabel = findChild<QLabel *>(QStringLiteral("PortLabel"), Qt::FindDirectChildrenOnly);

    // Frames and labels hold tab indexes too but take no focus; only the buttons are chained.
    std::sort(tabStops.begin(), tabStops.end(),
        [](const auto &a, const auto &b) { return a.first < b.first; });
    QWidget *previous = nullptr;
    for (const auto &[tabIndex, control] : tabStops) {
        if (control->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, control);
        else
            control->setFocus(Qt::OtherFocusReason); // the first stop has the focus at start
        previous = control;
    }
}

void Peavorm::bindCommands()
{
    for (int channel = 1; channel <= 8; ++channel) {
        connect(m_switchButtons[channel - 1], &QPushButton::clicked, this,
            [this, channel] { m_channels.manualSwitch(channel); });
        connect(m_autoButtons[channel - 1], &QPushButton::clicked, this,
            [this, channel] { m_channels.toggleAutoMode(channel); });
    }
    connect(m_comOff, &QPushButton::clicked, this, [this] { m_channels.allOff(); });
    connect(m_comLisad, &QPushButton::clicked, this, [this] { m_channels.settings(); });
    connect(m_comLopp, &QPushButton::clicked, this, &Peavorm::CloseMain);
}

void Peavorm::setSwitchCaption(int channel, const QString &caption)
{
    m_switchButtons[channel - 1]->setText(caption);
}

void Peavorm::setStateLampColour(int channel, quint32 colour)
{
    m_stateLamps[channel - 1]->setBackColour(colour);
}

void Peavorm::setAutoLampLit(int channel, bool lit)
{
    m_autoLamps[channel - 1]->setOpaque(lit);
}

void Peavorm::setClock(const QString &time, const QString &date)
{
    m_kell->setText(time);
    m_kuupaev->setText(date);
}

void Peavorm::setPortNumber(quint16 port)
{
    m_portLabel->setText(QString::number(port));
}

void Peavorm::showSchedule()
{
    // Built anew for every showing, from the times and the port as they are now. Timer1 goes on
    // ticking in its event loop.
    Kellaajad dialog(m_module1, port());
    if (dialog.exec() == QDialog::Accepted)
        setPortNumber(port().portNumber());
}

void Peavorm::showRefusal(const QString &text)
{
    QMessageBox box(
        QMessageBox::Critical, QString::fromUtf8(kMessageTitle), text, QMessageBox::Ok, this);
    box.exec();
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
    m_scheduleClock.reset();
    event->accept();
}
