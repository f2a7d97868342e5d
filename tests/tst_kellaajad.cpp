#include "ChannelControl.h"
#include "Kellaajad.h"
#include "Module1.h"
#include "RecordingPort.h"
#include "RecordingView.h"
#include "ScheduleClock.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimeEdit>
#include <QWindow>
#include <QtTest>

#include <functional>

namespace {

// Answers the message box that comes up in a nested event loop, once `ready` holds, and keeps
// what it showed. `whileShown` runs just before the box is dismissed.
class MessageBoxCatcher
{
public:
    explicit MessageBoxCatcher(
        std::function<void()> whileShown = {}, std::function<bool()> ready = [] { return true; })
        : m_whileShown(std::move(whileShown))
        , m_ready(std::move(ready))
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { look(); });
        m_timer.start(1);
    }

    int shown = 0;
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    int buttonCount = 0;

private:
    void look()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            if (!box || !box->isVisible() || !m_ready())
                continue;
            ++shown;
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            buttons = box->standardButtons();
            buttonCount = int(box->buttons().size());
            if (m_whileShown)
                m_whileShown();
            box->button(QMessageBox::Ok)->click();
        }
    }

    std::function<void()> m_whileShown;
    std::function<bool()> m_ready;
    QTimer m_timer;
};

QTime switchOnOf(int channel)
{
    return QTime(6 + channel, 15, channel);
}

QTime switchOffOf(int channel)
{
    return QTime(12 + channel, 45, 59 - channel);
}

} // namespace

// The schedule and port dialog as the user meets it: its layout, what it shows, and what
// confirming and cancelling do to the store, the port and the wire.
class tst_Kellaajad : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout_data();
    void layout();
    void window();
    void portEntriesFitTheList();
    void tabOrderStartsOnTheDefaultButton();
    void opening_data();
    void opening();
    void confirmation_data();
    void confirmation();
    void failedConfirmation_data();
    void failedConfirmation();
    void cancelAfterFailedConfirmationKeepsTheStoredTimes();
    void cancellation_data();
    void cancellation();
    void reopeningShowsWhatWasConfirmed();
    void clockTicksWhileTheDialogIsOpen();
    void clockTicksWhileTheMessageIsShown();

private:
    template<typename T> T *control(const QString &name) const
    {
        auto *widget = dialog->findChild<T *>(name);
        if (!widget)
            qWarning() << "no control" << name;
        return widget;
    }
    QTimeEdit *picker(int channel, bool switchOn) const
    {
        return control<QTimeEdit>(
            QStringLiteral("Relee%1%2")
                .arg(channel)
                .arg(switchOn ? QLatin1String("Sisse") : QLatin1String("Valja")));
    }
    bool showDialog();
    void enterDistinctTimes();

    RecordingPort port;
    Module1 store;
    std::unique_ptr<Kellaajad> dialog;
};

void tst_Kellaajad::init()
{
    port = RecordingPort();
    store.clear();
    dialog = std::make_unique<Kellaajad>(store, port);
}

void tst_Kellaajad::cleanup()
{
    dialog.reset();
}

bool tst_Kellaajad::showDialog()
{
    dialog->show();
    return QTest::qWaitForWindowActive(dialog.get());
}

void tst_Kellaajad::enterDistinctTimes()
{
    for (int channel = 1; channel <= 8; ++channel) {
        picker(channel, true)->setTime(switchOnOf(channel));
        picker(channel, false)->setTime(switchOffOf(channel));
    }
}

