// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/review/SecondsSlider.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace review {

namespace {

class SliderAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    SliderAccessible(QWidget* widget, SecondsSlider* slider)
        : QAccessibleWidget(widget, QAccessible::Slider), slider_(slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }
    QVariant currentValue() const override { return slider_->sliderSeconds(); }
    void setCurrentValue(const QVariant& value) override { slider_->sliderRequest(value.toDouble()); }
    QVariant maximumValue() const override { return slider_->sliderMost(); }
    QVariant minimumValue() const override { return slider_->sliderLeast(); }
    QVariant minimumStepSize() const override { return slider_->sliderStep(); }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Value ? slider_->sliderText() : QAccessibleWidget::text(t);
    }

private:
    SecondsSlider* const slider_;
};

QAccessibleInterface* sliderAccessible(const QString&, QObject* object) {
    if (!object->isWidgetType()) {
        return nullptr;
    }
    auto* widget = static_cast<QWidget*>(object);
    auto* slider = dynamic_cast<SecondsSlider*>(widget);
    return slider != nullptr ? new SliderAccessible(widget, slider) : nullptr;
}

}  // namespace

void exposeAsSecondsSlider() {
    static const bool installed = (QAccessible::installFactory(sliderAccessible), true);
    Q_UNUSED(installed);
}

void announceSliderValue(QWidget* widget, double seconds) {
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(widget, seconds);
        QAccessible::updateAccessibility(&event);
    }
}

}  // namespace review
