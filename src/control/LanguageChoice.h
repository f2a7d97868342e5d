// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>

#include <optional>

class QDate;

// The language every program of Relvoog speaks to people in: Estonian, the language of the texts
// in the code, or English from the translation built into the programs. While an object lives,
// its language is the one tr() answers in, Qt's own words included.
class LanguageChoice
{
public:
    enum class Language { Estonian, English };

    // "et" or "en", as --language and the settings file name them; none for anything else.
    static std::optional<Language> fromName(const QString &name);
    // The language named, if one is; else the first of the system's UI languages
    // (QLocale::uiLanguages(), most wanted first) that the programs have. The C and POSIX
    // locales keep the Estonian of the window's design; any other language is read as English.
    static Language choose(const QStringList &uiLanguages, std::optional<Language> named = {});

    // The application object must exist.
    explicit LanguageChoice(Language language);
    ~LanguageChoice();
    LanguageChoice(const LanguageChoice &) = delete;
    LanguageChoice &operator=(const LanguageChoice &) = delete;

    // The language tr() answers in now.
    static Language current();
    // As the status line shows a date: month-day-year in Estonian, as in the window's design;
    // the locale's short date in English.
    static QString dateText(const QDate &date);

private:
    QTranslator m_translator;
    bool m_installed = false;
};