void tst_Kellaajad::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");
    // Invalid: the dialog's standard text colour.
    QTest::addColumn<QColor>("colour");
    // 8.25 pt bold underlined, or else the dialog's own font.
    QTest::addColumn<bool>("captionFont");

    struct Panel
    {
        const char *frame;
        const char *caption;
        QPoint at;
        const char *switchOnLabel;
        const char *switchOffLabel;
    };
    // In pixels at 96 dpi: 15 twips each.
    const Panel panels[] = {
        {"Frame1", "Relee 1", {0, 0}, "Label3", "Label4"},
        {"Frame2", "Relee 2", {0, 88}, "Label2", "Label1"},
        {"Frame3", "Relee3", {0, 176}, "Label6", "Label5"},
        {"Frame4", "Relee 4", {0, 264}, "Label8", "Label7"},
        {"Frame5", "Relee 5", {144, 0}, "Label9", "Label10"},
        {"Frame6", "Relee 6", {144, 88}, "Label11", "Label12"},
        {"Frame7", "Relee 7", {144, 176}, "Label13", "Label14"},
        {"Frame8", "Relee 8", {144, 264}, "Label15", "Label16"},
    };
    const QColor red(255, 0, 0);
    const QColor darkGreen(0, 192, 0);
    const QString dialogName = QStringLiteral("Kellaajad");
    const QString none;

    for (int channel = 1; channel <= 8; ++channel) {
        const Panel &panel = panels[channel - 1];
        const QString frame = QLatin1String(panel.frame);
        const QString on = QStringLiteral("Relee%1Sisse").arg(channel);
        const QString off = QStringLiteral("Relee%1Valja").arg(channel);
        QTest::addRow("%s", panel.frame)
            << frame << dialogName << QRect(panel.at, QSize(137, 89))
            << QString::fromLatin1(panel.caption) << none << QColor() << false;
        QTest::addRow("%s Sisse", panel.switchOnLabel)
            << QString::fromLatin1(panel.switchOnLabel) << frame << QRect(8, 24, 41, 17)
            << QStringLiteral("Sisse") << none << red << true;
        QTest::addRow("%s Välja", panel.switchOffLabel)
            << QString::fromLatin1(panel.switchOffLabel) << frame << QRect(8, 56, 33, 17)
            << QStringLiteral("Välja") << none << darkGreen << true;
        QTest::addRow("%s", qPrintable(on))
            << on << frame << QRect(48, 24, 81, 25) << none << none << QColor() << false;
        QTest::addRow("%s", qPrintable(off))
            << off << frame << QRect(48, 56, 81, 25) << none << none << QColor() << false;
    }
    QTest::newRow("PortLabel") << QStringLiteral("PortLabel") << dialogName << QRect(288, 8, 57, 17)
                               << QStringLiteral("Sideport") << none << QColor() << true;
    QTest::newRow("PortCombo") << QStringLiteral("PortCombo") << dialogName
                               << QRect(288, 32, 57, 21) << none
                               << QStringLiteral("Sidepordi valik") << QColor() << false;
    QTest::newRow("ComCancel") << QStringLiteral("ComCancel") << dialogName
                               << QRect(288, 312, 57, 17) << QStringLiteral("&Ei !!!")
                               << QStringLiteral("Väljumine ilma muutusteta") << QColor() << false;
    QTest::newRow("ComOK") << QStringLiteral("ComOK") << dialogName << QRect(288, 336, 57, 17)
                           << QStringLiteral("&Sobib")
                           << QStringLiteral("Välju ja salvesta muutused") << QColor() << false;
}

void tst_Kellaajad::layout()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(QString, toolTip);
    QFETCH(QColor, colour);
    QFETCH(bool, captionFont);

    QVERIFY(showDialog());
    auto *widget = control<QWidget>(name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget()->objectName(), parent);
    QCOMPARE(widget->geometry(), geometry);
    QVERIFY(widget->isVisible());

    QString shownCaption;
    if (auto *frame = qobject_cast<QGroupBox *>(widget))
        shownCaption = frame->title();
    else if (auto *label = qobject_cast<QLabel *>(widget))
        shownCaption = label->text();
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        shownCaption = button->text();
    QCOMPARE(shownCaption, caption);
    QCOMPARE(widget->toolTip(), toolTip);

    const QColor standard = dialog->palette().color(QPalette::WindowText);
    QCOMPARE(widget->palette().color(QPalette::WindowText), colour.isValid() ? colour : standard);

    const QFont font = widget->font();
    if (captionFont) {
        QVERIFY(font.bold());
        QVERIFY(font.underline());
        QCOMPARE(font.pointSizeF(), 8.25);
    } else if (name != QStringLiteral("PortCombo")) { // its narrower face has a test of its own
        QCOMPARE(font, dialog->font());
    }
}

