// SPDX-License-Identifier: MIT
#include "LanguageChoice.h"

#include <QCoreApplication>
#include <QDate>
#include <QLocale>

std::optional<LanguageChoice::Language> LanguageChoice::fromName(const QString &name)
{
    if (name == QLatin1String("et"))
        return Language::Estonian;
    if (name == QLatin1String("en"))
        return Language::English;
    return std::nullopt;
}

LanguageChoice::Language LanguageChoice::choose(
    const QStringList &uiLanguages, std::optional<Language> named)
{
    if (named)
        return *named;
    for (const QString &tag : uiLanguages) {
        // Qt names the C and POSIX locales "C"; no language of ours is asked for there.
        if (tag == QLatin1String("C") || tag == QLatin1String("POSIX"))
            return Language::Estonian;
        const QString language = tag.section(QLatin1Char('-'), 0, 0);
        if (const std::optional<Language> known = fromName(language))
            return *known;
    }
    // English is what nearly every owner of such a board reads, whatever else they speak.
    return uiLanguages.isEmpty() ? Language::Estonian : Language::English;
}

LanguageChoice::LanguageChoice(Language language)
{
    // Estonian is what our code says; its translation holds only the words of Qt's own that the
    // programs show, which Qt has no Estonian for. Qt's words are English already.
    const QString file = language == Language::English ? QStringLiteral(":/i18n/relvoog_en.qm")
                                                       : QStringLiteral(":/i18n/qtbase_et.qm");
    if (m_translator.load(file))
        m_installed = QCoreApplication::installTranslator(&m_translator);
}

LanguageChoice::~LanguageChoice()
{
    if (m_installed)
        QCoreApplication::removeTranslator(&m_translator);
}

LanguageChoice::Language LanguageChoice::current()
{
    // The translation names its own language, as Qt's own translations name their layout
    // direction; so every thread and every program reads the same answer without a global.
    //: The language of this translation: en for English.
    return fromName(QCoreApplication::translate("LanguageChoice", "et"))
        .value_or(Language::Estonian);
}

QString LanguageChoice::dateText(const QDate &date)
{
    return current() == Language::Estonian ? date.toString(QStringLiteral("MM-dd-yyyy"))
                                           : QLocale().toString(date, QLocale::ShortFormat);
}
