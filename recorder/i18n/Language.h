// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The window's language: Portuguese, the language the recorder was designed in, unless the user's
// languages put English before it. Qt's own dialogs follow the same choice.

#include <QLocale>
#include <QStringList>

namespace i18n {

enum class Language { Portuguese, English };

// `uiLanguages` in order of preference, as QLocale::uiLanguages gives them ("pt-BR", "en", "C"...).
// The first Portuguese or English entry decides; a list with neither (German, C, POSIX) reads Portuguese.
Language chooseLanguage(const QStringList& uiLanguages);

// Installs the program's and Qt's translations for the system's languages into the running
// application, and makes the chosen language's locale the default for numbers. Returns the choice.
Language installTranslations();

}  // namespace i18n
