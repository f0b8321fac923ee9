// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// "Ouvir e cortar": a take heard and trimmed before it is kept, and split into tracks. The waveform
// of the whole take with its time ruler, playhead and markers; playback; two trim handles; track
// boundaries, found at the silences ("Dividir em faixas") or placed by hand. It opens at once: the
// take's headers and markers are read on a thread, the waveform and the loudness the track finder
// searches are measured on another. The take file never changes here; what is set goes into the
// caller's ReviewChoices as it is set, and marker edits into the take's marker file, so closing the
// window in any way keeps them for the next save. Modal to its parent.
//
// Keys, wherever the focus is not in a field: Space plays or pauses, Shift+Space plays the
// selection, Home/End and Left/Right (5 s) move the playhead, I and O set the trim's start and end at
// the playhead, M adds a marker there and T a track boundary, Ctrl+Left/Ctrl+Right jump to the
// previous/next marker or boundary, Delete removes the marker or boundary at the playhead.

#include "recorder/review/ReviewChoices.h"
#include "recorder/review/TrackSaveDialog.h"

#include <QDateTime>
#include <QDialog>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSettings;

namespace platform::playback {
class FrameSource;
class Playback;
class Worker;
}  // namespace platform::playback

namespace review {

class FramePin;
class MarkerWriter;
class TakeAudio;
class TimeRuler;
class WaveformSummary;
class WaveformView;

using PlaybackFactory = std::function<std::unique_ptr<platform::playback::Playback>(
    std::shared_ptr<const platform::playback::FrameSource> take)>;

struct ReviewSetup {
    QString firstPart;  // the take's first file
    // Makes the take's player: makePulseAudioPlayback on the program's one server connection.
    PlaybackFactory playback;
    // The window's size ("review/") and the gap settings ("tracks/") are kept here, and what
    // "Salvar faixas…" keeps; nothing is kept without it.
    QSettings* settings = nullptr;
    // When the take began: "Salvar faixas…" offers its year. Unknown: the file's last change.
    QDateTime began;
    // Writes the take's marker file; the one that wrote the take's markers, so whoever saves the take
    // after the review waits for both. Null: the window has one of its own.
    MarkerWriter* markerWriter = nullptr;
};

class ReviewWindow final : public QDialog {
    Q_OBJECT

public:
    // What exec() returns: closed (Esc, "Fechar", the close box) or a save asked for.
    enum Outcome { Closed = QDialog::Rejected, Save = QDialog::Accepted + 1, SaveTracks };

    // Reads and updates `choices`, which must outlive the window.
    ReviewWindow(ReviewSetup setup, ReviewChoices* choices, QWidget* parent = nullptr);
    ~ReviewWindow() override;

    // The take's headers and markers are read (or found unreadable): opened() was sent.
    bool isOpen() const { return open_; }
    std::uint64_t frames() const { return frames_; }
    std::uint64_t playhead() const;
    const std::vector<std::uint64_t>& markers() const { return markers_; }
    // What "Salvar faixas…" chose, once the window closed with SaveTracks.
    const TrackSaveChoice& trackSaveChoice() const { return trackChoice_; }

    void done(int result) override;

signals:
    void opened();
    // "Salvar…": the window closes with Save; the caller saves the take with its choices.
    void saveRequested();
    // "Salvar faixas…" was answered: the window closes with SaveTracks; the caller saves each of
    // `choice.paths` from the tracks of the selection (tracksWithin).
    void saveTracksRequested(const review::TrackSaveChoice& choice);

private:
    struct Opened;
    struct Mailbox;
    void takeOpened(const Opened& found);
    void buildLayout();
    void bindKeys();
    void tick();

    void togglePlay();
    void playSelection();
    void play(std::uint64_t from, std::uint64_t to);
    void playbackEnded();
    void playbackFailed(const QString& reason);
    void seeked(std::uint64_t frame);
    void moveBy(std::int64_t seconds);
    void refreshPlay();
    void refreshTime();

    void setTrim(std::uint64_t begin, std::uint64_t end);
    void trimStartHere();
    void trimEndHere();

    void addMarker();
    void removeAtPlayhead();
    void jump(int direction);
    void markersChanged();
    std::uint64_t nearness() const;

    void splitAtSilences();
    void followSilences();
    void addBoundary();
    void markersToBoundaries();
    void setBoundaries(std::vector<TrackBoundary> boundaries);
    void boundaryMoved(FramePin* pin, std::uint64_t frame);
    void removeBoundary(FramePin* pin);
    void saveTracks();
    void sayTracks(const QString& text);

    void say(const QString& text);
    void refreshMissing();

    const ReviewSetup setup_;
    ReviewChoices* const choices_;

    TimeRuler* ruler_;
    WaveformView* view_;
    FramePin* trimStart_;
    FramePin* trimEnd_;
    QLabel* missing_;
    QLabel* time_;
    QLabel* selection_;
    QPushButton* play_;
    QPushButton* playSelection_;
    QPushButton* undoTrim_;
    QPushButton* split_;
    QDoubleSpinBox* minimumSilence_;
    QDoubleSpinBox* threshold_;
    QPushButton* markersToTracks_;
    QPushButton* saveTracks_;
    QLabel* tracksStatus_;
    std::vector<FramePin*> boundaryPins_;
    QLabel* status_;
    QPushButton* save_;
    QPushButton* close_;

    std::unique_ptr<platform::playback::Worker> opener_;
    std::shared_ptr<TakeAudio> audio_;
    std::shared_ptr<WaveformSummary> summary_;
    std::unique_ptr<platform::playback::Playback> playback_;
    MarkerWriter* markerWriter_;
    std::shared_ptr<Mailbox> mailbox_;
    QTimer ticker_;
    bool open_ = false;
    bool summaryComplete_ = false;
    QString openError_;
    QString markerTrouble_;

    std::uint64_t frames_ = 0;
    std::uint32_t rate_ = 0;
    std::uint64_t begin_ = 0;
    std::uint64_t end_ = 0;
    // The last play was the selection's: Space goes on to the selection's end.
    bool playingSelection_ = false;
    std::vector<std::uint64_t> markers_;
    QString splitStatus_;  // what the last search found, shown again once a field takes its value
    TrackSaveChoice trackChoice_;
};

}  // namespace review
