// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// "Salvar faixas…": the folder, the format, the album's fields and each track's title, checked as
// they are typed so that a save never starts with a name it cannot write. It only asks; the caller
// saves, and must still create each file without replacing one (a name may be taken meanwhile).

#include "platform/encoding/Encoding.h"
#include "recorder/analysis/Gaps.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;
class QSpinBox;

namespace review {

class TitleTable;

struct TrackSaveSetup {
    std::vector<analysis::FrameRange> tracks;  // in order (tracksWithin)
    int sampleRate = 0;
    int year = 0;    // the take's; "Ano" starts there
    QString folder;  // offered when no folder is remembered
    // The last folder, format and artist are read from here and kept here on "Salvar" (keys under
    // "tracks/"); nothing is kept without it.
    QSettings* settings = nullptr;
};

struct TrackSaveChoice {
    QString folder;
    platform::encoding::Format format = platform::encoding::Format::Flac;
    QString album;
    QString artist;
    int year = 0;
    QStringList titles;  // one a track, without the spaces around them
    QStringList paths;   // where each track goes: folder + "/NN Título.ext"
};

class TrackSaveDialog final : public QDialog {
    Q_OBJECT

public:
    explicit TrackSaveDialog(TrackSaveSetup setup, QWidget* parent = nullptr);
    ~TrackSaveDialog() override;

    // What the dialog shows now; what the user chose once it was accepted.
    TrackSaveChoice choice() const;
    // Why "Salvar" is disabled, or what it will write: the line under the table.
    QString status() const;

protected:
    bool event(QEvent* event) override;

private:
    void fill();
    void check();
    void browse();
    void save();
    QString folder() const;
    platform::encoding::Format format() const;
    QStringList titles() const;

    TrackSaveSetup setup_;
    QLineEdit* folder_;
    QPushButton* browse_;
    QComboBox* format_;
    QLineEdit* album_;
    QLineEdit* artist_;
    QSpinBox* year_;
    TitleTable* table_;
    QLabel* status_;
    QPushButton* save_;
};

}  // namespace review