void tst_Kellaajad::portEntriesFitTheList()
{
    QVERIFY(showDialog());
    auto *list = control<QComboBox>(QStringLiteral("PortCombo"));
    QStyleOptionComboBox option;
    option.initFrom(list);
    const QRect field = list->style()->subControlRect(
        QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list);
    // A cut-off digit would leave "Com1" and "Com2" looking alike.
    for (int i = 0; i < list->count(); ++i)
        QVERIFY2(list->fontMetrics().horizontalAdvance(list->itemText(i)) <= field.width(),
            qPrintable(list->itemText(i)));
}

void tst_Kellaajad::window()
{
    QVERIFY(showDialog());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Relvoog - autoreziimi kellaaegade seadmine"));
    QCOMPARE(dialog->size(), QSize(352, 363));
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    QVERIFY(!dialog->testAttribute(Qt::WA_SetWindowIcon));

    QCOMPARE(control<QLabel>(QStringLiteral("PortLabel"))->alignment() & Qt::AlignHorizontal_Mask,
        Qt::AlignHCenter);
    QVERIFY(!control<QComboBox>(QStringLiteral("PortCombo"))->isEditable());
    QVERIFY(control<QPushButton>(QStringLiteral("ComOK"))->isDefault());
    QVERIFY(!control<QPushButton>(QStringLiteral("ComCancel"))->isDefault());

    for (int channel = 1; channel <= 8; ++channel) {
        for (const bool on : {true, false}) {
            QTimeEdit *edit = picker(channel, on);
            edit->setTime(QTime(23, 4, 5));
            QCOMPARE(edit->text(), QStringLiteral("23:04:05"));
        }
    }
}

void tst_Kellaajad::tabOrderStartsOnTheDefaultButton()
{
    const QStringList expected = {QStringLiteral("Relee1Sisse"), QStringLiteral("Relee1Valja"),
        QStringLiteral("ComCancel"), QStringLiteral("Relee2Valja"), QStringLiteral("Relee2Sisse"),
        QStringLiteral("Relee3Valja"), QStringLiteral("Relee3Sisse"), QStringLiteral("Relee4Valja"),
        QStringLiteral("Relee4Sisse"), QStringLiteral("Relee5Valja"), QStringLiteral("Relee5Sisse"),
        QStringLiteral("Relee6Valja"), QStringLiteral("Relee6Sisse"), QStringLiteral("Relee7Valja"),
        QStringLiteral("Relee7Sisse"), QStringLiteral("Relee8Valja"), QStringLiteral("Relee8Sisse"),
        QStringLiteral("PortCombo"), QStringLiteral("ComOK")};

    QVERIFY(showDialog());
    QCOMPARE(QApplication::focusWidget(), control<QWidget>(QStringLiteral("ComOK")));

    // A picker hands its focus to its inner editor; the named control is its owner.
    const auto focusedControl = [] {
        QWidget *widget = QApplication::focusWidget();
        while (widget && widget->objectName().isEmpty())
            widget = widget->parentWidget();
        return widget ? widget->objectName() : QString();
    };
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << focusedControl();
    }
    QCOMPARE(visited, expected);

    QStringList backwards;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        backwards.prepend(focusedControl());
    }
    backwards.append(backwards.takeFirst());
    QCOMPARE(backwards, expected);
}

void tst_Kellaajad::opening_data()
{
    QTest::addColumn<bool>("timesStored");
    QTest::addColumn<quint16>("portInUse");
    QTest::addColumn<QString>("selected");

    QTest::newRow("first opening after start-up") << false << quint16(1) << QStringLiteral("Com1");
    QTest::newRow("start-up fell back to port 2") << false << quint16(2) << QStringLiteral("Com2");
    QTest::newRow("times stored, port 2") << true << quint16(2) << QStringLiteral("Com2");
}

