#include "ChannelRig.h"
#include "Kellaajad.h"
#include "ModalSteps.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>
#include <QWindow>
#include <QtTest>

namespace {

// The dialog's tab order as a user walks it with the Tab key; it wraps round to ComOK.
const QStringList kTabOrder = {QStringLiteral("ComOK"), QStringLiteral("Relee1Sisse"),
    QStringLiteral("Relee1Valja"), QStringLiteral("ComCancel"), QStringLiteral("Relee2Valja"),
    QStringLiteral("Relee2Sisse"), QStringLiteral("Relee3Valja"), QStringLiteral("Relee3Sisse"),
    QStringLiteral("Relee4Valja"), QStringLiteral("Relee4Sisse"), QStringLiteral("Relee5Valja"),
    QStringLiteral("Relee5Sisse"), QStringLiteral("Relee6Valja"), QStringLiteral("Relee6Sisse"),
    QStringLiteral("Relee7Valja"), QStringLiteral("Relee7Sisse"), QStringLiteral("Relee8Valja"),
    QStringLiteral("Relee8Sisse"), QStringLiteral("PortCombo")};

// A picker hands its focus to its inner editor; the named control is its owner.
QString focusedControl()
{
    QWidget *widget = QApplication::focusWidget();
    while (widget && widget->objectName().isEmpty())
        widget = widget->parentWidget();
    return widget ? widget->objectName() : QString();
}

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
// confirming and cancelling do to the store and the port. What the confirmation does to them in
// every port situation is ScheduleConfirmation's, tested on its own.
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
    void firstOpening();
    void confirmation_data();
    void confirmation();
    void failedConfirmationThenCancel_data();
    void failedConfirmationThenCancel();
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
    void clickOk()
    {
        QTest::mouseClick(control<QPushButton>(QStringLiteral("ComOK")), Qt::LeftButton);
    }

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

