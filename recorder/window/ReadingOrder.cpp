// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/ReadingOrder.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDialog>

#include <QWidget>
#include <algorithm>

namespace {

constexpr char kOrderProperty[] = "tolvaneReadingOrder";

class ReadingOrderAccessible final : public QAccessibleWidget {
public:
    explicit ReadingOrderAccessible(QWidget* window)
        : QAccessibleWidget(window,
                            qobject_cast<QDialog*>(window) ? QAccessible::Dialog : QAccessible::Window) {}

    int childCount() const override { return static_cast<int>(ordered().size()); }

    QAccessibleInterface* child(int index) const override {
        const QList<QWidget*> children = ordered();
        return index >= 0 && index < children.size() ? QAccessible::queryAccessibleInterface(children[index])
                                                     : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr ? static_cast<int>(ordered().indexOf(child->object())) : -1;
    }

private:
    // The visible child controls: named ones first, in reading order, then the rest as stacked.
    QList<QWidget*> ordered() const {
        const QStringList names = widget()->property(kOrderProperty).toStringList();
        QList<QWidget*> first;
        QList<QWidget*> rest;
        for (QObject* object : widget()->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (child == nullptr || child->isWindow() || child->isHidden()) {
                continue;
            }
            (names.contains(child->objectName()) ? first : rest) << child;
        }
        std::stable_sort(first.begin(), first.end(), [&](QWidget* a, QWidget* b) {
            return names.indexOf(a->objectName()) < names.indexOf(b->objectName());
        });
        return first + rest;
    }
};

QAccessibleInterface* readingOrderFactory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget != nullptr && widget->isWindow() && widget->property(kOrderProperty).isValid()) {
        return new ReadingOrderAccessible(widget);
    }
    return nullptr;
}

}  // namespace

void setAccessibleReadingOrder(QWidget& window, const QStringList& names) {
    static const bool installed = (QAccessible::installFactory(readingOrderFactory), true);
    Q_UNUSED(installed);
    window.setProperty(kOrderProperty, names);
}
