// An LED stored in a form: the .ui compiled by uic and the same file loaded at run time by
// QUiLoader must both give the widget every stored property.
#include <LED/LED.h>

#include <QFile>
#include <QUiLoader>

#include <gtest/gtest.h>

#include <memory>

#include "ui_LedForm.h"

namespace {

void expectStored(const LED& led) {
    EXPECT_TRUE(led.valueIsMask());
    EXPECT_EQ(led.value(), 100);  // a mask, accepted because ValueIsMask came first
    EXPECT_TRUE(led.showDecimal());
    EXPECT_TRUE(led.showBorder());
    EXPECT_EQ(led.ledColorOn(), 0x8000000Du);
    EXPECT_EQ(led.ledColorOff(), 0x000000FFu);
    EXPECT_EQ(led.backStyle(), LED::Opaque);
}

void expectDefaults(const LED& led) {
    EXPECT_EQ(led.value(), 0);
    EXPECT_FALSE(led.valueIsMask());
    EXPECT_EQ(led.ledColorOn(), 0x0000FF00u);
    EXPECT_EQ(led.backStyle(), LED::Transparent);
}

class LedLoader : public QUiLoader {
public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        if (className == QLatin1String("LED")) {
            auto* led = new LED(parent);
            led->setObjectName(name);
            return led;
        }
        return QUiLoader::createWidget(className, parent, name);
    }
};

}  // namespace

TEST(LedForm, CompiledFormSetsEveryProperty) {
    QWidget form;
    Ui::LedForm ui;
    ui.setupUi(&form);
    expectStored(*ui.maskDigit);
    expectDefaults(*ui.plainDigit);
}

TEST(LedForm, FormLoadedAtRunTimeSetsEveryProperty) {
    QFile file(QStringLiteral(LED_FORM_PATH));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    LedLoader loader;
    std::unique_ptr<QWidget> form(loader.load(&file));
    ASSERT_TRUE(form) << loader.errorString().toStdString();
    auto* mask = form->findChild<LED*>(QStringLiteral("maskDigit"));
    auto* plain = form->findChild<LED*>(QStringLiteral("plainDigit"));
    ASSERT_TRUE(mask && plain);
    expectStored(*mask);
    expectDefaults(*plain);
}
