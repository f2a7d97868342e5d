#include "ChannelControl.h"
#include "Indicators.h"
#include "Lamp.h"
#include "ModalSteps.h"
#include "Peavorm.h"
#include "RecordingPort.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>
#include <QtTest>

#include <memory>

namespace {
// The tab order as a user walks it with the Tab key.
const QStringList kTabOrder = {QStringLiteral("Relee4"), QStringLiteral("Auto4"),
    QStringLiteral("Auto1"), QStringLiteral("Relee1"), QStringLiteral("Auto7"),
    QStringLiteral("Relee7"), QStringLiteral("Auto2"), QStringLiteral("Relee2"),
    QStringLiteral("Auto5"), QStringLiteral("Relee5"), QStringLiteral("Auto8"),
    QStringLiteral("Relee8"), QStringLiteral("Auto3"), QStringLiteral("Relee3"),
    QStringLiteral("Auto6"), QStringLiteral("Relee6"), QStringLiteral("ComOFF"),
    QStringLiteral("ComLisad"), QStringLiteral("ComLopp")};

// A started program: the window on a recording port, with a clock the test sets.
struct Program
{
    Program()
    {
        window = std::make_unique<Peavorm>(port, [this] { return now; });
        window->show();
    }

    template<class T = QWidget> T *find(const QString &name) const
    {
        return window->findChild<T *>(name);
    }
    QPushButton *button(const QString &name) const { return find<QPushButton>(name); }
    QPushButton *relee(int channel) const { return button(QStringLiteral("Relee%1").arg(channel)); }
    QPushButton *autoButton(int channel) const
    {
        return button(QStringLiteral("Auto%1").arg(channel));
    }
    Lamp *led(int channel) const { return find<Lamp>(QStringLiteral("LED%1").arg(channel)); }
    Lamp *ledAuto(int channel) const
    {
        return find<Lamp>(QStringLiteral("LEDAUTO%1").arg(channel - 1));
    }
    QString text(const QString &label) const { return find<QLabel>(label)->text(); }

    // Ticks run from here on, since activation spins the event loop.
    bool activate()
    {
        window->activateWindow();
        return QTest::qWaitForWindowExposed(window.get())
            && QTest::qWaitForWindowActive(window.get());
    }
    void setTimes(int channel, QTime on, QTime off)
    {
        window->module1().setSwitchOnTime(channel, on);
        window->module1().setSwitchOffTime(channel, off);
    }
    quint8 outputs(quint16 number = 1) { return port.boards[number].outputs(); }
    int latches() { return port.boards[1].latches(); }

    RecordingPort port;
    QDateTime now {QDate(2024, 3, 5), QTime(12, 0, 0)};
    std::unique_ptr<Peavorm> window;
};

QColor pixelAt(const QImage &image, const QWidget *window, const QWidget *control)
{
    return image.pixelColor(control->mapTo(window, control->rect().center()));
}

// The panel's own background just right of a control, which a hollow lamp shows through.
QColor besideAt(const QImage &image, const QWidget *window, const QWidget *control)
{
    return image.pixelColor(
        control->mapTo(window, QPoint(control->width() + 3, control->height() / 2)));
}

int countPixels(const QImage &image, const QWidget *window, const QWidget *control, QColor colour)
{
    const QRect area(control->mapTo(window, QPoint(0, 0)), control->size());
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixelColor(x, y) == colour ? 1 : 0;
    return count;
}
} // namespace

// The main window as the user meets it: its controls, what a click or key does to the board and
// the indicators, the tick, quitting, and what it looks like.
class tst_Peavorm : public QObject
{
    Q_OBJECT

private slots:
    void controls_data();
    void controls();
    void lookAtStart();
    void switchButton_data();
    void switchButton();
    void keysOnFocusedButton_data();
    void keysOnFocusedButton();
    void allOff_data();
    void allOff();
    void autoButton();
    void autoButtonRefused();
    void tick();
    void roadOfASchedule();
    void settingsMoveToPort2();
    void quit_data();
    void quit();
    void screenshot();
};

