// SPDX-License-Identifier: MIT
#include "ChannelRig.h"
#include "Kellaajad.h"
#include "Lamp.h"
#include "ModalSteps.h"
#include "Peavorm.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QTimeEdit>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
// A started program as main() composes it, on a recording port, with a clock the test sets.
struct Program : ChannelRig
{
    explicit Program(const QSet<quint16> &unusableAtStart = {})
    {
        port.unusablePorts = unusableAtStart;
        channels.load();
        window.show();
        clock.start();
    }

    template<class T = QPushButton> T *find(const QString &name) const
    {
        return window.findChild<T *>(name);
    }
    QPushButton *relee(int channel) const { return find(u"Relee%1"_s.arg(channel)); }
    QPushButton *autoButton(int channel) const { return find(u"Auto%1"_s.arg(channel)); }
    Lamp *led(int channel) const { return find<Lamp>(u"LED%1"_s.arg(channel)); }
    Lamp *ledAuto(int channel) const { return find<Lamp>(u"LEDAUTO%1"_s.arg(channel - 1)); }
    QString text(const QString &label) const { return find<QLabel>(label)->text(); }
    quint8 outputs(quint16 number = 1) { return port.boards[number].outputs(); }

    Peavorm window {channels, clock, confirmation};
};

// What a channel looks like: its caption and lamp colour name its state.
void verifyShown(const Program &program, quint8 outputs)
{
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        const bool on = outputs >> (channel - 1) & 1;
        QCOMPARE(program.relee(channel)->text(), on ? u"V"_s : u"S"_s);
        QCOMPARE(program.led(channel)->backColour(), on ? 255u : 65280u);
    }
}
} // namespace

// The main window as the user meets it: what a click or key does to the board and the
// indicators, the tick, the road of a schedule, and quitting.
class tst_Peavorm : public QObject
{
    Q_OBJECT

private slots:
    void keysAndClicks_data();
    void keysAndClicks();
    void roadOfASchedule();
    void lampsSayTheirState();
    void portLabelTellsWhyFramesFail_data();
    void portLabelTellsWhyFramesFail();
    void portLabelTellsTheBroker();
    void quit_data();
    void quit();
};

void tst_Peavorm::keysAndClicks_data()
{
    QTest::addColumn<QString>("focus"); // empty: where the focus is at start
    QTest::addColumn<QList<int>>("keys"); // empty: a mouse click on the focus
    QTest::addColumn<bool>("autoRepeat");
    QTest::addColumn<int>("outputs");
    QTest::addColumn<QString>("message");

    QTest::newRow("click on Relee3") << u"Relee3"_s << QList<int>() << false << 0x04 << QString();
    // The focus starts on Relee4, the first in the tab order.
    QTest::newRow("Enter right after start")
        << QString() << QList<int> {Qt::Key_Return} << false << 0x08 << QString();
    // Auto4 without times shows the dialog; cancelled, it leaves them undefined, and the
    // automatic mode is refused.
    QTest::newRow("Tab then space reaches Auto4, which is refused without times")
        << QString() << QList<int> {Qt::Key_Tab, Qt::Key_Space} << false << 0x00
        << ChannelControl::refusalText();
    // A held key repeats its press, and a relay must not chatter with it.
    QTest::newRow("keypad Enter held on Relee7")
        << u"Relee7"_s << QList<int> {Qt::Key_Enter} << true << 0x40 << QString();
}

void tst_Peavorm::keysAndClicks()
{
    QFETCH(QString, focus);
    QFETCH(QList<int>, keys);
    QFETCH(bool, autoRepeat);
    QFETCH(int, outputs);
    QFETCH(QString, message);

    Program program;
    program.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&program.window));
    ShownMessage refusal;
    ModalSteps user([&](QWidget *modal) {
        if (auto *dialog = qobject_cast<QDialog *>(modal);
            dialog && !qobject_cast<QMessageBox *>(modal))
            dialog->reject();
        return refusal.answer(modal);
    });
    if (!focus.isEmpty())
        program.find(focus)->setFocus(Qt::TabFocusReason);
    if (keys.isEmpty())
        QTest::mouseClick(QApplication::focusWidget(), Qt::LeftButton);
    for (int key : keys) {
        QTest::keyPress(QApplication::focusWidget(), Qt::Key(key), {}, -1);
        if (autoRepeat) {
            QKeyEvent repeat(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
            QApplication::sendEvent(QApplication::focusWidget(), &repeat);
        }
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key(key));
    }

    QCOMPARE(program.outputs(), quint8(outputs));
    verifyShown(program, quint8(outputs));
    QCOMPARE(refusal.text, message);
    if (!message.isEmpty()) {
        QCOMPARE(refusal.title, u"Relvoog"_s);
        QCOMPARE(refusal.icon, QMessageBox::Critical);
        QVERIFY(!program.ledAuto(4)->isOpaque());
    }
}

