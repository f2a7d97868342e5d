// SPDX-License-Identifier: MIT
#include "ChannelRig.h"
#include "Kellaajad.h"
#include "LanguageChoice.h"
#include "Peavorm.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOption>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
// The window and the dialog as the program shows them, with a clock text and a date, and the
// switch of channel 1 on, so that it names what switches off.
struct Shown : ChannelRig
{
    Shown()
    {
        channels.load();
        channels.switchManually(1, true);
        clock.tick();
        window.show();
        dialog.show();
    }

    Peavorm window {channels, clock, confirmation};
    Kellaajad dialog {confirmation};
};

// The text a control shows (the widest, for a list), and the room it has for it at its designed
// size, as the style draws it.
struct Room
{
    QString text;
    int width = 0;
};

Room roomOf(QWidget *control)
{
    QStyle *style = control->style();
    if (auto *button = qobject_cast<QPushButton *>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        if (button->autoDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        if (button->isDefault())
            option.features |= QStyleOptionButton::DefaultButton;
        // The access key's "&" is not drawn.
        return {button->text().remove(QLatin1Char('&')),
            style->subElementRect(QStyle::SE_PushButtonContents, &option, button).width()};
    }
    if (auto *label = qobject_cast<QLabel *>(control))
        return {label->text(), label->contentsRect().width()};
    if (auto *frame = qobject_cast<QGroupBox *>(control)) {
        // The caption sits in the frame's top line, after its indent; what passes the frame's
        // right edge is cut.
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect caption
            = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
        return {frame->title(), frame->width() - caption.left()};
    }
    if (auto *list = qobject_cast<QComboBox *>(control)) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        QString widest;
        for (int i = 0; i < list->count(); ++i)
            if (list->fontMetrics().horizontalAdvance(list->itemText(i))
                > list->fontMetrics().horizontalAdvance(widest))
                widest = list->itemText(i);
        return {widest,
            style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list)
                .width()};
    }
    return {};
}
} // namespace

// The language people are spoken to in: which one the system's languages choose, and the window
// in the system's language, where every caption must fit its control.
class tst_LanguageChoice : public QObject
{
    Q_OBJECT

private slots:
    void choice_data();
    void choice();
    void windowInTheSystemsLanguage();
};

void tst_LanguageChoice::choice_data()
{
    QTest::addColumn<QStringList>("uiLanguages"); // as QLocale gives them, most wanted first
    QTest::addColumn<QString>("named"); // by --language or the settings file
    QTest::addColumn<QString>("chosen");

    QTest::newRow("Estonian") << QStringList {u"et-EE"_s, u"et-Latn-EE"_s, u"et"_s} << QString()
                              << "et";
    QTest::newRow("the C locale") << QStringList {u"C"_s} << QString() << "et";
    QTest::newRow("German: not there") << QStringList {u"de-DE"_s, u"de"_s} << QString() << "en";
    QTest::newRow("German, then Estonian")
        << QStringList {u"de-DE"_s, u"de"_s, u"et"_s} << QString() << "et";
    QTest::newRow("English before Estonian")
        << QStringList {u"en-GB"_s, u"et-EE"_s} << QString() << "en";
    QTest::newRow("English named in the C locale") << QStringList {u"C"_s} << "en"
                                                   << "en";
    QTest::newRow("a name that is no language of ours") << QStringList {u"et-EE"_s} << "de"
                                                        << "et";
}

void tst_LanguageChoice::choice()
{
    QFETCH(QStringList, uiLanguages);
    QFETCH(QString, named);
    QFETCH(QString, chosen);

    const auto language = LanguageChoice::choose(uiLanguages, LanguageChoice::fromName(named));
    QCOMPARE(language == LanguageChoice::Language::English ? u"en"_s : u"et"_s, chosen);
}

void tst_LanguageChoice::windowInTheSystemsLanguage()
{
    // CTest runs this under both locales: channel 1's frame and switch, the settings and quit
    // buttons, the status line's caption, its time (with seconds in every locale) and the date:
    // noon, 9 March 2026.
    QStringList expected;
    if (qgetenv("LANG") == "en_US.UTF-8")
        expected = {
            u"Relay 1"_s, u"Off"_s, u"Setup"_s, u"Quit"_s, u"Now:"_s, u"12:00:00"_s, u"3/9/26"_s};
    else if (qgetenv("LANG") == "C")
        expected = {u"Relee 1"_s, u"V"_s, u"Seaded"_s, u"Lõpp"_s, u"Täna:"_s, u"12:00:00"_s,
            u"03-09-2026"_s};
    else
        QSKIP("meant for LANG=en_US.UTF-8 and LANG=C, as CTest runs it");

    // As the program chooses when nothing names a language.
    const LanguageChoice chosen(LanguageChoice::choose(QLocale().uiLanguages()));
    Shown shown;
    QStringList texts;
    for (const char *name :
        {"Frame2", "Relee1", "ComLisad", "ComLopp", "Label1", "Kell", "Kuupaev"})
        texts << roomOf(shown.window.findChild<QWidget *>(QLatin1String(name))).text;
    QCOMPARE(texts, expected);

    // Every caption of either form fits its control.
    QStringList cut;
    for (QWidget *form : std::initializer_list<QWidget *> {&shown.window, &shown.dialog}) {
        for (QWidget *control : form->findChildren<QWidget *>()) {
            const Room room = roomOf(control);
            // The ink, from where the text starts: the advance of a closing colon ends in blank.
            const int needed = control->fontMetrics().boundingRect(room.text).right() + 1;
            if (needed > room.width)
                cut << u"%1 \"%2\" needs %3 px and has %4"_s.arg(control->objectName(), room.text)
                           .arg(needed)
                           .arg(room.width);
        }
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u"; "_s)));
}

QTEST_MAIN(tst_LanguageChoice)
#include "tst_languagechoice.moc"