void tst_Peavorm::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QSize>("picture");

    const QString window = QStringLiteral("Peavorm");
    const QString none;
    const QSize noPicture;
    struct Frame
    {
        const char *name;
        int channel;
        QPoint at;
    };
    const Frame frames[] = {
        {"Frame2", 1, {8, 8}},
        {"Frame4", 2, {120, 8}},
        {"Frame7", 3, {232, 8}},
        {"Frame1", 4, {8, 56}},
        {"Frame5", 5, {120, 56}},
        {"Frame8", 6, {232, 56}},
        {"Frame3", 7, {8, 112}},
        {"Frame6", 8, {120, 112}},
    };
    for (const Frame &frame : frames) {
        const QString name = QString::fromLatin1(frame.name);
        const QString n = QString::number(frame.channel);
        QTest::newRow(frame.name) << name << window << QRect(frame.at, QSize(97, 49))
                                  << QStringLiteral("Relee ") + n << none << noPicture;
        QTest::addRow("Relee%d", frame.channel)
            << QStringLiteral("Relee") + n << name << QRect(8, 16, 25, 25) << QStringLiteral("S")
            << QStringLiteral("Väljundi sisse/välja lülitamine") << noPicture;
        QTest::addRow("Auto%d", frame.channel)
            << QStringLiteral("Auto") + n << name << QRect(32, 16, 25, 25) << none
            << QStringLiteral("Väljundi juhtimine kella järgi") << QSize(24, 22);
        QTest::addRow("LEDAUTO%d", frame.channel - 1)
            << QStringLiteral("LEDAUTO%1").arg(frame.channel - 1) << name << QRect(64, 16, 17, 9)
            << none << none << noPicture;
        QTest::addRow("LED%d", frame.channel) << QStringLiteral("LED") + n << name
                                              << QRect(64, 32, 17, 9) << none << none << noPicture;
    }
    QTest::newRow("ComLisad") << QStringLiteral("ComLisad") << window << QRect(232, 120, 49, 17)
                              << QStringLiteral("Seaded")
                              << QStringLiteral("Lülitamise kellaaegade ja pordi seadmine")
                              << noPicture;
    QTest::newRow("ComLopp") << QStringLiteral("ComLopp") << window << QRect(232, 144, 49, 17)
                             << QStringLiteral("Lõpp") << QStringLiteral("Töö lõpetamine")
                             << noPicture;
    QTest::newRow("ComOFF") << QStringLiteral("ComOFF") << window << QRect(288, 120, 41, 41) << none
                            << QStringLiteral("Lülitab kõik releed välja!") << QSize(32, 32);
    // Captions as the window is first shown: the load step has written the port, no tick has run.
    QTest::newRow("Label1") << QStringLiteral("Label1") << window << QRect(16, 168, 33, 17)
                            << QStringLiteral("Täna:") << none << noPicture;
    QTest::newRow("Kell") << QStringLiteral("Kell") << window << QRect(32, 168, 97, 17)
                          << QStringLiteral("00:00:00") << none << noPicture;
    QTest::newRow("Kuupaev") << QStringLiteral("Kuupaev") << window << QRect(120, 168, 65, 17)
                             << QStringLiteral("00-00-0000") << none << noPicture;
    QTest::newRow("Label2") << QStringLiteral("Label2") << window << QRect(224, 168, 25, 17)
                            << QStringLiteral("Port:") << none << noPicture;
    QTest::newRow("PortLabel") << QStringLiteral("PortLabel") << window << QRect(256, 168, 17, 17)
                               << QStringLiteral("1") << none << noPicture;
}

void tst_Peavorm::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(QString, tooltip);
    QFETCH(QSize, picture);

    Program program;
    QWidget *control = program.find(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), parent);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->accessibleName(), name);
    QCOMPARE(control->toolTip(), tooltip);

    QString shown;
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        shown = button->text();
    else if (auto *frame = qobject_cast<QGroupBox *>(control))
        shown = frame->title();
    else if (auto *label = qobject_cast<QLabel *>(control))
        shown = label->text();
    QCOMPARE(shown, caption);

    if (picture.isValid()) {
        auto *button = qobject_cast<QAbstractButton *>(control);
        QVERIFY(button);
        QCOMPARE(button->iconSize(), picture);
        QCOMPARE(button->icon().actualSize(picture), picture);
    }

    // The focus starts on the first stop; then one step of the tab order with the Tab key.
    QVERIFY(program.activate());
    QCOMPARE(QApplication::focusWidget() == control, name == kTabOrder.first());
    const qsizetype stop = kTabOrder.indexOf(name);
    if (stop < 0) {
        QCOMPARE(control->focusPolicy(), Qt::NoFocus);
    } else {
        control->setFocus(Qt::TabFocusReason);
        QTest::keyClick(control, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget());
        QCOMPARE(
            QApplication::focusWidget()->objectName(), kTabOrder.at((stop + 1) % kTabOrder.size()));
    }
}

