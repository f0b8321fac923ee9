// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/QualityFrame.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>

QualityFrame::QualityFrame(std::vector<Rate> rates, QCheckBox& stereo, QObject* parent)
    : QObject(parent), rates_(std::move(rates)), stereo_(stereo) {
    for (const Rate& rate : rates_) {
        // A screen reader reads each option with the note that says what it is for.
        rate.option->setAccessibleDescription(rate.note->text());
        // Tab reaches the rate group once, at its selected option; the arrow keys move within it.
        connect(rate.option, &QAbstractButton::toggled, this, [this] {
            for (const Rate& each : rates_) {
                each.option->setFocusPolicy(each.option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
            }
        });
    }
}

platform::wavein::WAVEFORMATEX QualityFrame::format() const {
    platform::wavein::WAVEFORMATEX format;
    format.wFormatTag = platform::wavein::WAVE_FORMAT_PCM;
    format.nChannels = stereo_.isChecked() ? 2 : 1;
    for (const Rate& rate : rates_) {
        if (rate.option->isChecked()) {
            format.nSamplesPerSec = rate.samplesPerSecond;
        }
    }
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<std::uint16_t>(format.wBitsPerSample * format.nChannels / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    format.cbSize = 18;
    return format;
}
