// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/QualityFrame.h"

#include "recorder/window/InputMenu.h"
#include "recorder/wavfile/TakeLayout.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QSettings>

#include <algorithm>

namespace {

const QString kRateSetting = QStringLiteral("quality/rate");
const QString kBitsSetting = QStringLiteral("quality/bits");

}  // namespace

QualityFrame::QualityFrame(const Places& places, QSettings* settings, QWidget& window)
    : QObject(&window),
      stereo_(*places.stereo),
      heading_(*places.heading),
      frameName_(places.heading->text()),
      headingPlace_(places.heading->geometry()),
      settings_(settings),
      window_(window) {
    for (std::size_t i = 0; i < places.rates.size() && i < basSoundRec_2::kRatesWithButtons; ++i) {
        options_.push_back({places.rates[i].option, places.rates[i].note, basSoundRec_2::kTakeRates[i]});
    }
    std::vector<QWidget*> openOn = places.openOn;
    for (const Option& option : options_) {
        openOn.push_back(option.button);
        connect(option.button, &QAbstractButton::toggled, this, [this, rate = option.rate](bool on) {
            if (on) {
                rateChosen(rate);
            }
        });
        // Shift+F10 on the focused button, as the context-menu key does.
        input::openOnShiftF10(*option.button,
                              [this, button = option.button] { showMenu(button, button->rect().center()); });
    }
    // A right click or the context-menu key on the frame or its buttons.
    for (QWidget* part : openOn) {
        part->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(part, &QWidget::customContextMenuRequested, this, [this, part](QPoint at) { showMenu(part, at); });
    }
    for (const Option& option : options_) {
        if (option.button->isChecked()) {
            rate_ = option.rate;
        }
    }
    showChoice();
}

platform::wavein::WAVEFORMATEX QualityFrame::format() const {
    platform::wavein::WAVEFORMATEX format;
    format.wFormatTag = platform::wavein::WAVE_FORMAT_PCM;
    format.nChannels = stereo_.isChecked() ? 2 : 1;
    format.nSamplesPerSec = rate_;
    format.wBitsPerSample = bits_;
    format.nBlockAlign = basSoundRec_2::takeBlockAlign(format.nChannels, bits_);
    format.nAvgBytesPerSec = basSoundRec_2::takeBytesPerSecond(rate_, format.nChannels, bits_);
    format.cbSize = 18;
    return format;
}

void QualityFrame::chooseRate(std::uint32_t rate) {
    if (!basSoundRec_2::isTakeRate(rate)) {
        return;
    }
    const auto button = std::find_if(options_.begin(), options_.end(),
                                     [rate](const Option& option) { return option.rate == rate; });
    if (button != options_.end()) {
        button->button->click();
        return;
    }
    // No button says this rate: none stays on.
    for (const Option& option : options_) {
        option.button->setAutoExclusive(false);
        option.button->setChecked(false);
        option.button->setAutoExclusive(true);
    }
    rateChosen(rate);
}

void QualityFrame::chooseBits(std::uint16_t bits) {
    if (!basSoundRec_2::isTakeBits(bits)) {
        return;
    }
    bits_ = bits;
    remember();
    showChoice();
}

void QualityFrame::restore() {
    if (settings_ == nullptr) {
        return;
    }
    chooseRate(settings_->value(kRateSetting, rate_).toUInt());
    chooseBits(static_cast<std::uint16_t>(settings_->value(kBitsSetting, bits_).toUInt()));
    restored_ = true;
}

void QualityFrame::rateChosen(std::uint32_t rate) {
    rate_ = rate;
    remember();
    showChoice();
}

void QualityFrame::remember() {
    // The window's defaults, set before the kept choice is taken up, are not a choice to keep.
    if (settings_ == nullptr || !restored_ || rate_ == 0) {
        return;
    }
    settings_->setValue(kRateSetting, rate_);
    settings_->setValue(kBitsSetting, bits_);
    settings_->sync();
}

QString QualityFrame::headingText() const {
    const bool buttonSaysIt = std::any_of(options_.begin(), options_.end(), [](const Option& option) {
        return option.button->isChecked();
    });
    if (buttonSaysIt && bits_ == basSoundRec_2::kTakeBits.front()) {
        return frameName_;
    }
    return tr("%1 Hz · %2 bits").arg(rate_).arg(bits_);
}

void QualityFrame::showChoice() {
    const QString heading = headingText();
    heading_.setText(heading);
    const bool told = heading != frameName_;
    // A format is longer than the frame's name: the heading widens about its centre to hold it.
    QRect place = headingPlace_;
    const int needed = heading_.fontMetrics().horizontalAdvance(heading) + 4;
    if (needed > place.width()) {
        place.adjust(-(needed - place.width()) / 2, 0, (needed - place.width() + 1) / 2, 0);
    }
    heading_.setGeometry(place);
    heading_.setAccessibleDescription(told ? tr("Qualidade escolhida no menu de contexto") : QString());
    const bool anyOn = std::any_of(options_.begin(), options_.end(),
                                   [](const Option& option) { return option.button->isChecked(); });
    for (std::size_t i = 0; i < options_.size(); ++i) {
        const Option& option = options_[i];
        // A screen reader reads each option with the note that says what it is for, and, while the
        // menu's choice is one no button says, that choice.
        option.button->setAccessibleDescription(
            told ? tr("%1. Escolhida: %2").arg(option.note->text(), heading) : option.note->text());
        // Tab reaches the rate group once, at its selected option (the first when none is); the
        // arrow keys move within it.
        const bool reached = option.button->isChecked() || (!anyOn && i == 0);
        option.button->setFocusPolicy(reached ? Qt::StrongFocus : Qt::ClickFocus);
    }
    // An open menu follows the choice.
    if (menu_) {
        for (QAction* action : menu_->findChildren<QAction*>()) {
            if (action->property("rate").isValid()) {
                action->setChecked(action->property("rate").toUInt() == rate_);
            } else if (action->property("bits").isValid()) {
                action->setChecked(action->property("bits").toUInt() == bits_);
            }
        }
    }
}

void QualityFrame::showMenu(QWidget* over, QPoint at) {
    QMenu menu(&window_);
    menu.setObjectName(QStringLiteral("qualityMenu"));
    QMenu* rates = menu.addMenu(tr("Taxa de amostragem"));
    auto* rateGroup = new QActionGroup(rates);
    for (const std::uint32_t rate : basSoundRec_2::kTakeRates) {
        QAction* action = rates->addAction(tr("%1 Hz").arg(rate));
        action->setCheckable(true);
        action->setChecked(rate == rate_);
        action->setProperty("rate", rate);
        rateGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, rate] { chooseRate(rate); });
    }
    QMenu* bits = menu.addMenu(tr("Resolução"));
    auto* bitsGroup = new QActionGroup(bits);
    for (const std::uint16_t each : basSoundRec_2::kTakeBits) {
        QAction* action = bits->addAction(tr("%1 bits").arg(each));
        action->setCheckable(true);
        action->setChecked(each == bits_);
        action->setProperty("bits", each);
        bitsGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, each] { chooseBits(each); });
    }
    menu_ = &menu;
    menu.exec(over->mapToGlobal(at));
    menu_ = nullptr;
}