void tst_Peavorm::lookAtStart()
{
    Program program;
    Peavorm &window = *program.window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Relvoog - 0.2"));
    QCOMPARE(window.size(), QSize(350, 181));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    const QList<QSize> iconSizes = window.windowIcon().availableSizes();
    QVERIFY2(iconSizes.contains(QSize(32, 32)) && iconSizes.contains(QSize(16, 16)),
        "window icon in both sizes");

    // The load step has recoloured the state lamps from their creation green.
    for (int channel = 1; channel <= 8; ++channel) {
        QCOMPARE(program.led(channel)->backColour(), Indicators::kLampOff);
        QVERIFY(program.led(channel)->isOpaque());
        QCOMPARE(program.ledAuto(channel)->backColour(), Indicators::kAutoLamp);
        QVERIFY(!program.ledAuto(channel)->isOpaque());
        QCOMPARE(program.ledAuto(channel)->property("index").toInt(), channel - 1);
    }

    for (const char *name : {"Label1", "Kell", "Kuupaev", "Label2", "PortLabel"}) {
        const auto *label = program.find<QLabel>(QString::fromLatin1(name));
        const QFontInfo font(label->font());
        QVERIFY2(font.bold(), name);
        QCOMPARE(label->font().pointSizeF(), 8.25);
        QVERIFY2(font.family() == QStringLiteral("Arial")
                || font.family() == QStringLiteral("Liberation Sans"),
            qPrintable(font.family()));
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(label->autoFillBackground());
    }
}

void tst_Peavorm::switchButton_data()
{
    QTest::addColumn<int>("channel");
    for (int channel = 1; channel <= 8; ++channel)
        QTest::addRow("Relee%d", channel) << channel;
}

void tst_Peavorm::switchButton()
{
    QFETCH(int, channel);

    Program program;
    QTest::mouseClick(program.relee(channel), Qt::LeftButton);

    QCOMPARE(program.outputs(), quint8(1 << (channel - 1)));
    // Only the clicked channel shows on.
    for (int shown = 1; shown <= 8; ++shown) {
        const bool on = shown == channel;
        QCOMPARE(program.relee(shown)->text(), on ? QStringLiteral("V") : QStringLiteral("S"));
        QCOMPARE(program.led(shown)->backColour(), on ? Indicators::kLampOn : Indicators::kLampOff);
    }
}

void tst_Peavorm::keysOnFocusedButton_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("outputs");

    // Right after start the focus is on Relee4.
    QTest::newRow("Enter right after start")
        << int(Qt::Key_Return) << Qt::KeyboardModifiers() << QString() << 0x08;
    QTest::newRow("space right after start")
        << int(Qt::Key_Space) << Qt::KeyboardModifiers() << QString() << 0x08;
    QTest::newRow("keypad Enter on Relee7")
        << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier)
        << QStringLiteral("Relee7") << 0x40;
}

void tst_Peavorm::keysOnFocusedButton()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, focus);
    QFETCH(int, outputs);

    Program program;
    QVERIFY(program.activate());
    if (!focus.isEmpty())
        program.button(focus)->setFocus(Qt::TabFocusReason);
    QVERIFY(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);

    QCOMPARE(program.outputs(), quint8(outputs));
}

void tst_Peavorm::allOff_data()
{
    QTest::addColumn<bool>("clickComOff");

    QTest::newRow("Esc") << false;
    QTest::newRow("click on ComOFF") << true;
}

void tst_Peavorm::allOff()
{
    QFETCH(bool, clickComOff);

    Program program;
    QVERIFY(program.activate());
    QTest::mouseClick(program.relee(3), Qt::LeftButton);
    program.setTimes(5, QTime(7, 0), QTime(8, 0));
    QTest::mouseClick(program.autoButton(5), Qt::LeftButton);
    QVERIFY(program.ledAuto(5)->isOpaque());

    const int latchesBefore = program.latches();
    if (clickComOff)
        QTest::mouseClick(program.button(QStringLiteral("ComOFF")), Qt::LeftButton);
    else
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);

    QCOMPARE(program.latches(), latchesBefore + 1);
    QCOMPARE(program.outputs(), quint8(0));
    for (int channel = 1; channel <= 8; ++channel) {
        QCOMPARE(program.relee(channel)->text(), QStringLiteral("S"));
        QCOMPARE(program.led(channel)->backColour(), Indicators::kLampOff);
        QVERIFY(!program.ledAuto(channel)->isOpaque());
    }
    QVERIFY(program.window->isVisible());
}