void tst_Kellaajad::opening()
{
    QFETCH(bool, timesStored);
    QFETCH(quint16, portInUse);
    QFETCH(QString, selected);

    if (timesStored) {
        for (int channel = 1; channel <= 8; ++channel) {
            store.setSwitchOnTime(channel, switchOnOf(channel));
            store.setSwitchOffTime(channel, switchOffOf(channel));
        }
    }
    port.setPortNumber(portInUse);
    dialog = std::make_unique<Kellaajad>(store, port);
    QVERIFY(showDialog());

    for (int channel = 1; channel <= 8; ++channel) {
        const QString on = timesStored ? switchOnOf(channel).toString(QStringLiteral("HH:mm:ss"))
                                       : QStringLiteral("00:00:00");
        const QString off = timesStored ? switchOffOf(channel).toString(QStringLiteral("HH:mm:ss"))
                                        : QStringLiteral("00:00:00");
        QCOMPARE(picker(channel, true)->text(), on);
        QCOMPARE(picker(channel, false)->text(), off);
    }
    auto *list = control<QComboBox>(QStringLiteral("PortCombo"));
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->itemText(0), QStringLiteral("---"));
    QCOMPARE(list->itemText(1), QStringLiteral("Com1"));
    QCOMPARE(list->itemText(2), QStringLiteral("Com2"));
    QCOMPARE(list->currentText(), selected);
    QVERIFY(port.wire.isEmpty());
}

void tst_Kellaajad::confirmation_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("choice");
    QTest::addColumn<bool>("editTimes");
    QTest::addColumn<quint16>("portAfter");

    QTest::newRow("ComOK without change") << QStringLiteral("click") << 1 << false << quint16(1);
    QTest::newRow("Enter right after showing")
        << QStringLiteral("Enter") << 1 << false << quint16(1);
    QTest::newRow("Alt+S") << QStringLiteral("Alt+S") << 1 << true << quint16(1);
    QTest::newRow("Com2 working") << QStringLiteral("click") << 2 << true << quint16(2);
}

void tst_Kellaajad::confirmation()
{
    QFETCH(QString, how);
    QFETCH(int, choice);
    QFETCH(bool, editTimes);
    QFETCH(quint16, portAfter);

    QVERIFY(showDialog());
    if (editTimes)
        enterDistinctTimes();
    control<QComboBox>(QStringLiteral("PortCombo"))->setCurrentIndex(choice);

    MessageBoxCatcher catcher;
    if (how == QLatin1String("click"))
        QTest::mouseClick(control<QPushButton>(QStringLiteral("ComOK")), Qt::LeftButton);
    else if (how == QLatin1String("Enter"))
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    else
        QTest::keyClick(dialog.get(), Qt::Key_S, Qt::AltModifier);

    QTRY_VERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(catcher.shown, 0);
    QCOMPARE(port.portNumber(), portAfter);
    // One trial of the chosen port, with nothing on the lines.
    QCOMPARE(
        port.wire, QStringList({QStringLiteral("open%1").arg(portAfter), QStringLiteral("close")}));
    for (int channel = 1; channel <= 8; ++channel) {
        // Also untouched pickers are stored: their midnight replaces the empty slot.
        QCOMPARE(store.SwitchOnTime(channel), editTimes ? switchOnOf(channel) : QTime(0, 0));
        QCOMPARE(store.SwitchOffTime(channel), editTimes ? switchOffOf(channel) : QTime(0, 0));
    }
}

void tst_Kellaajad::failedConfirmation_data()
{
    QTest::addColumn<quint16>("portInUse");
    QTest::addColumn<int>("choice");
    QTest::addColumn<QSet<quint16>>("unusable");

    QTest::newRow("Com2 unusable") << quint16(1) << 2 << QSet<quint16> {2};
    QTest::newRow("Com1 unusable from port 2") << quint16(2) << 1 << QSet<quint16> {1};
    QTest::newRow("---") << quint16(1) << 0 << QSet<quint16> {};
    QTest::newRow("--- from port 2") << quint16(2) << 0 << QSet<quint16> {};
}

