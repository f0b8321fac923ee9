// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

// LED's texts are written in Portuguese and translated to English (led/translations). The library
// installs its own translator when the application starts, so any host (a program, Qt Designer)
// gets LED's texts in its user's language without doing anything: English when the user's
// languages put English before Portuguese, Portuguese otherwise. The translations are compiled
// into the library under :/LED/i18n.
#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace {

bool englishBeforePortuguese() {
    for (const QString& name : QLocale::system().uiLanguages()) {
        switch (QLocale(name).language()) {
            case QLocale::English:
                return true;
            case QLocale::Portuguese:
                return false;
            default:
                break;
        }
    }
    return false;
}

// Taken out again when the library goes (a host may unload the plugin that brought it), so Qt never
// looks into translations that went with it.
struct InstalledTranslator {
    std::unique_ptr<QTranslator> translator;
    ~InstalledTranslator() {
        if (translator && QCoreApplication::instance() != nullptr) {
            QCoreApplication::removeTranslator(translator.get());
        }
    }
};

InstalledTranslator& installed() {
    static InstalledTranslator instance;
    return instance;
}

// Runs once for each application object the process creates.
void installLEDTranslator() {
    if (!englishBeforePortuguese()) {
        return;
    }
    auto& translator = installed().translator;
    if (!translator) {
        auto loaded = std::make_unique<QTranslator>();
        if (!loaded->load(QStringLiteral("led_en"), QStringLiteral(":/LED/i18n"))) {
            return;
        }
        translator = std::move(loaded);
    }
    QCoreApplication::installTranslator(translator.get());
}

}  // namespace

// Runs when the application is created, or at once when the library is loaded into a running one.
Q_COREAPP_STARTUP_FUNCTION(installLEDTranslator)
