// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The input menu: which source the takes, the level slider and the meters use. The server's
// default source first, then every source by its description, then what the computer plays (the
// outputs' monitors) after a separator; the current choice checked. During a take it shows the
// choice but cannot change it.

#include "platform/mixer/SourceList.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

namespace platform {
class Dialogs;
}

class QMenu;
class QPoint;
class QSettings;
class QWidget;

namespace input {

// Fills `menu` anew. Each choice carries the source's name as its data (empty for the default).
// A chosen source the server does not have now is still shown, checked and marked absent.
void fillInputMenu(QMenu& menu, const std::vector<platform::mixer::SourceEntry>& sources,
                   const QString& chosen, bool locked);

// How the input is named to the user: the source's description, "Padrão do sistema" with the
// default's description, or the bare name of a source the server does not have.
QString describeInput(const std::vector<platform::mixer::SourceEntry>& sources, const QString& defaultSource,
                      const QString& chosen);

// Shift+F10 on `widget` calls `open`, as the context-menu key does through the widget's context
// menu request.
void openOnShiftF10(QWidget& widget, std::function<void()> open);

// The input choice on the window: the menu, the choice the window starts with (this run's, else the
// one kept), keeping a new choice, and the chosen input named where the window shows it.
class InputChoice final : public QObject {
    Q_OBJECT

public:
    struct Places {
        // The menu opens on these (right click, the context-menu key)...
        std::vector<QWidget*> openOn;
        // ...and with Shift+F10 on this one, which a screen reader tells about the menu.
        QWidget* keyboard = nullptr;
        // Their tooltips and descriptions name the chosen input.
        std::vector<QWidget*> named;
    };

    // `locked` says whether a take runs: the menu then shows the choice but cannot change it. The
    // choice is kept in `settings` (may be null); `forThisRun`, when given, wins for this run and is
    // not kept. Boxes go through `dialogs` with `title`.
    InputChoice(platform::mixer::SourceList& sources, QSettings* settings, const QString& forThisRun,
                platform::Dialogs& dialogs, QString title, std::function<bool()> locked, QWidget& window,
                const Places& places);

    // A source's name; empty for the server's default.
    QString chosen() const;
    // The chosen input as the user knows it, also after it went away.
    QString described() const;
    // False, after telling the user, when the chosen input is known to be missing.
    bool present();
    // The same without telling: false when the chosen input is known to be missing.
    bool available() const;
    // The box that says the chosen input is missing and nothing was recorded.
    void tellMissing();
    // The chosen input went away while the server still answers: it was unplugged.
    bool unplugged() const;
    // The menu while it is open, else null.
    QMenu* menu() const;

private:
    void showMenu(QWidget* over, QPoint at);
    void choose(const QString& name);
    void sourcesChanged();

    platform::mixer::SourceList& sources_;
    QSettings* settings_;
    platform::Dialogs& dialogs_;
    QString title_;
    std::function<bool()> locked_;
    QWidget& window_;
    std::vector<QWidget*> named_;
    QPointer<QMenu> menu_;
    // Every input seen this run, by name: a source that went away is named as the user knew it.
    QHash<QString, QString> known_;
};

}  // namespace input