void tst_Peavorm::roadOfASchedule()
{
    Program program;
    program.now = QDateTime(QDate(2024, 3, 5), QTime(6, 59, 58));
    ModalSteps user([&](QWidget *modal) {
        if (!modal || modal->objectName() != u"Kellaajad"_s)
            return false;
        modal->findChild<QTimeEdit *>(u"Relee5Sisse"_s)->setTime(QTime(7, 0, 0));
        modal->findChild<QTimeEdit *>(u"Relee5Valja"_s)->setTime(QTime(7, 0, 2));
        modal->findChild<QComboBox *>(u"PortCombo"_s)->setCurrentIndex(2);
        QTest::keyClick(modal, Qt::Key_Return);
        return true;
    });
    ShownMessage message;
    ModalSteps answer([&](QWidget *modal) { return message.answer(modal) && false; });

    // Channel 5 has no switching times yet: its automatic button opens the dialog, and the times
    // confirmed there put it into automatic mode with the same press.
    QTest::mouseClick(program.autoButton(5), Qt::LeftButton);
    QVERIFY(user.done());
    QCOMPARE(message.shown, 0);
    QVERIFY(program.ledAuto(5)->isOpaque());
    QCOMPARE(program.text(u"PortLabel"_s), u"2"_s);

    for (const QDate day : {QDate(2024, 3, 5), QDate(2024, 3, 6)}) {
        program.now = QDateTime(day, QTime(7, 0, 0, 30));
        QTRY_COMPARE(program.outputs(2), quint8(0x10));
        verifyShown(program, 0x10);
        QCOMPARE(program.text(u"Kell"_s), u"07:00:00"_s);
        QCOMPARE(program.text(u"Kuupaev"_s), day.toString(u"MM-dd-yyyy"_s));

        program.now = QDateTime(day, QTime(7, 0, 2, 500));
        QTRY_COMPARE(program.outputs(2), quint8(0));
        verifyShown(program, 0);
        QVERIFY(program.ledAuto(5)->isOpaque());
    }

    // Esc, wherever the focus is, is ComOFF: every output off and every channel manual.
    QTest::mouseClick(program.relee(8), Qt::LeftButton);
    QCOMPARE(program.outputs(2), quint8(0x80));
    QTest::keyClick(&program.window, Qt::Key_Escape);
    QCOMPARE(program.outputs(2), quint8(0));
    verifyShown(program, 0);
    QVERIFY(!program.ledAuto(5)->isOpaque());
}

void tst_Peavorm::lampsSayTheirState()
{
    // A screen reader has only the words for what the colours show.
    Program program;
    const auto name = [](Lamp *lamp) {
        QAccessibleInterface *read = QAccessible::queryAccessibleInterface(lamp);
        // A plain widget's role, filler, is one that screen readers do not read.
        return read->role() == QAccessible::StaticText ? read->text(QAccessible::Name) : QString();
    };
    QCOMPARE(name(program.led(5)), u"Relee 5: väljas"_s);
    QCOMPARE(name(program.ledAuto(5)), u"Relee 5: käsitsijuhtimine"_s);
    QTest::mouseClick(program.relee(5), Qt::LeftButton);
    QCOMPARE(name(program.led(5)), u"Relee 5: sees"_s);
    program.enterAutomatic(5, QTime(7, 0), QTime(8, 0));
    QCOMPARE(name(program.ledAuto(5)), u"Relee 5: automaatjuhtimine"_s);
}