void tst_Kellaajad::failedConfirmation()
{
    QFETCH(quint16, portInUse);
    QFETCH(int, choice);
    QFETCH(QSet<quint16>, unusable);

    port.setPortNumber(portInUse);
    port.unusablePorts = unusable;
    dialog = std::make_unique<Kellaajad>(store, port);
    QVERIFY(showDialog());
    enterDistinctTimes();
    auto *list = control<QComboBox>(QStringLiteral("PortCombo"));
    list->setCurrentIndex(choice);

    bool openWhileShown = false;
    quint16 portWhileShown = 0;
    MessageBoxCatcher catcher([&] {
        openWhileShown = dialog->isVisible();
        portWhileShown = port.portNumber();
    });
    QTest::mouseClick(control<QPushButton>(QStringLiteral("ComOK")), Qt::LeftButton);

    QCOMPARE(catcher.shown, 1);
    QCOMPARE(catcher.text, QStringLiteral("Valitud pordi aktiveerimine ei õnnestunud"));
    QCOMPARE(catcher.title, QStringLiteral("Relvoog"));
    QCOMPARE(catcher.icon, QMessageBox::Critical);
    QCOMPARE(catcher.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(catcher.buttonCount, 1);
    QVERIFY(openWhileShown);
    // The previous port is back before the message, so the clock's frames never meet the
    // rejected one.
    QCOMPARE(portWhileShown, portInUse);

    QVERIFY(dialog->isVisible());
    QCOMPARE(port.portNumber(), portInUse);
    QCOMPARE(port.wire, QStringList {QStringLiteral("open%1!").arg(choice)});
    QCOMPARE(list->currentIndex(), choice);
    for (int channel = 1; channel <= 8; ++channel) {
        QCOMPARE(store.SwitchOnTime(channel), switchOnOf(channel));
        QCOMPARE(store.SwitchOffTime(channel), switchOffOf(channel));
        QCOMPARE(picker(channel, true)->time(), switchOnOf(channel));
        QCOMPARE(picker(channel, false)->time(), switchOffOf(channel));
    }
}

void tst_Kellaajad::cancelAfterFailedConfirmationKeepsTheStoredTimes()
{
    port.unusablePorts = {2};
    QVERIFY(showDialog());
    enterDistinctTimes();
    control<QComboBox>(QStringLiteral("PortCombo"))->setCurrentIndex(2);
    {
        MessageBoxCatcher catcher;
        QTest::mouseClick(control<QPushButton>(QStringLiteral("ComOK")), Qt::LeftButton);
        QCOMPARE(catcher.shown, 1);
    }
    QTest::mouseClick(control<QPushButton>(QStringLiteral("ComCancel")), Qt::LeftButton);

    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(port.portNumber(), quint16(1));
    for (int channel = 1; channel <= 8; ++channel) {
        QCOMPARE(store.SwitchOnTime(channel), switchOnOf(channel));
        QCOMPARE(store.SwitchOffTime(channel), switchOffOf(channel));
    }
}

void tst_Kellaajad::cancellation_data()
{
    QTest::addColumn<QString>("how");

    QTest::newRow("ComCancel") << QStringLiteral("click");
    QTest::newRow("Esc") << QStringLiteral("Esc");
    QTest::newRow("Alt+E") << QStringLiteral("Alt+E");
    QTest::newRow("close box") << QStringLiteral("close");
}

void tst_Kellaajad::cancellation()
{
    QFETCH(QString, how);

    store.setSwitchOnTime(5, QTime(8, 0));
    store.setSwitchOffTime(5, QTime(9, 30));
    dialog = std::make_unique<Kellaajad>(store, port);
    QVERIFY(showDialog());
    enterDistinctTimes();
    control<QComboBox>(QStringLiteral("PortCombo"))->setCurrentIndex(2);

    if (how == QLatin1String("click"))
        QTest::mouseClick(control<QPushButton>(QStringLiteral("ComCancel")), Qt::LeftButton);
    else if (how == QLatin1String("Esc"))
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    else if (how == QLatin1String("Alt+E"))
        QTest::keyClick(dialog.get(), Qt::Key_E, Qt::AltModifier);
    else
        dialog->windowHandle()->close();

    QTRY_VERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(port.portNumber(), quint16(1));
    QVERIFY(port.wire.isEmpty());
    for (int channel = 1; channel <= 8; ++channel) {
        QCOMPARE(store.SwitchOnTime(channel), channel == 5 ? QTime(8, 0) : QTime());
        QCOMPARE(store.SwitchOffTime(channel), channel == 5 ? QTime(9, 30) : QTime());
    }
}

void tst_Kellaajad::reopeningShowsWhatWasConfirmed()
{
    QVERIFY(showDialog());
    enterDistinctTimes();
    picker(3, false)->setTime(QTime(0, 0));
    control<QComboBox>(QStringLiteral("PortCombo"))->setCurrentIndex(2);
    QTest::mouseClick(control<QPushButton>(QStringLiteral("ComOK")), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());

    dialog = std::make_unique<Kellaajad>(store, port);
    QVERIFY(showDialog());
    for (int channel = 1; channel <= 8; ++channel) {
        QCOMPARE(picker(channel, true)->time(), switchOnOf(channel));
        QCOMPARE(picker(channel, false)->time(), channel == 3 ? QTime(0, 0) : switchOffOf(channel));
    }
    auto *list = control<QComboBox>(QStringLiteral("PortCombo"));
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->currentText(), QStringLiteral("Com2"));
    QCOMPARE(control<QWidget>(QStringLiteral("ComOK")), QApplication::focusWidget());
}

