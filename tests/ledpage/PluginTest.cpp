// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Designer plugin loaded from the built module with QPluginLoader: the widget box entry,
// the instances it makes, and its task menu on an LED outside any form.
#include "DesignerHelpers.h"

#include <LED/LED.h>
#include <LED/LEDProperties.h>
#include <LED/LEDPropertySheet.h>

#include <QCheckBox>
#include <QDesignerFormEditorInterface>
#include <QLineEdit>
#include <QPluginLoader>
#include <QPushButton>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <gtest/gtest.h>

using ledpage_test::BareCore;
using ledpage_test::editAction;
using ledpage_test::SheetScript;

TEST(DesignerPlugin, LoadsAndDescribesTheLEDForTheWidgetBox) {
    QPluginLoader loader(QStringLiteral(LED_DESIGNER_PLUGIN_FILE));
    ASSERT_TRUE(loader.load()) << loader.errorString().toStdString();
    auto* plugin = qobject_cast<QDesignerCustomWidgetInterface*>(loader.instance());
    ASSERT_NE(plugin, nullptr);

    EXPECT_EQ(plugin->name(), "LED");
    EXPECT_EQ(plugin->group(), "Led_ocx");
    EXPECT_EQ(plugin->includeFile(), "LED/LED.h");
    EXPECT_FALSE(plugin->toolTip().isEmpty());
    EXPECT_FALSE(plugin->whatsThis().isEmpty());
    EXPECT_FALSE(plugin->isContainer());
    const QList<QSize> sizes = plugin->icon().availableSizes();
    ASSERT_EQ(sizes.size(), 1);
    EXPECT_EQ(sizes[0], QSize(16, 15));
    const QImage picture = plugin->icon().pixmap(QSize(16, 15)).toImage();
    EXPECT_EQ(picture.pixelColor(6, 1), QColor(0, 255, 0));  // a lit top segment

    // The default geometry is 1272 x 1716 twips.
    const QString dom = plugin->domXml().simplified().remove(' ');
    EXPECT_TRUE(dom.contains(R"(<widgetclass="LED")")) << dom.toStdString();
    EXPECT_TRUE(dom.contains("<width>85</width><height>114</height>")) << dom.toStdString();

    QWidget parent;
    QWidget* widget = plugin->createWidget(&parent);
    auto* led = qobject_cast<LED*>(widget);
    ASSERT_NE(led, nullptr);
    EXPECT_EQ(led->parent(), &parent);
    EXPECT_TRUE(led->designMode());
    EXPECT_EQ(led->Value(), 0);
    EXPECT_EQ(led->LEDColorOn(), LED::DefaultColorOn);
}

TEST(DesignerPlugin, EditsAnLEDOutsideAnyFormDirectly) {
    QPluginLoader loader(QStringLiteral(LED_DESIGNER_PLUGIN_FILE));
    auto* plugin = qobject_cast<QDesignerCustomWidgetInterface*>(loader.instance());
    ASSERT_NE(plugin, nullptr);
    BareCore core;
    plugin->initialize(&core);
    EXPECT_TRUE(plugin->isInitialized());

    QWidget parent;
    auto* led = qobject_cast<LED*>(plugin->createWidget(&parent));
    ASSERT_NE(led, nullptr);
    QAction* action = editAction(&core, led);
    ASSERT_NE(action, nullptr);

    SheetScript script([](LEDPropertySheet* sheet) {
        sheet->propertiesPage()->chkShowDecimal()->setChecked(true);
        sheet->propertiesPage()->txtValue()->setText("6");
        sheet->okButton()->click();
    });
    action->trigger();
    EXPECT_TRUE(script.ran);
    EXPECT_TRUE(led->ShowDecimal());
    EXPECT_EQ(led->Value(), 6);
}
