// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/TakeMenu.h"

#include "platform/dialogs/Dialogs.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QWidget>

namespace {

using std::chrono::hours;
using std::chrono::minutes;

struct Preset {
    const char* text;
    minutes time;
};

const Preset kPresets[] = {
    {QT_TRANSLATE_NOOP("TakeMenu", "15 minutos"), minutes(15)},
    {QT_TRANSLATE_NOOP("TakeMenu", "30 minutos"), minutes(30)},
    {QT_TRANSLATE_NOOP("TakeMenu", "45 minutos"), minutes(45)},
    {QT_TRANSLATE_NOOP("TakeMenu", "1 hora"), hours(1)},
    {QT_TRANSLATE_NOOP("TakeMenu", "2 horas"), hours(2)},
};

QString hoursAndMinutes(minutes time) {
    return QStringLiteral("%1:%2").arg(time.count() / 60).arg(time.count() % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

TakeMenu::TakeMenu(QAbstractButton& toggle, QWidget& window, platform::Dialogs& dialogs,
                   std::chrono::milliseconds minute)
    : QObject(&window), toggle_(toggle), dialogs_(dialogs), menu_(new QMenu(&window)), minute_(minute) {
    menu_->setObjectName(QStringLiteral("Check1Menu"));
    pause_ = menu_->addAction(tr("Pausar gravação"));
    pause_->setObjectName(QStringLiteral("PauseTake"));
    pause_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    pause_->setShortcutContext(Qt::WindowShortcut);
    // Held down a moment too long, the keys would pause and resume over and over.
    pause_->setAutoRepeat(false);
    // On the window too, so the shortcut works wherever the focus is, with the menu closed.
    window.addAction(pause_);
    connect(pause_, &QAction::triggered, this, &TakeMenu::pauseRequested);
    mark_ = menu_->addAction(tr("Marcar agora"));
    mark_->setObjectName(QStringLiteral("MarkNow"));
    mark_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    mark_->setShortcutContext(Qt::WindowShortcut);
    // Held down, the keys would set a marker at every repeat.
    mark_->setAutoRepeat(false);
    window.addAction(mark_);
    connect(mark_, &QAction::triggered, this, &TakeMenu::markRequested);

    QMenu* stopAfter = menu_->addMenu(tr("Parar após"));
    stopAfter->setObjectName(QStringLiteral("StopAfterMenu"));
    times_ = new QActionGroup(this);
    times_->setExclusive(true);
    for (const Preset& preset : kPresets) {
        QAction* item = stopAfter->addAction(tr(preset.text));
        item->setCheckable(true);
        times_->addAction(item);
        connect(item, &QAction::triggered, this, [this, item, time = preset.time] { choose(item, time); });
    }
    other_ = stopAfter->addAction(tr("Outro tempo…"));
    other_->setCheckable(true);
    times_->addAction(other_);
    connect(other_, &QAction::triggered, this, &TakeMenu::askForOtherTime);
    noLimit_ = stopAfter->addAction(tr("Sem limite"));
    noLimit_->setCheckable(true);
    times_->addAction(noLimit_);
    connect(noLimit_, &QAction::triggered, this, [this] { choose(noLimit_, std::nullopt); });
    noLimit_->setChecked(true);
    chosen_ = noLimit_;

    review_ = menu_->addAction(tr("Ouvir e cortar…"));
    review_->setObjectName(QStringLiteral("ReviewTake"));
    review_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    review_->setShortcutContext(Qt::WindowShortcut);
    review_->setAutoRepeat(false);
    window.addAction(review_);
    connect(review_, &QAction::triggered, this, &TakeMenu::reviewRequested);

    // An item triggered by an assistive technology's action, not by the menu's own click or key,
    // leaves the menu open; it closes as after any choice.
    for (QAction* action : stopAfter->actions() + QList<QAction*>{pause_, mark_, review_}) {
        connect(action, &QAction::triggered, this, [this, stopAfter] {
            stopAfter->hide();
            menu_->hide();
        });
    }

    // Marks the toggle as having a menu of its own (its accessible offers to open it); the events
    // that ask for it are caught here before the toggle sees them.
    toggle_.setContextMenuPolicy(Qt::CustomContextMenu);
    toggle_.installEventFilter(this);
    showTake(false, false);
    showReviewable(false);
}

TakeMenu::~TakeMenu() = default;

std::optional<std::chrono::milliseconds> TakeMenu::lengthLimit() const {
    if (!stopAfter_) {
        return std::nullopt;
    }
    return stopAfter_->count() * minute_;
}

void TakeMenu::choose(QAction* action, std::optional<minutes> time) {
    chosen_ = action;
    chosen_->setChecked(true);
    if (action != other_) {
        other_->setText(tr("Outro tempo…"));
    }
    if (stopAfter_ != time) {
        stopAfter_ = time;
        Q_EMIT stopAfterChanged();
    }
}

void TakeMenu::askForOtherTime() {
    const auto time = dialogs_.duration(tr("Parar a gravação após (horas:minutos):"), tr("Parar após"),
                                        stopAfter_.value_or(lastOtherTime_));
    if (!time || time->count() <= 0) {
        // Cancelled: the time chosen before stays, checked as it was.
        chosen_->setChecked(true);
        return;
    }
    lastOtherTime_ = *time;
    other_->setText(tr("Outro tempo… (%1)").arg(hoursAndMinutes(*time)));
    choose(other_, *time);
}

void TakeMenu::clearStopAfter() {
    choose(noLimit_, std::nullopt);
}

void TakeMenu::showTake(bool running, bool paused) {
    pause_->setEnabled(running);
    pause_->setText(running && paused ? tr("Continuar gravação") : tr("Pausar gravação"));
    mark_->setEnabled(running);
}

void TakeMenu::showReviewable(bool reviewable) {
    review_->setEnabled(reviewable);
}

void TakeMenu::popUp(const QPoint& where) {
    menu_->popup(where);
}

bool TakeMenu::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &toggle_) {
        return false;
    }
    if (event->type() == QEvent::ContextMenu) {
        const auto* request = static_cast<QContextMenuEvent*>(event);
        // From the keyboard the menu opens below the toggle, where the eye already is.
        popUp(request->reason() == QContextMenuEvent::Mouse
                  ? request->globalPos()
                  : toggle_.mapToGlobal(QPoint(0, toggle_.height())));
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) ||
            key->key() == Qt::Key_Menu) {
            popUp(toggle_.mapToGlobal(QPoint(0, toggle_.height())));
            return true;
        }
    }
    return false;
}
