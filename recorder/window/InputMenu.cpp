// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/InputMenu.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>
#include <optional>

namespace input {

namespace {

using platform::mixer::SourceEntry;

const SourceEntry* find(const std::vector<SourceEntry>& sources, const QString& name) {
    const auto it =
        std::find_if(sources.begin(), sources.end(), [&](const SourceEntry& s) { return s.name == name; });
    return it != sources.end() ? &*it : nullptr;
}

class ShiftF10 : public QObject {
public:
    ShiftF10(QObject* parent, std::function<void()> open) : QObject(parent), open_(std::move(open)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
                open_();
                return true;
            }
        }
        return false;
    }

private:
    std::function<void()> open_;
};

QString entryText(const SourceEntry& source) {
    return source.isMonitor()
               ? QCoreApplication::translate("InputMenu", "Som do computador: %1").arg(source.monitorOf)
               : source.description;
}

}  // namespace

void fillInputMenu(QMenu& menu, const std::vector<SourceEntry>& sources, const QString& chosen, bool locked) {
    // The highlighted choice stays highlighted: the server tells of many changes (a volume, an
    // output waking) that leave the list as it was, and the keyboard must not lose its place.
    const QAction* active = menu.activeAction();
    const std::optional<QString> highlighted =
        active != nullptr && active->isCheckable() ? std::optional(active->data().toString()) : std::nullopt;
    menu.clear();
    const QString title = QCoreApplication::translate("InputMenu", "Entrada de áudio");
    menu.setTitle(title);
    menu.setAccessibleName(title);
    menu.addSection(title);
    auto* group = new QActionGroup(&menu);
    group->setExclusive(true);
    const auto add = [&](const QString& text, const QString& name) {
        QAction* action = menu.addAction(text);
        action->setData(name);
        action->setCheckable(true);
        action->setChecked(name == chosen);
        action->setEnabled(!locked);
        group->addAction(action);
        if (highlighted == name) {
            menu.setActiveAction(action);
        }
    };
    add(QCoreApplication::translate("InputMenu", "Padrão do sistema"), QString());
    for (const SourceEntry& source : sources) {
        if (!source.isMonitor()) {
            add(entryText(source), source.name);
        }
    }
    if (!chosen.isEmpty() && find(sources, chosen) == nullptr) {
        add(QCoreApplication::translate("InputMenu", "%1 (não disponível)").arg(chosen), chosen);
    }
    bool separated = false;
    for (const SourceEntry& source : sources) {
        if (source.isMonitor()) {
            if (!std::exchange(separated, true)) {
                menu.addSeparator();
            }
            add(entryText(source), source.name);
        }
    }
    if (locked) {
        menu.addSeparator();
        menu.addAction(QCoreApplication::translate("InputMenu", "A entrada muda depois da gravação"))
            ->setEnabled(false);
    }
}

void openOnShiftF10(QWidget& widget, std::function<void()> open) {
    widget.installEventFilter(new ShiftF10(&widget, std::move(open)));
}

QString describeInput(const std::vector<SourceEntry>& sources, const QString& defaultSource,
                      const QString& chosen) {
    if (chosen.isEmpty()) {
        const SourceEntry* current = find(sources, defaultSource);
        return current != nullptr ? QCoreApplication::translate("InputMenu", "Padrão do sistema (%1)")
                                        .arg(entryText(*current))
                                  : QCoreApplication::translate("InputMenu", "Padrão do sistema");
    }
    const SourceEntry* current = find(sources, chosen);
    return current != nullptr ? entryText(*current) : chosen;
}

}  // namespace input
