// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The QUALIDADE frame: the sample rate options, each with the note beneath it that says what it is
// for, the stereo box, and the frame's context menu, which also offers the archive rates and 24-bit
// samples. It is read as the format of the next take, and remembers the choice between runs.

#include "platform/wavein/WaveIn.h"

#include <QObject>
#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

class QCheckBox;
class QLabel;
class QMenu;
class QPoint;
class QRadioButton;
class QSettings;
class QWidget;

class QualityFrame final : public QObject {
    Q_OBJECT

public:
    struct Rate {
        QRadioButton* option;
        QLabel* note;
    };
    struct Places {
        // The buttons of the rates that have one, lowest rate first.
        std::vector<Rate> rates;
        QCheckBox* stereo = nullptr;
        // "QUALIDADE"; it names the chosen format when no button says it all.
        QLabel* heading = nullptr;
        // Besides the buttons, the parts of the frame where a right click opens the menu.
        std::vector<QWidget*> openOn;
    };

    // The choice is kept in `settings` (may be null); the menu belongs to `window`.
    QualityFrame(const Places& places, QSettings* settings, QWidget& window);

    // PCM at the chosen rate and resolution, stereo when the box is ticked.
    platform::wavein::WAVEFORMATEX format() const;
    std::uint32_t rate() const { return rate_; }
    std::uint16_t bits() const { return bits_; }

    // A rate of the table; one with a button is a press of it. Kept for the next run.
    void chooseRate(std::uint32_t rate);
    void chooseBits(std::uint16_t bits);
    // Takes up what an earlier run kept; the window's defaults stay where nothing valid was kept.
    void restore();
    // The menu while it is open, else null.
    QMenu* menu() const { return menu_; }
    // What the heading says: the format, or the frame's own name when a button says it all.
    QString headingText() const;

private:
    void showMenu(QWidget* over, QPoint at);
    void rateChosen(std::uint32_t rate);
    void remember();
    void showChoice();

    struct Option {
        QRadioButton* button;
        QLabel* note;
        std::uint32_t rate;
    };
    std::vector<Option> options_;
    QCheckBox& stereo_;
    QLabel& heading_;
    QString frameName_;
    QRect headingPlace_;
    QSettings* settings_;
    QWidget& window_;
    QMenu* menu_ = nullptr;
    std::uint32_t rate_ = 0;
    std::uint16_t bits_ = 16;
    bool restored_ = false;
};