void tst_Peavorm::autoButton()
{
    Program program;
    program.setTimes(5, QTime(7, 0), QTime(8, 0));
    program.port.clearWire();

    QTest::mouseClick(program.autoButton(5), Qt::LeftButton);
    for (int channel = 1; channel <= 8; ++channel)
        QCOMPARE(program.ledAuto(channel)->isOpaque(), channel == 5);
    QCOMPARE(program.port.wire, QStringList());
}

void tst_Peavorm::autoButtonRefused()
{
    Program program;
    program.window->module1().setSwitchOnTime(5, QTime(7, 0));

    // The dialog comes first, since the switch-off time is missing; it is cancelled, and the
    // refusal that follows is read and dismissed.
    bool dialogShown = false;
    ShownMessage message;
    ModalSteps user([&](QWidget *modal) {
        if (modal && modal->objectName() == QStringLiteral("Kellaajad")) {
            dialogShown = true;
            qobject_cast<QDialog *>(modal)->reject();
            return false;
        }
        return message.answer(modal);
    });
    QTest::mouseClick(program.autoButton(5), Qt::LeftButton);

    QVERIFY(user.done());
    QVERIFY(dialogShown);
    QCOMPARE(message.title, QStringLiteral("Relvoog"));
    QCOMPARE(message.text, ChannelControl::kRefusal);
    QCOMPARE(message.icon, QMessageBox::Critical);
    QCOMPARE(message.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!program.ledAuto(5)->isOpaque());
}

void tst_Peavorm::tick()
{
    Program program;
    program.setTimes(2, QTime(7, 30), QTime(7, 31));
    QTest::mouseClick(program.autoButton(2), Qt::LeftButton);

    // Timer1 runs with the clock the test sets; ticks come as soon as the event loop runs.
    program.now = QDateTime(QDate(2024, 3, 5), QTime(7, 30, 0, 400));
    QTRY_COMPARE(program.text(QStringLiteral("Kell")), QStringLiteral("07:30:00"));
    QCOMPARE(program.text(QStringLiteral("Kuupaev")), QStringLiteral("03-05-2024"));
    QCOMPARE(program.relee(2)->text(), QStringLiteral("V"));
    QCOMPARE(program.led(2)->backColour(), Indicators::kLampOn);
    QCOMPARE(program.outputs(), quint8(0x02));
}

void tst_Peavorm::roadOfASchedule()
{
    Program program;
    program.now = QDateTime(QDate(2024, 3, 5), QTime(6, 59, 58));
    int latchesWhenShown = -1;
    ModalSteps user([&](QWidget *modal) {
        if (!modal || modal->objectName() != QStringLiteral("Kellaajad"))
            return false;
        // The tick goes on writing frames while the dialog is open.
        if (latchesWhenShown < 0)
            latchesWhenShown = program.latches();
        if (program.latches() < latchesWhenShown + 3)
            return false;
        modal->findChild<QTimeEdit *>(QStringLiteral("Relee5Sisse"))->setTime(QTime(7, 0, 0));
        modal->findChild<QTimeEdit *>(QStringLiteral("Relee5Valja"))->setTime(QTime(7, 0, 2));
        QTest::mouseClick(modal->findChild<QPushButton *>(QStringLiteral("ComOK")), Qt::LeftButton);
        return true;
    });

    // Channel 5 has no switching times yet: its automatic button opens the dialog, and the times
    // confirmed there put it into automatic mode with the same press.
    QTest::mouseClick(program.autoButton(5), Qt::LeftButton);
    QVERIFY(user.done());
    QVERIFY(program.ledAuto(5)->isOpaque());
    QCOMPARE(program.text(QStringLiteral("PortLabel")), QStringLiteral("1"));
    QCOMPARE(program.window->module1().SwitchOnTime(5), QTime(7, 0, 0));
    QCOMPARE(program.outputs(), quint8(0));

    for (const QDate day : {QDate(2024, 3, 5), QDate(2024, 3, 6)}) {
        program.now = QDateTime(day, QTime(7, 0, 0, 30));
        QTRY_COMPARE(program.outputs(), quint8(0x10));
        QCOMPARE(program.relee(5)->text(), QStringLiteral("V"));
        QCOMPARE(program.led(5)->backColour(), Indicators::kLampOn);

        program.now = QDateTime(day, QTime(7, 0, 2, 500));
        QTRY_COMPARE(program.outputs(), quint8(0));
        QCOMPARE(program.relee(5)->text(), QStringLiteral("S"));
        QVERIFY(program.ledAuto(5)->isOpaque());
    }
}

