// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The record toggle's context menu: pause and resume the running take, mark the moment, the time
// after which a take stops by itself, and the review of the take waiting to be saved. It holds the
// choices; the window does what they mean.

#include <QObject>

#include <chrono>
#include <optional>

namespace platform {
class Dialogs;
}

class QAbstractButton;
class QAction;
class QActionGroup;
class QEvent;
class QMenu;
class QPoint;
class QWidget;

class TakeMenu final : public QObject {
    Q_OBJECT

public:
    // The menu opens on `toggle` (right click, the context-menu key, Shift+F10); the pause's
    // shortcut works anywhere in `window`. "Outro tempo…" asks through `dialogs`. A minute of
    // "Parar após" lasts `minute` (shortened only by tests).
    TakeMenu(QAbstractButton& toggle, QWidget& window, platform::Dialogs& dialogs,
             std::chrono::milliseconds minute = std::chrono::minutes(1));
    ~TakeMenu() override;

    // The time after which a take stops, or nothing ("Sem limite").
    std::optional<std::chrono::minutes> stopAfter() const { return stopAfter_; }
    // The length of audio that time allows a take.
    std::optional<std::chrono::milliseconds> lengthLimit() const;
    // Back to "Sem limite", as after every take.
    void clearStopAfter();
    // The pause item follows the take: offered only while one runs, worded for what it would do.
    void showTake(bool running, bool paused);
    // "Ouvir e cortar…" is offered while a stopped take waits to be saved.
    void showReviewable(bool reviewable);

    QMenu& menu() const { return *menu_; }
    QAction& pauseAction() const { return *pause_; }
    QAction& markAction() const { return *mark_; }
    QAction& reviewAction() const { return *review_; }
    // Opens the menu at `where` (global), as a right click there would.
    void popUp(const QPoint& where);

Q_SIGNALS:
    // The user asked to pause or resume (the item or Ctrl+P).
    void pauseRequested();
    // The user chose another time to stop after.
    void stopAfterChanged();
    // The user asked for a marker at this moment (the item or Ctrl+M).
    void markRequested();
    // The user asked to hear and trim the waiting take (the item or Ctrl+E).
    void reviewRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void choose(QAction* action, std::optional<std::chrono::minutes> time);
    void askForOtherTime();

    QAbstractButton& toggle_;
    platform::Dialogs& dialogs_;
    QMenu* menu_;
    QAction* pause_;
    QAction* mark_;
    QAction* review_;
    QActionGroup* times_;
    QAction* other_;
    QAction* noLimit_;
    QAction* chosen_;  // the time item checked last
    std::optional<std::chrono::minutes> stopAfter_;
    std::chrono::minutes lastOtherTime_{90};
    std::chrono::milliseconds minute_;
};
