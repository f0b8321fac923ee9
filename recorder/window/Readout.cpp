// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/Readout.h"

#include "recorder/i18n/ClockText.h"

#include <LED/LED.h>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QStringList>
#include <QWidget>

#include <algorithm>

namespace {

// The readout's texts are the window's, and are translated with it.
QString windowText(const char* text) {
    return QCoreApplication::translate("frmSoundRec", text);
}

// Assistive technologies read the digits' panel as one text, the elapsed time.
QAccessibleInterface* panelAccessible(const QString& className, QObject* object) {
    if (!object->isWidgetType()) {
        return nullptr;
    }
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("ShapeWidget") && widget->objectName() == QLatin1String("Shape6")) {
        return new QAccessibleWidget(widget, QAccessible::StaticText);
    }
    return nullptr;
}

}  // namespace

Readout::Readout(const std::array<LED*, 5>& digits, QWidget& panel, Clock clock)
    : QObject(&panel), digits_(digits), panel_(panel), clock_(std::move(clock)) {
    static const bool panelRole = (QAccessible::installFactory(panelAccessible), true);
    Q_UNUSED(panelRole);
    // The digits speak their values; what the design says only by position is said here.
    static const char* const kDigitRoles[] = {
        QT_TRANSLATE_NOOP("frmSoundRec", "dezenas de minutos"), QT_TRANSLATE_NOOP("frmSoundRec", "minutos"),
        QT_TRANSLATE_NOOP("frmSoundRec", "dezenas de segundos"), QT_TRANSLATE_NOOP("frmSoundRec", "segundos"),
        QT_TRANSLATE_NOOP("frmSoundRec", "horas")};
    for (std::size_t i = 0; i < digits_.size(); ++i) {
        // Each digit is stored with its size only, so it takes the defaults of an empty property bag.
        digits_[i]->UserControl_ReadProperties(LEDMemoryPropertyBag());
        digits_[i]->setFocusPolicy(Qt::NoFocus);
        digits_[i]->setAccessibleDescription(windowText(kDigitRoles[i]));
    }
    speak(0);
    blink_.setInterval(500);
    connect(&blink_, &QTimer::timeout, this, &Readout::blink);
}

void Readout::startClock() {
    startedAt_ = clock_();
    pausedBefore_ = {};
    heldSince_.reset();
}

void Readout::holdClock(bool hold, std::chrono::steady_clock::time_point at) {
    if (hold && !heldSince_) {
        heldSince_ = at;
    } else if (!hold && heldSince_) {
        pausedBefore_ += at - *heldSince_;
        heldSince_.reset();
    }
}

std::chrono::steady_clock::duration Readout::elapsed() const {
    const auto now = heldSince_.value_or(clock_());
    return now - startedAt_ - pausedBefore_;
}

void Readout::speak(long long seconds) {
    panel_.setAccessibleName(
        QCoreApplication::translate("frmSoundRec", "Tempo de gravação %1").arg(i18n::clockText(seconds)));
}

void Readout::showElapsed(std::chrono::steady_clock::duration elapsed) {
    using namespace std::chrono;
    constexpr seconds kMost = hours(9) + minutes(59) + seconds(59);
    const auto shown = std::clamp(duration_cast<seconds>(elapsed), seconds(0), kMost).count();
    const std::array<long long, 5> values{(shown / 600) % 6, (shown / 60) % 10, (shown % 60) / 10, shown % 10,
                                          shown / 3600};
    bool changed = false;
    for (std::size_t i = 0; i < digits_.size(); ++i) {
        if (digits_[i]->Value() != values[i]) {
            digits_[i]->setValue(static_cast<int>(values[i]));
            changed = true;
        }
    }
    if (changed) {
        speak(shown);
    }
}

void Readout::zero() {
    for (LED* digit : digits_) {
        digit->setValue(0);
    }
    // The time a screen reader reads goes back to zero with the digits.
    speak(0);
}

void Readout::setPaused(bool paused) {
    if (paused) {
        blink_.start();
        return;
    }
    blink_.stop();
    if (dark_) {
        blink();
    }
}

void Readout::blink() {
    // Dark digits are lit in the unlit colour: the panel stays, the figures go.
    if (!dark_) {
        lit_ = digits_[0]->LEDColorOn();
    }
    dark_ = !dark_;
    for (LED* digit : digits_) {
        digit->setLEDColorOn(dark_ ? digit->LEDColorOff() : lit_);
    }
}

void Readout::showNotes(const Notes& notes) {
    QStringList lines;
    if (!notes.waiting.isEmpty()) {
        lines << notes.waiting;
    }
    if (notes.roomSeconds) {
        lines << windowText(QT_TRANSLATE_NOOP("frmSoundRec", "Espaço livre para %1"))
                     .arg(i18n::clockText(*notes.roomSeconds));
    }
    if (notes.secondsLeft) {
        lines << windowText(QT_TRANSLATE_NOOP("frmSoundRec", "Faltam %1 para parar a gravação"))
                     .arg(i18n::clockText(*notes.secondsLeft));
    }
    if (notes.markers && *notes.markers > 0) {
        // Portuguese says one and many apart; the translation takes its own plural forms.
        lines << (*notes.markers == 1
                      ? windowText(QT_TRANSLATE_NOOP("frmSoundRec", "1 marca"))
                      : QCoreApplication::translate("frmSoundRec", "%n marcas", nullptr, *notes.markers));
    }
    const QString text = lines.join(QLatin1Char('\n'));
    if (panel_.toolTip() == text) {
        return;
    }
    panel_.setToolTip(text);
    panel_.setAccessibleDescription(text);
    for (LED* digit : digits_) {
        digit->setToolTip(text);
    }
}
