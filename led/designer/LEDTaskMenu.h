// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

// "Edit LED Properties..." in the task menu (and on double-click) of an LED on a Designer form.
#pragma once

#include <QDesignerTaskMenuExtension>
#include <QExtensionFactory>
#include <QPointer>

class LED;
class QAction;
class QExtensionManager;

class LEDTaskMenu : public QObject, public QDesignerTaskMenuExtension {
    Q_OBJECT
    Q_INTERFACES(QDesignerTaskMenuExtension)

public:
    LEDTaskMenu(LED* led, QObject* parent);
    ~LEDTaskMenu() override;

    QAction* preferredEditAction() const override;
    QList<QAction*> taskActions() const override;

    // Opens the property sheet on the LEDs selected on the form, this one first, and waits for it.
    void editProperties();

private:
    QPointer<LED> led_;
    QAction* editAction_;
};

class LEDTaskMenuFactory : public QExtensionFactory {
    Q_OBJECT

public:
    explicit LEDTaskMenuFactory(QExtensionManager* parent = nullptr);

protected:
    QObject* createExtension(QObject* object, const QString& iid, QObject* parent) const override;
};
