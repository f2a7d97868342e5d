// SPDX-License-Identifier: MIT
#include "ChannelRig.h"
#include "Kellaajad.h"
#include "ModalSteps.h"

#include <QComboBox>
#include <QPushButton>
#include <QTimeEdit>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
QTime switchOnOf(int channel)
{
    return QTime(6 + channel, 15, channel);
}

QTime switchOffOf(int channel)
{
    return QTime(12 + channel, 45, 59 - channel);
}

// The dialog as the window shows it, on the recording port, answering every message box so that
// one where none belongs fails the test instead of holding it.
struct Shown : ChannelRig
{
    Shown()
    {
        dialog.show();
        dialog.activateWindow();
    }
    template<class T> T *find(const QString &name) const { return dialog.findChild<T *>(name); }
    QTimeEdit *picker(int channel, bool switchOn) const
    {
        return find<QTimeEdit>(u"Relee%1%2"_s.arg(channel).arg(switchOn ? u"Sisse"_s : u"Valja"_s));
    }
    QComboBox *portCombo() const { return find<QComboBox>(u"PortCombo"_s); }
    void enterDistinctTimes()
    {
        for (int channel = 1; channel <= kChannelCount; ++channel) {
            picker(channel, true)->setTime(switchOnOf(channel));
            picker(channel, false)->setTime(switchOffOf(channel));
        }
    }

    Kellaajad dialog {confirmation};
    ShownMessage message;
    ModalSteps user {[this](QWidget *modal) {
        message.answer(modal);
        return false;
    }};
};
} // namespace

// The schedule and port dialog as the user meets it: what it shows, and what confirming and
// cancelling do to the store and the port.
class tst_Kellaajad : public QObject
{
    Q_OBJECT

private slots:
    void confirmation_data();
    void confirmation();
    void roadByKeyboard_data();
    void roadByKeyboard();
    void failedConfirmationThenCancel();
    void cancelDuringTheTrial();
};

void tst_Kellaajad::confirmation_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("choice");
    QTest::addColumn<bool>("editTimes");

    QTest::newRow("ComOK without change") << u"click"_s << 1 << false;
    // The second press comes while the first one's trial is under way, and is ignored.
    QTest::newRow("ComOK twice, Com2") << u"click twice"_s << 2 << false;
    QTest::newRow("Alt+S, Com2") << u"Alt+S"_s << 2 << true;
}

void tst_Kellaajad::confirmation()
{
    QFETCH(QString, how);
    QFETCH(int, choice);
    QFETCH(bool, editTimes);

    Shown shown;
    QVERIFY(QTest::qWaitForWindowActive(&shown.dialog));
    if (editTimes)
        shown.enterDistinctTimes();
    shown.portCombo()->setCurrentIndex(choice);

    if (how.startsWith(u"click"_s))
        QTest::mouseClick(shown.find<QPushButton>(u"ComOK"_s), Qt::LeftButton);
    if (how == u"click twice"_s)
        QTest::mouseClick(shown.find<QPushButton>(u"ComOK"_s), Qt::LeftButton);
    if (how == u"Alt+S"_s)
        QTest::keyClick(&shown.dialog, Qt::Key_S, Qt::AltModifier);

    QTRY_VERIFY(!shown.dialog.isVisible());
    QCOMPARE(shown.dialog.result(), int(QDialog::Accepted));
    QCOMPARE(shown.message.shown, 0);
    QCOMPARE(shown.board.portNumber(), quint16(choice));
    // One trial of the chosen port, with nothing on the lines.
    QCOMPARE(shown.port.wire, QStringList({u"open%1"_s.arg(choice), u"close"_s}));
    // Also untouched pickers are stored: their midnight replaces the empty slot. Shown again,
    // the dialog is built from what was stored, with the port in use chosen.
    Kellaajad again(shown.confirmation);
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        QCOMPARE(shown.store.SwitchOnTime(channel), editTimes ? switchOnOf(channel) : QTime(0, 0));
        QCOMPARE(
            shown.store.SwitchOffTime(channel), editTimes ? switchOffOf(channel) : QTime(0, 0));
        QCOMPARE(again.findChild<QTimeEdit *>(u"Relee%1Valja"_s.arg(channel))->time(),
            shown.store.SwitchOffTime(channel));
    }
    QCOMPARE(again.findChild<QComboBox *>(u"PortCombo"_s)->currentIndex(), choice);
}

