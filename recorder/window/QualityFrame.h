// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The QUALIDADE frame: the sample rate options, each with the note beneath it that says what it is
// for, and the stereo box. It is read as the format of the next take.

#include "platform/wavein/WaveIn.h"

#include <QObject>

#include <cstdint>
#include <vector>

class QCheckBox;
class QLabel;
class QRadioButton;

class QualityFrame final : public QObject {
    Q_OBJECT

public:
    struct Rate {
        QRadioButton* option;
        QLabel* note;
        std::uint32_t samplesPerSecond;
    };

    QualityFrame(std::vector<Rate> rates, QCheckBox& stereo, QObject* parent);

    // 16-bit PCM at the chosen rate, stereo when the box is ticked.
    platform::wavein::WAVEFORMATEX format() const;

private:
    std::vector<Rate> rates_;
    QCheckBox& stereo_;
};