void tst_Peavorm::portLabelTellsWhyFramesFail_data()
{
    QTest::addColumn<QSet<quint16>>("unusableAtStart");
    QTest::addColumn<int>("openError"); // port 1 fails from now on; 0: it does not
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("firstLine"); // of the tooltip; a line of advice follows

    QTest::newRow("no permission") << QSet<quint16>() << EACCES << "1"
                                   << "port 1 failed";
    QTest::newRow("port 1 left at start") << QSet<quint16> {1} << 0 << "2"
                                          << "Port 1 jäeti: port 1 failed";
}

void tst_Peavorm::portLabelTellsWhyFramesFail()
{
    QFETCH(QSet<quint16>, unusableAtStart);
    QFETCH(int, openError);
    QFETCH(QString, label);
    QFETCH(QString, firstLine);

    if (!unusableAtStart.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"kirjutamine ebaõnnestus"_s));
    Program program(unusableAtStart);
    program.port.unusablePorts.clear();
    if (openError) {
        program.port.unusablePorts << 1;
        program.port.openError = openError;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"kirjutamine ebaõnnestus"_s));
    }
    program.clock.tick();

    // Red while frames fail, so that lamps the board never got do not pass for its outputs.
    auto *portLabel = program.find<QLabel>(u"PortLabel"_s);
    const auto colour = [portLabel] { return portLabel->palette().color(QPalette::WindowText); };
    QCOMPARE(portLabel->text(), label);
    QCOMPARE(colour(), openError ? QColor(Qt::red) : QColor(Qt::blue));
    const QString toolTip = portLabel->toolTip();
    const QStringList lines = toolTip.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], firstLine);
    QVERIFY(!lines[1].isEmpty());
    QCOMPARE(
        QAccessible::queryAccessibleInterface(portLabel)->text(QAccessible::Description), toolTip);

    // The first frame that gets through restores the look; why a port was left stays told.
    program.port.unusablePorts.clear();
    program.clock.tick();
    QCOMPARE(colour(), QColor(Qt::blue));
    QCOMPARE(portLabel->toolTip(), openError ? QString() : toolTip);
}

void tst_Peavorm::portLabelTellsTheBroker()
{
    Program program;
    auto *portLabel = program.find<QLabel>(u"PortLabel"_s);
    program.window.showBrokerState(false, u"Connection refused"_s);
    const QString lost = portLabel->toolTip();
    QVERIFY2(lost.startsWith(u"MQTT"_s) && lost.contains(u"refused"_s), qPrintable(lost));
    program.window.showBrokerState(true, u"broker.lan:1883"_s);
    QVERIFY2(portLabel->toolTip().contains(u"broker.lan:1883"_s), qPrintable(portLabel->toolTip()));
    // Nothing but the tooltip tells it: the port number keeps its colour.
    QCOMPARE(portLabel->palette().color(QPalette::WindowText), QColor(Qt::blue));
}

void tst_Peavorm::quit_data()
{
    QTest::addColumn<bool>("dialogOpen"); // the settings dialog is open when the quit comes

    QTest::newRow("quit button") << false;
    // As a signal quits it: the dialog's own event loop must end too.
    QTest::newRow("settings dialog open") << true;
}

void tst_Peavorm::quit()
{
    QFETCH(bool, dialogOpen);

    Program program;
    QTest::mouseClick(program.relee(2), Qt::LeftButton);
    QCOMPARE(program.outputs(), quint8(0x02));
    program.port.wire.clear();

    if (dialogOpen) {
        ModalSteps quitter([&](QWidget *modal) {
            if (modal)
                program.window.CloseMain();
            return modal != nullptr;
        });
        QTest::mouseClick(program.find(u"ComLisad"_s), Qt::LeftButton);
    } else {
        QTest::mouseClick(program.find(u"ComLopp"_s), Qt::LeftButton);
    }
    QVERIFY(!program.window.isVisible());
    QVERIFY(!QApplication::activeModalWidget());

    // A few tick intervals: no frame may follow the quit, the relays keep their last state.
    QTest::qWait(int(3 * ScheduleClock::kTickInterval.count()));
    QCOMPARE(program.port.wire, QStringList());
    QCOMPARE(program.outputs(), quint8(0x02));

    // The quit told every event loop to end; a loop run here starts the next test afresh.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
}

QTEST_MAIN(tst_Peavorm)
#include "tst_peavorm.moc"
