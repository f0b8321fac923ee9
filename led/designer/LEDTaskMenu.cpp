// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

#include "LEDTaskMenu.h"

#include "DesignerLEDTarget.h"

#include <LED/LED.h>
#include <LED/LEDPropertySheet.h>

#include <QAction>
#include <QDesignerFormEditorInterface>
#include <QDesignerFormWindowCursorInterface>
#include <QDesignerFormWindowInterface>
#include <QMessageBox>
#include <QUndoStack>

#include <memory>
#include <vector>

LEDTaskMenu::LEDTaskMenu(LED* led, QObject* parent)
    : QObject(parent), led_(led), editAction_(new QAction(tr("Edit LED Properties..."), this)) {
    editAction_->setObjectName(QStringLiteral("actionEditLEDProperties"));
    connect(editAction_, &QAction::triggered, this, &LEDTaskMenu::editProperties);
}

LEDTaskMenu::~LEDTaskMenu() = default;

QAction* LEDTaskMenu::preferredEditAction() const {
    return editAction_;
}

QList<QAction*> LEDTaskMenu::taskActions() const {
    return {editAction_};
}

void LEDTaskMenu::editProperties() {
    if (led_.isNull()) {
        return;
    }
    QDesignerFormWindowInterface* form = QDesignerFormWindowInterface::findFormWindow(led_.data());

    // The LED whose menu was used comes first: it is the one the pages read and write.
    QList<LED*> leds{led_.data()};
    if (form != nullptr) {
        QDesignerFormWindowCursorInterface* cursor = form->cursor();
        for (int i = 0; i < cursor->selectedWidgetCount(); ++i) {
            auto* other = qobject_cast<LED*>(cursor->selectedWidget(i));
            if (other != nullptr && !leds.contains(other)) {
                leds.append(other);
            }
        }
    }
    std::vector<std::unique_ptr<DesignerLEDTarget>> targets;
    QList<QObject*> selection;
    for (LED* led : leds) {
        targets.push_back(std::make_unique<DesignerLEDTarget>(led, form));
        selection.append(targets.back().get());
    }

    QWidget* parent = led_->window();
    if (form != nullptr && form->core() != nullptr && form->core()->topLevel() != nullptr) {
        parent = form->core()->topLevel();
    }
    bool inMacro = false;
    LEDPropertySheet sheet(selection, parent);
    if (const auto error = sheet.loadError()) {
        QMessageBox::warning(parent, sheet.windowTitle(), error->message());
        return;
    }
    if (form != nullptr) {
        // One apply of one page is one step to undo.
        QPointer<QUndoStack> history = form->commandHistory();
        connect(&sheet, &LEDPropertySheet::aboutToApply, &sheet, [history, &inMacro] {
            if (history) {
                history->beginMacro(tr("Editar as propriedades do LED"));
                inMacro = true;
            }
        });
        connect(&sheet, &LEDPropertySheet::applied, &sheet, [history, &inMacro] {
            if (history && inMacro) {
                history->endMacro();
            }
            inMacro = false;
        });
    }
    sheet.exec();
}

LEDTaskMenuFactory::LEDTaskMenuFactory(QExtensionManager* parent) : QExtensionFactory(parent) {}

QObject* LEDTaskMenuFactory::createExtension(QObject* object, const QString& iid, QObject* parent) const {
    if (iid != QLatin1String(Q_TYPEID(QDesignerTaskMenuExtension))) {
        return nullptr;
    }
    if (auto* led = qobject_cast<LED*>(object)) {
        return new LEDTaskMenu(led, parent);
    }
    return nullptr;
}