    // The focus starts on the default button, so that Enter confirms at once. Then one step of
    // the tab order each way with the keys; a picker would keep Tab for its own fields.
    QCOMPARE(focusedControl() == name, name == kTabOrder.first());
    const qsizetype stop = kTabOrder.indexOf(name);
    if (stop < 0) {
        QVERIFY(!(widget->focusPolicy() & Qt::TabFocus));
        return;
    }
    widget->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(focusedControl(), kTabOrder.at((stop + 1) % kTabOrder.size()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(focusedControl(), name);
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

void tst_Kellaajad::firstOpening()
{
    QVERIFY(showDialog());
    for (int channel = 1; channel <= 8; ++channel) {
        QCOMPARE(picker(channel, true)->text(), QStringLiteral("00:00:00"));
        QCOMPARE(picker(channel, false)->text(), QStringLiteral("00:00:00"));
    }
    auto *list = control<QComboBox>(QStringLiteral("PortCombo"));
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->itemText(0), QStringLiteral("---"));
    QCOMPARE(list->itemText(1), QStringLiteral("Com1"));
    QCOMPARE(list->itemText(2), QStringLiteral("Com2"));
    QCOMPARE(list->currentText(), QStringLiteral("Com1"));
    QVERIFY(port.wire.isEmpty());
}

void tst_Kellaajad::confirmation_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("choice");
    QTest::addColumn<bool>("editTimes");

    QTest::newRow("ComOK without change") << QStringLiteral("click") << 1 << false;
    QTest::newRow("Enter right after showing") << QStringLiteral("Enter") << 1 << false;
    QTest::newRow("Alt+S") << QStringLiteral("Alt+S") << 1 << true;
    QTest::newRow("Com2 working") << QStringLiteral("click") << 2 << true;
}

void tst_Kellaajad::confirmation()
{
    QFETCH(QString, how);
    QFETCH(int, choice);
    QFETCH(bool, editTimes);

    QVERIFY(showDialog());
    if (editTimes)
        enterDistinctTimes();
    control<QComboBox>(QStringLiteral("PortCombo"))->setCurrentIndex(choice);

    // A message would stop the test in its own event loop; it is answered and counted.
    ShownMessage message;
    ModalSteps user([&](QWidget *modal) {
        message.answer(modal);
        return false;
    });
    if (how == QLatin1String("click"))
        clickOk();
    else if (how == QLatin1String("Enter"))
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    else
        QTest::keyClick(dialog.get(), Qt::Key_S, Qt::AltModifier);

    QTRY_VERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(message.shown, 0);
    QCOMPARE(port.portNumber(), quint16(choice));
    // One trial of the chosen port, with nothing on the lines.
    QCOMPARE(
        port.wire, QStringList({QStringLiteral("open%1").arg(choice), QStringLiteral("close")}));
    for (int channel = 1; channel <= 8; ++channel) {
        // Also untouched pickers are stored: their midnight replaces the empty slot.
        QCOMPARE(store.SwitchOnTime(channel), editTimes ? switchOnOf(channel) : QTime(0, 0));
        QCOMPARE(store.SwitchOffTime(channel), editTimes ? switchOffOf(channel) : QTime(0, 0));
    }
}

void tst_Kellaajad::failedConfirmationThenCancel_data()
{
    QTest::addColumn<int>("choice");
    QTest::addColumn<QSet<quint16>>("unusable");

    QTest::newRow("Com2 missing") << 2 << QSet<quint16> {2};
    QTest::newRow("---") << 0 << QSet<quint16> {};
}

void tst_Kellaajad::failedConfirmationThenCancel()
{
    QFETCH(int, choice);
    QFETCH(QSet<quint16>, unusable);

    port.unusablePorts = unusable;
    QVERIFY(showDialog());
    enterDistinctTimes();
    auto *list = control<QComboBox>(QStringLiteral("PortCombo"));
    list->setCurrentIndex(choice);

    // Answers every message, so that one where none belongs fails the test instead of holding it.
    ShownMessage message;
    ModalSteps user([&](QWidget *modal) {
        message.answer(modal);
        return false;
    });
    clickOk();

    QCOMPARE(message.shown, 1);
    QCOMPARE(message.text, QStringLiteral("Valitud pordi aktiveerimine ei õnnestunud"));
    QCOMPARE(message.title, QStringLiteral("Relvoog"));
    QCOMPARE(message.icon, QMessageBox::Critical);
    QCOMPARE(message.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    // The user can choose again: the dialog, the list and the pickers are as they were, while the
    // times are stored already and the port is the one before.
    QVERIFY(dialog->isVisible());
    QCOMPARE(port.portNumber(), quint16(1));
    QCOMPARE(list->currentIndex(), choice);
    for (int channel = 1; channel <= 8; ++channel) {
        QCOMPARE(picker(channel, true)->time(), switchOnOf(channel));
        QCOMPARE(picker(channel, false)->time(), switchOffOf(channel));
    }

    // Cancelling now does not take the stored times back.
    QTest::mouseClick(control<QPushButton>(QStringLiteral("ComCancel")), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(message.shown, 1);
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
        QCOMPARE(store.SwitchOnTime(channel), QTime());
        QCOMPARE(store.SwitchOffTime(channel), QTime());
    }
}

void tst_Kellaajad::reopeningShowsWhatWasConfirmed()
{
    QVERIFY(showDialog());
    enterDistinctTimes();
    control<QComboBox>(QStringLiteral("PortCombo"))->setCurrentIndex(2);
    clickOk();
    QVERIFY(!dialog->isVisible());

    dialog = std::make_unique<Kellaajad>(store, port);
    QVERIFY(showDialog());
    for (int channel = 1; channel <= 8; ++channel) {
        QCOMPARE(picker(channel, true)->time(), switchOnOf(channel));
        QCOMPARE(picker(channel, false)->time(), switchOffOf(channel));
    }
    auto *list = control<QComboBox>(QStringLiteral("PortCombo"));
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->currentText(), QStringLiteral("Com2"));
}

void tst_Kellaajad::clockTicksWhileTheDialogIsOpen()
{
    ChannelRig rig;
    rig.channels.load();
    rig.clock.start();
    const int before = rig.port.boards[1].latches();

    // Bounded, so that a clock that stopped fails the test instead of holding it.
    const QDeadlineTimer deadline(10000);
    Kellaajad shown(rig.store, rig.port);
    ModalSteps user([&](QWidget *modal) {
        if (modal != &shown
            || (rig.port.boards[1].latches() < before + 3 && !deadline.hasExpired()))
            return false;
        shown.reject();
        return true;
    });

    QCOMPARE(shown.exec(), int(QDialog::Rejected));
    QVERIFY2(rig.port.boards[1].latches() >= before + 3, "no frames while the dialog was open");
}

void tst_Kellaajad::clockTicksWhileTheMessageIsShown()
{
    ChannelRig rig;
    rig.channels.load();
    rig.port.unusablePorts = {2};
    rig.port.clearWire();
    rig.clock.start();

    Kellaajad shown(rig.store, rig.port);
    shown.findChild<QComboBox *>(QStringLiteral("PortCombo"))->setCurrentIndex(2);
    int atMessage = -1;
    int whileShown = 0;
    const QDeadlineTimer deadline(10000);
    ModalSteps user([&](QWidget *modal) {
        if (!qobject_cast<QMessageBox *>(modal))
            return false;
        const int latches = rig.port.boards[1].latches();
        if (atMessage < 0)
            atMessage = latches;
        if (latches < atMessage + 3 && !deadline.hasExpired())
            return false;
        whileShown = latches - atMessage;
        return ShownMessage().answer(modal);
    });
    QTimer::singleShot(0, &shown, [&] {
        shown.findChild<QPushButton *>(QStringLiteral("ComOK"))->click();
        shown.reject();
    });

    QCOMPARE(shown.exec(), int(QDialog::Rejected));
    QVERIFY2(whileShown >= 3, "no frames while the message was shown");
    // Only the trial met the missing port; every frame went to the port in use.
    QCOMPARE(rig.port.wire.count(QStringLiteral("open2!")), 1);
    QCOMPARE(rig.port.wire.count(QStringLiteral("open2")), 0);
    QCOMPARE(rig.port.portNumber(), quint16(1));
}

QTEST_MAIN(tst_Kellaajad)
#include "tst_kellaajad.moc"
