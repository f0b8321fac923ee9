// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

#include "LEDDesignerPlugin.h"

#include "LEDTaskMenu.h"

#include <LED/LED.h>

#include <QDesignerFormEditorInterface>
#include <QExtensionManager>
#include <QIcon>

LEDDesignerPlugin::LEDDesignerPlugin(QObject* parent) : QObject(parent) {}

QString LEDDesignerPlugin::name() const {
    return QStringLiteral("LED");
}

QString LEDDesignerPlugin::group() const {
    return QStringLiteral("Led_ocx");
}

QString LEDDesignerPlugin::toolTip() const {
    return tr("LED: um dígito de sete segmentos com ponto decimal");
}

QString LEDDesignerPlugin::whatsThis() const {
    return tr(
        "Mostra um dígito de sete segmentos e um ponto decimal. Value é um dígito de 0 a 9, ou uma "
        "máscara de segmentos de 0 a 127 quando ValueIsMask está marcado; LEDColorOn e LEDColorOff "
        "dão a cor dos segmentos acesos e apagados. Use \"Edit LED Properties...\" no menu de "
        "contexto para editá-lo nas suas páginas de propriedades.");
}

QString LEDDesignerPlugin::includeFile() const {
    return QStringLiteral("LED/LED.h");
}

QIcon LEDDesignerPlugin::icon() const {
    return QIcon(QStringLiteral(":/LED/designer/led_toolbox.png"));
}

bool LEDDesignerPlugin::isContainer() const {
    return false;
}

QString LEDDesignerPlugin::domXml() const {
    return QStringLiteral(
        "<ui language=\"c++\">\n"
        " <widget class=\"LED\" name=\"LED1\">\n"
        "  <property name=\"geometry\">\n"
        "   <rect>\n"
        "    <x>0</x>\n"
        "    <y>0</y>\n"
        "    <width>85</width>\n"
        "    <height>114</height>\n"
        "   </rect>\n"
        "  </property>\n"
        " </widget>\n"
        "</ui>\n");
}

QWidget* LEDDesignerPlugin::createWidget(QWidget* parent) {
    auto* led = new LED(parent);
    led->setDesignMode(true);
    return led;
}

void LEDDesignerPlugin::initialize(QDesignerFormEditorInterface* core) {
    if (initialized_) {
        return;
    }
    if (core != nullptr && core->extensionManager() != nullptr) {
        QExtensionManager* manager = core->extensionManager();
        manager->registerExtensions(new LEDTaskMenuFactory(manager), Q_TYPEID(QDesignerTaskMenuExtension));
    }
    initialized_ = true;
}