namespace {
// The main window's side of the clock: channel state, a board behind the recording port, and
// the tick on an injected clock.
struct Rig
{
    explicit Rig(RecordingPort &port, Module1 &store)
        : board(port)
        , channels(board, store, view)
        , clock(channels, store, view, [this] { return now; })
    { }

    RelayBoard board;
    RecordingView view;
    ChannelControl channels;
    QDateTime now {QDate(2026, 5, 4), QTime(18, 30, 0)};
    ScheduleClock clock;
};
} // namespace

void tst_Kellaajad::clockTicksWhileTheDialogIsOpen()
{
    Rig rig(port, store);
    rig.channels.load();
    store.setSwitchOnTime(2, QTime(18, 30));
    store.setSwitchOffTime(2, QTime(19, 0));
    rig.channels.toggleAutoMode(2);
    QCOMPARE(rig.channels.AutoMode(2), 1);
    const int latchesBefore = port.boards[1].latches();
    rig.clock.start();

    Kellaajad shown(store, port);
    int latchesWhileOpen = 0;
    quint8 outputsWhileOpen = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &shown, [&] {
        if (port.boards[1].latches() < latchesBefore + 3)
            return;
        latchesWhileOpen = port.boards[1].latches() - latchesBefore;
        outputsWhileOpen = port.boards[1].outputs();
        shown.reject();
    });
    watch.start(1);
    QTimer::singleShot(10000, &shown, &QDialog::reject);

    QCOMPARE(shown.exec(), int(QDialog::Rejected));
    QVERIFY2(latchesWhileOpen >= 3, "no frames were written while the dialog was open");
    // The schedule is applied too: channel 2 is due at 18:30:00.
    QCOMPARE(outputsWhileOpen, quint8(0x02));
}

void tst_Kellaajad::clockTicksWhileTheMessageIsShown()
{
    Rig rig(port, store);
    rig.channels.load();
    port.unusablePorts = {2};
    port.clearWire();
    rig.clock.start();

    Kellaajad shown(store, port);
    shown.findChild<QComboBox *>(QStringLiteral("PortCombo"))->setCurrentIndex(2);
    int latchesAtMessage = -1;
    int latchesWhileShown = 0;
    // Waits inside the message box's own event loop until some ticks have gone by.
    MessageBoxCatcher catcher(
        [&] { latchesWhileShown = port.boards[1].latches() - latchesAtMessage; },
        [&] {
            if (latchesAtMessage < 0)
                latchesAtMessage = port.boards[1].latches();
            return port.boards[1].latches() >= latchesAtMessage + 3;
        });
    QTimer::singleShot(0, &shown, [&] {
        shown.findChild<QPushButton *>(QStringLiteral("ComOK"))->click();
        shown.reject();
    });
    QTimer::singleShot(10000, &shown, &QDialog::reject);

    QCOMPARE(shown.exec(), int(QDialog::Rejected));
    QCOMPARE(catcher.shown, 1);
    QVERIFY(latchesWhileShown >= 3);
    // Only the trial met the unusable port; every frame went to the port in use.
    QCOMPARE(port.wire.count(QStringLiteral("open2!")), 1);
    QCOMPARE(port.wire.count(QStringLiteral("open2")), 0);
    QCOMPARE(port.portNumber(), quint16(1));
}

QTEST_MAIN(tst_Kellaajad)
#include "tst_kellaajad.moc"
