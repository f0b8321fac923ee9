// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/AccessibleActions.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeySequence>
#include <QMetaObject>
#include <QPushButton>

namespace {

constexpr char kQueuedActions[] = "tolvaneQueuedAccessibleActions";

// A caption without its mnemonic marks: "&&" is a literal ampersand.
QString withoutMnemonic(const QString& caption) {
    QString text;
    text.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) {
            ++i;
        }
        text.append(caption[i]);
    }
    return text;
}

// True while a modal window other than the widget's own holds its window.
bool blockedByModal(const QWidget& widget) {
    const QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr && modal != widget.window() && !modal->isAncestorOf(&widget);
}

class QueuedButtonAccessible final : public QAccessibleWidget {
public:
    explicit QueuedButtonAccessible(QAbstractButton* button) : QAccessibleWidget(button) {}

    QAccessible::Role role() const override {
        return button()->isCheckable() ? QAccessible::CheckBox : QAccessible::Button;
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return withoutMnemonic(button()->text());
        }
        if (kind == QAccessible::Accelerator) {
            const QKeySequence keys = button()->shortcut().isEmpty()
                                          ? QKeySequence::mnemonic(button()->text())
                                          : button()->shortcut();
            return keys.toString(QKeySequence::NativeText);
        }
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = button()->isCheckable();
        state.checked = button()->isChecked();
        state.pressed = button()->isDown();
        if (const auto* push = qobject_cast<const QPushButton*>(button())) {
            state.defaultButton = push->isDefault();
        }
        return state;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled()) {
            names << (button()->isCheckable() ? toggleAction() : pressAction());
            // A button with a menu of its own offers to open it, as its context-menu key does.
            if (widget()->contextMenuPolicy() == Qt::CustomContextMenu) {
                names << showMenuAction();
            }
        }
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override {
        if (name == showMenuAction() && widget()->isEnabled()) {
            // Asked for from the event loop, and like the keys not while a modal box holds the window:
            // the menu would open over the box and act behind it.
            QWidget* asking = widget();
            QMetaObject::invokeMethod(
                asking,
                [asking] {
                    if (!blockedByModal(*asking)) {
                        const QPoint centre = asking->rect().center();
                        QContextMenuEvent request(QContextMenuEvent::Keyboard, centre,
                                                  asking->mapToGlobal(centre));
                        QCoreApplication::sendEvent(asking, &request);
                    }
                },
                Qt::QueuedConnection);
            return;
        }
        if (name != pressAction() && name != toggleAction()) {
            QAccessibleWidget::doAction(name);
            return;
        }
        if (!widget()->isEnabled()) {
            return;
        }
        // The caller's answer goes out first; the press follows from the event loop, unless a
        // modal box then holds the button's window, as it holds the mouse and the keys.
        QAbstractButton* pressed = button();
        QMetaObject::invokeMethod(
            pressed,
            [pressed] {
                if (!blockedByModal(*pressed)) {
                    pressed->click();
                }
            },
            Qt::QueuedConnection);
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(object()); }
};

QAccessibleInterface* queuedActionsFactory(const QString&, QObject* object) {
    if (object == nullptr || !object->property(kQueuedActions).toBool()) {
        return nullptr;
    }
    auto* button = qobject_cast<QAbstractButton*>(object);
    return button != nullptr ? new QueuedButtonAccessible(button) : nullptr;
}

}  // namespace

void answerAccessibleActionsAtOnce(QAbstractButton& button) {
    static const bool installed = (QAccessible::installFactory(queuedActionsFactory), true);
    Q_UNUSED(installed);
    button.setProperty(kQueuedActions, true);
    // An interface made before now (an assistive technology already asking) is Qt's own: drop it,
    // so the next question makes this one.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(&button);
    if (made != nullptr && dynamic_cast<QueuedButtonAccessible*>(made) == nullptr) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
}