void tst_Kellaajad::roadByKeyboard_data()
{
    // Typed into the first picker: digits, "<" and ">" for Left and Right, "^" and "v" for Up
    // and Down.
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QTime>("switchOn");

    QTest::newRow("two digits a field") << u"073006"_s << QTime(7, 30, 6);
    QTest::newRow("a digit no second can follow fills its field") << u"7306"_s << QTime(7, 30, 6);
    QTest::newRow("a digit too many starts the field anew") << u"2571"_s << QTime(5, 7, 1);
    QTest::newRow("Right and Left move a whole field") << u">>59<<12"_s << QTime(12, 0, 59);
}

void tst_Kellaajad::roadByKeyboard()
{
    QFETCH(QString, keys);
    QFETCH(QTime, switchOn);

    Shown shown;
    QVERIFY(QTest::qWaitForWindowActive(&shown.dialog));
    const auto type = [](const QString &keys) {
        const Qt::Key arrows[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down};
        for (const QChar key : keys) {
            const qsizetype arrow = u"<>^v"_s.indexOf(key);
            QTest::keyClick(
                QApplication::focusWidget(), arrow < 0 ? Qt::Key(key.unicode()) : arrows[arrow]);
        }
    };
    // The focus starts on ComOK; Tab leads to channel 1's pickers, switch-on first.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    type(keys);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    type(u"2215"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);

    QTRY_VERIFY(!shown.dialog.isVisible());
    QCOMPARE(shown.dialog.result(), int(QDialog::Accepted));
    QCOMPARE(shown.store.SwitchOnTime(1), switchOn);
    QCOMPARE(shown.store.SwitchOffTime(1), QTime(22, 15));
}

void tst_Kellaajad::failedConfirmationThenCancel()
{
    // Com2 is missing; "---", no port at all, fails the same way.
    const int choice = 2;
    Shown shown;
    shown.port.unusablePorts = {2};
    shown.enterDistinctTimes();
    shown.portCombo()->setCurrentIndex(choice);
    QTest::mouseClick(shown.find<QPushButton>(u"ComOK"_s), Qt::LeftButton);

    QTRY_COMPARE(shown.message.shown, 1);
    // The reason comes on a line of its own, with what helps on the next.
    const QStringList lines = shown.message.text.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], u"Valitud pordi aktiveerimine ei õnnestunud"_s);
    QCOMPARE(lines[1], u"port %1 failed"_s.arg(choice));
    // The user can choose again: the dialog and the list are as they were, while the times are
    // stored already and the port is the one before.
    QVERIFY(shown.dialog.isVisible());
    QCOMPARE(shown.board.portNumber(), quint16(1));
    QCOMPARE(shown.portCombo()->currentIndex(), choice);

    // Cancelling now does not take the stored times back.
    QTest::mouseClick(shown.find<QPushButton>(u"ComCancel"_s), Qt::LeftButton);
    QVERIFY(!shown.dialog.isVisible());
    QCOMPARE(shown.board.portNumber(), quint16(1));
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        QCOMPARE(shown.store.SwitchOnTime(channel), switchOnOf(channel));
        QCOMPARE(shown.store.SwitchOffTime(channel), switchOffOf(channel));
    }
}

void tst_Kellaajad::cancelDuringTheTrial()
{
    // The trial of Com2 is still under way (a slow adapter) when the user cancels: once it
    // answers, the frames must go on to port 1, which the status line still shows.
    Shown shown;
    shown.portCombo()->setCurrentIndex(2);
    QTest::mouseClick(shown.find<QPushButton>(u"ComOK"_s), Qt::LeftButton);
    QTest::mouseClick(shown.find<QPushButton>(u"ComCancel"_s), Qt::LeftButton);
    QTest::qWait(0);

    QCOMPARE(shown.board.portNumber(), quint16(1));
    QCOMPARE(shown.view.portLabel, QString());
    QCOMPARE(shown.message.shown, 0);
    shown.channels.manualSwitch(3);
    QCOMPARE(shown.port.boards[1].outputs(), 0x04);
}

QTEST_MAIN(tst_Kellaajad)
#include "tst_kellaajad.moc"
