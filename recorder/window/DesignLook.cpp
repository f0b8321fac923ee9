// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/DesignLook.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QWidget>

#include <stdexcept>

QFont designFont(Face face, qreal points, bool bold) {
    if (face == Face::Dialog) {
        points *= 7.5 / 8.25;
    }
    QFont font(face == Face::Tahoma ? QStringLiteral("DejaVu Sans Condensed")
                                    : QStringLiteral("Liberation Sans"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont dialogFont() {
    return designFont(Face::Dialog, 8.25);
}

void applyLooks(QWidget& window, std::span<const Look> looks) {
    for (const Look& look : looks) {
        auto* widget = window.findChild<QWidget*>(QString::fromLatin1(look.object));
        if (widget == nullptr) {
            throw std::logic_error(std::string("no control named ") + look.object);
        }
        widget->setFont(designFont(look.face, look.points, look.bold));
        QPalette palette = widget->palette();
        if (look.text) {
            palette.setColor(QPalette::WindowText, *look.text);
            palette.setColor(QPalette::ButtonText, *look.text);
        }
        if (look.background) {
            const bool face = qobject_cast<QPushButton*>(widget) != nullptr;
            palette.setColor(face ? QPalette::Button : QPalette::Window, *look.background);
            widget->setAutoFillBackground(!face);
        }
        widget->setPalette(palette);
        if (look.textRole) {
            widget->setForegroundRole(*look.textRole);
        }
        if (look.backgroundRole) {
            widget->setBackgroundRole(*look.backgroundRole);
            widget->setAutoFillBackground(true);
        }
    }
}
