// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/i18n/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace i18n {

namespace {

// The user's first locale of `language`, or `fallback` when the list names none.
QLocale preferredLocale(const QStringList& uiLanguages, QLocale::Language language, const QLocale& fallback) {
    for (const QString& name : uiLanguages) {
        const QLocale locale(name);
        if (locale.language() == language) {
            return locale.territory() == QLocale::AnyTerritory ? fallback : locale;
        }
    }
    return fallback;
}

// Loads the first of `names` found and installs it; the application owns the translator.
bool install(const QStringList& names, const QString& folder) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    for (const QString& name : names) {
        if (translator->load(name, folder)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
    }
    delete translator;
    return false;
}

}  // namespace

Language chooseLanguage(const QStringList& uiLanguages) {
    for (const QString& name : uiLanguages) {
        switch (QLocale(name).language()) {
            case QLocale::Portuguese:
                return Language::Portuguese;
            case QLocale::English:
                return Language::English;
            default:
                break;
        }
    }
    return Language::Portuguese;
}

Language installTranslations() {
    const QStringList uiLanguages = QLocale::system().uiLanguages();
    const Language language = chooseLanguage(uiLanguages);
    const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (language == Language::English) {
        const QLocale locale =
            preferredLocale(uiLanguages, QLocale::English, QLocale(QLocale::English, QLocale::UnitedStates));
        install({QStringLiteral("tolvane_en")}, QStringLiteral(":/i18n"));
        install({QStringLiteral("qtbase_") + locale.name(), QStringLiteral("qtbase_en")}, qtFolder);
        QLocale::setDefault(locale);
        return language;
    }
    // The program's texts are written in Portuguese: only Qt's own need a translation. Qt ships
    // Brazilian Portuguese; a user's own variant is taken first should it ship that too.
    const QLocale locale =
        preferredLocale(uiLanguages, QLocale::Portuguese, QLocale(QLocale::Portuguese, QLocale::Brazil));
    install({QStringLiteral("qtbase_") + locale.name(), QStringLiteral("qtbase_pt"),
             QStringLiteral("qtbase_pt_BR")},
            qtFolder);
    QLocale::setDefault(locale);
    return language;
}

}  // namespace i18n
