// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: LGPL-3.0-or-later

// The Qt Designer plugin that offers LED in the widget box and is its design-time host.
#pragma once

#include <QtUiPlugin/QDesignerCustomWidgetInterface>

class LEDDesignerPlugin : public QObject, public QDesignerCustomWidgetInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetInterface")
    Q_INTERFACES(QDesignerCustomWidgetInterface)

public:
    explicit LEDDesignerPlugin(QObject* parent = nullptr);

    QString name() const override;
    QString group() const override;
    QString toolTip() const override;
    QString whatsThis() const override;
    QString includeFile() const override;
    QIcon icon() const override;
    bool isContainer() const override;
    // The default geometry of a new LED: 1272 x 1716 twips.
    QString domXml() const override;

    // A new LED in design mode: its errors show a box instead of reaching Designer as exceptions.
    QWidget* createWidget(QWidget* parent) override;

    bool isInitialized() const override { return initialized_; }
    // Registers the "Edit LED Properties..." task menu with the form editor's extension manager.
    void initialize(QDesignerFormEditorInterface* core) override;

private:
    bool initialized_ = false;
};