void tst_Peavorm::settingsMoveToPort2()
{
    Program program;
    QTest::mouseClick(program.relee(6), Qt::LeftButton);
    ModalSteps user([&](QWidget *modal) {
        if (!modal || modal->objectName() != QStringLiteral("Kellaajad"))
            return false;
        modal->findChild<QComboBox *>(QStringLiteral("PortCombo"))->setCurrentIndex(2);
        QTest::keyClick(modal, Qt::Key_Return);
        return true;
    });

    QTest::mouseClick(program.button(QStringLiteral("ComLisad")), Qt::LeftButton);
    QVERIFY(user.done());
    QCOMPARE(program.text(QStringLiteral("PortLabel")), QStringLiteral("2"));
    // The trial opens and closes port 2 with nothing on the lines; frames may follow it.
    QCOMPARE(program.port.wire.mid(program.port.wire.indexOf(QStringLiteral("open2")), 2),
        QStringList({QStringLiteral("open2"), QStringLiteral("close")}));
    // From now on the frames go to the board on port 2.
    QTRY_COMPARE(program.outputs(2), quint8(0x20));
}

void tst_Peavorm::quit_data()
{
    QTest::addColumn<bool>("byComLopp");

    QTest::newRow("ComLopp") << true;
    QTest::newRow("close box") << false;
}

void tst_Peavorm::quit()
{
    QFETCH(bool, byComLopp);

    Program program;
    QVERIFY(program.activate());
    QTest::mouseClick(program.relee(2), Qt::LeftButton);
    QCOMPARE(program.outputs(), quint8(0x02));
    program.port.clearWire();

    if (byComLopp)
        QTest::mouseClick(program.button(QStringLiteral("ComLopp")), Qt::LeftButton);
    else
        program.window->close();
    QVERIFY(!program.window->isVisible());

    // A few tick intervals: no frame may follow the quit, the relays keep their last state.
    QTest::qWait(int(5 * ScheduleClock::kTickInterval.count()));
    QCOMPARE(program.port.wire, QStringList());
    QCOMPARE(program.outputs(), quint8(0x02));
}

void tst_Peavorm::screenshot()
{
    Program program;
    QVERIFY(program.activate());
    QTRY_COMPARE(program.text(QStringLiteral("Kell")), QStringLiteral("12:00:00"));
    Peavorm *window = program.window.get();

    const QImage start = window->grab().toImage();
    QVERIFY(
        start.save(QCoreApplication::applicationDirPath() + QStringLiteral("/peavorm-start.png")));
    for (int channel = 1; channel <= 8; ++channel) {
        QCOMPARE(pixelAt(start, window, program.led(channel)), QColor(0, 255, 0));
        QCOMPARE(pixelAt(start, window, program.ledAuto(channel)),
            besideAt(start, window, program.ledAuto(channel)));
        // The clock's grey square and white dial, centred on each automatic button.
        QVERIFY(
            countPixels(start, window, program.autoButton(channel), QColor(192, 192, 192)) > 100);
        QVERIFY(countPixels(start, window, program.autoButton(channel), Qt::white) > 100);
    }
    QVERIFY(countPixels(start, window, program.button(QStringLiteral("ComOFF")), QColor(128, 0, 0))
        > 500);

    program.setTimes(4, QTime(7, 0), QTime(8, 0));
    QTest::mouseClick(program.autoButton(4), Qt::LeftButton);
    QTest::mouseClick(program.relee(3), Qt::LeftButton);
    const QImage switched = window->grab().toImage();
    QVERIFY(switched.save(QCoreApplication::applicationDirPath() + QStringLiteral("/peavorm.png")));
    QCOMPARE(pixelAt(switched, window, program.led(3)), QColor(255, 0, 0));
    QCOMPARE(pixelAt(switched, window, program.ledAuto(4)), QColor(0, 0, 255));
}

QTEST_MAIN(tst_Peavorm)
#include "tst_peavorm.moc"
