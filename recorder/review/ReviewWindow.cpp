// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/review/ReviewWindow.h"

#include "platform/playback/Playback.h"
#include "platform/playback/Worker.h"
#include "recorder/review/FramePin.h"
#include "recorder/review/MarkerSidecar.h"
#include "recorder/review/TakeAudio.h"
#include "recorder/review/TimeRuler.h"
#include "recorder/review/TimeText.h"
#include "recorder/review/WaveformSummary.h"
#include "recorder/review/WaveformView.h"
#include "recorder/wavfile/TakeMarkers.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace review {

namespace {

const QString kSizeKey = QStringLiteral("review/size");

// While playing or filling, the playhead and the waveform are looked at this often: within the
// 50 ms the issue allows between repaints.
constexpr int kTickMs = 30;
constexpr std::int64_t kStepSeconds = WaveformView::kStepSeconds;
// Delete takes what lies within this many pixel columns of the playhead.
constexpr std::uint64_t kNearColumns = 3;
// Closing waits this long at most for the last marker edit to reach the disk, so the save that
// follows reads it.
constexpr std::chrono::milliseconds kSettleMarkers{1000};

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

// What the opening thread found.
struct ReviewWindow::Opened {
    TakeAudio::Opened take;
    basSoundRec_2::TakeMarkers markers;
};

// Hands the opening thread's findings to the window, unless the window is gone.
struct ReviewWindow::Mailbox {
    std::mutex mutex;
    ReviewWindow* window = nullptr;
};

ReviewWindow::ReviewWindow(ReviewSetup setup, ReviewChoices* choices, QWidget* parent)
    : QDialog(parent),
      setup_(std::move(setup)),
      choices_(choices),
      ruler_(new TimeRuler),
      view_(new WaveformView),
      trimStart_(new FramePin(FramePin::Kind::TrimStart, view_)),
      trimEnd_(new FramePin(FramePin::Kind::TrimEnd, view_)),
      missing_(new QLabel),
      time_(new QLabel),
      selection_(new QLabel),
      play_(new QPushButton(tr("Tocar"))),
      playSelection_(new QPushButton(tr("Tocar seleção"))),
      undoTrim_(new QPushButton(tr("Desfazer corte"))),
      status_(new QLabel),
      save_(new QPushButton(tr("Salvar…"))),
      close_(new QPushButton(tr("Fechar"))),
      sidecar_(new MarkerSidecar(setup_.firstPart, this)),
      mailbox_(std::make_shared<Mailbox>()) {
    setWindowTitle(tr("Ouvir e cortar - %1").arg(QFileInfo(setup_.firstPart).fileName()));
    setWindowModality(Qt::WindowModal);
    setSizeGripEnabled(true);
    buildLayout();
    bindKeys();
    if (setup_.settings != nullptr) {
        const QSize size = setup_.settings->value(kSizeKey).toSize();
        if (size.isValid()) {
            resize(size);
        }
    }
    for (QWidget* w :
         std::initializer_list<QWidget*>{play_, playSelection_, undoTrim_, save_, trimStart_, trimEnd_}) {
        w->setEnabled(false);
    }
    ticker_.setInterval(kTickMs);
    connect(&ticker_, &QTimer::timeout, this, &ReviewWindow::tick);
    connect(view_, &WaveformView::seekRequested, this, &ReviewWindow::seeked);
    connect(trimStart_, &FramePin::moved, this, [this](std::uint64_t frame) { setTrim(frame, end_); });
    connect(trimEnd_, &FramePin::moved, this, [this](std::uint64_t frame) { setTrim(begin_, frame); });
    connect(play_, &QPushButton::clicked, this, &ReviewWindow::togglePlay);
    connect(playSelection_, &QPushButton::clicked, this, &ReviewWindow::playSelection);
    connect(undoTrim_, &QPushButton::clicked, this, [this] { setTrim(0, frames_); });
    connect(save_, &QPushButton::clicked, this, [this] {
        emit saveRequested();
        done(Save);
    });
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    connect(sidecar_, &MarkerSidecar::failed, this,
            [this](int error) { say(tr("As marcas não puderam ser gravadas: %1").arg(errnoText(error))); });

    time_->setText(preciseClockText(0, 1));
    missing_->setText(tr("Abrindo a gravação…"));

    // A header read can stall on a slow or network disk: the window shows at once regardless.
    mailbox_->window = this;
    opener_ = std::make_unique<platform::playback::Worker>(
        [mailbox = mailbox_, path = setup_.firstPart](const std::atomic<bool>&) {
            auto found =
                std::make_shared<Opened>(Opened{TakeAudio::open(path), basSoundRec_2::readTakeMarkers(path)});
            const std::lock_guard lock(mailbox->mutex);
            if (ReviewWindow* window = mailbox->window) {
                QMetaObject::invokeMethod(
                    window, [window, found] { window->takeOpened(*found); }, Qt::QueuedConnection);
            }
        });
}

ReviewWindow::~ReviewWindow() {
    const std::lock_guard lock(mailbox_->mutex);
    mailbox_->window = nullptr;
}

void ReviewWindow::buildLayout() {
    view_->setObjectName(QStringLiteral("Waveform"));
    trimStart_->setObjectName(QStringLiteral("TrimStart"));
    trimStart_->setAccessibleName(tr("Início do corte"));
    trimStart_->setToolTip(tr("Início do corte (I põe no cursor)"));
    trimEnd_->setObjectName(QStringLiteral("TrimEnd"));
    trimEnd_->setAccessibleName(tr("Fim do corte"));
    trimEnd_->setToolTip(tr("Fim do corte (O põe no cursor)"));
    missing_->setObjectName(QStringLiteral("Missing"));
    time_->setObjectName(QStringLiteral("PlayheadTime"));
    time_->setAccessibleDescription(tr("Tempo do cursor"));
    selection_->setObjectName(QStringLiteral("Selection"));
    play_->setObjectName(QStringLiteral("Play"));
    play_->setToolTip(tr("Tocar ou pausar (Espaço)"));
    playSelection_->setObjectName(QStringLiteral("PlaySelection"));
    playSelection_->setToolTip(tr("Tocar do início ao fim do corte (Shift+Espaço)"));
    undoTrim_->setObjectName(QStringLiteral("UndoTrim"));
    status_->setObjectName(QStringLiteral("Status"));
    save_->setObjectName(QStringLiteral("Save"));
    close_->setObjectName(QStringLiteral("Close"));

    // One line each: a long text is cut at the window's edge and read whole in its tooltip.
    for (QLabel* line : {missing_, status_}) {
        line->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        line->setMinimumHeight(line->fontMetrics().height());
        line->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
        line->setFocusPolicy(Qt::NoFocus);
    }
    QFont mono = time_->font();
    mono.setStyleHint(QFont::Monospace);
    mono.setFamily(QStringLiteral("monospace"));
    time_->setFont(mono);
    for (QPushButton* button : {play_, playSelection_, undoTrim_, save_, close_}) {
        button->setAutoDefault(false);
    }

    auto* waveform = new QVBoxLayout;
    waveform->setSpacing(0);
    waveform->addWidget(ruler_);
    waveform->addWidget(view_, 1);

    auto* transport = new QHBoxLayout;
    transport->addWidget(play_);
    transport->addWidget(playSelection_);
    transport->addWidget(undoTrim_);
    transport->addSpacing(12);
    transport->addWidget(time_);
    transport->addSpacing(12);
    transport->addWidget(selection_, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(save_);
    bottom->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(waveform, 1);
    layout->addWidget(missing_);
    layout->addLayout(transport);
    layout->addLayout(bottom);

    setTabOrder(view_, trimStart_);
    setTabOrder(trimStart_, trimEnd_);
    setTabOrder(trimEnd_, play_);
    view_->setFocus();
}

void ReviewWindow::bindKeys() {
    // One row a key; a field or a trim handle that uses the key while it has the focus keeps it.
    struct Binding {
        QKeyCombination keys;
        void (ReviewWindow::*act)();
    };
    const Binding bindings[] = {
        {Qt::Key_Space, &ReviewWindow::togglePlay}, {Qt::SHIFT | Qt::Key_Space, &ReviewWindow::playSelection},
        {Qt::Key_I, &ReviewWindow::trimStartHere},  {Qt::Key_O, &ReviewWindow::trimEndHere},
        {Qt::Key_M, &ReviewWindow::addMarker},      {Qt::Key_Delete, &ReviewWindow::removeAtPlayhead},
    };
    for (const Binding& binding : bindings) {
        connect(new QShortcut(QKeySequence(binding.keys), this), &QShortcut::activated, this, binding.act);
    }
    const struct {
        QKeyCombination keys;
        std::function<void()> act;
    } moves[] = {
        {Qt::Key_Left, [this] { moveBy(-kStepSeconds); }}, {Qt::Key_Right, [this] { moveBy(kStepSeconds); }},
        {Qt::Key_Home, [this] { view_->request(0); }},     {Qt::Key_End, [this] { view_->request(frames_); }},
        {Qt::CTRL | Qt::Key_Left, [this] { jump(-1); }},   {Qt::CTRL | Qt::Key_Right, [this] { jump(1); }},
    };
    for (const auto& move : moves) {
        connect(new QShortcut(QKeySequence(move.keys), this), &QShortcut::activated, this, move.act);
    }
}

void ReviewWindow::takeOpened(const Opened& found) {
    opener_.reset();
    open_ = true;
    audio_ = found.take.audio;
    if (!audio_) {
        openError_ = found.take.error;
        refreshMissing();
        emit opened();
        return;
    }
    frames_ = audio_->frames();
    rate_ = audio_->format().rate;
    summary_ = std::make_shared<WaveformSummary>(audio_);
    view_->setSummary(summary_);
    ruler_->setLength(frames_, rate_);

    markers_ = found.markers.frames;
    if (found.markers.error != 0) {
        markerTrouble_ = tr("As marcas não puderam ser lidas: %1").arg(errnoText(found.markers.error));
    } else if (found.markers.damagedLines > 0) {
        markerTrouble_ = tr("%n linha(s) danificada(s) do arquivo de marcas ficaram de fora.", "",
                            found.markers.damagedLines);
    }
    view_->setMarkers(markers_);

    if (frames_ > 0 && setup_.playback) {
        playback_ = setup_.playback(audio_);
        connect(playback_.get(), &platform::playback::Playback::finished, this, &ReviewWindow::playbackEnded);
        connect(playback_.get(), &platform::playback::Playback::failed, this, &ReviewWindow::playbackFailed);
    }
    const auto total = static_cast<std::int64_t>(frames_);
    analysis::FrameRange kept = choices_->framesToSave(total);
    kept.from = std::clamp<std::int64_t>(kept.from, 0, total);
    kept.to = std::clamp<std::int64_t>(kept.to, kept.from, total);
    // A take of no frames has nothing to trim.
    for (FramePin* pin : {trimStart_, trimEnd_}) {
        pin->setEnabled(frames_ > 0);
        pin->setVisible(frames_ > 0);
    }
    setTrim(static_cast<std::uint64_t>(kept.from), static_cast<std::uint64_t>(kept.to));
    refreshPlay();
    refreshTime();
    refreshMissing();
    ticker_.start();
    emit opened();
}

std::uint64_t ReviewWindow::playhead() const {
    return view_->playhead();
}

void ReviewWindow::tick() {
    const bool playing = playback_ && playback_->isPlaying();
    if (playing) {
        view_->setPlayhead(playback_->position());
        refreshTime();
    }
    if (summary_ && !summaryComplete_ && summary_->complete()) {
        summaryComplete_ = true;
        // Reads may have found frames the disk would not give back.
        refreshMissing();
    }
    if (!playing && summaryComplete_) {
        ticker_.stop();
    }
}

void ReviewWindow::togglePlay() {
    if (!playback_) {
        return;
    }
    if (playback_->isPlaying()) {
        playback_->pause();
        view_->setPlayhead(playback_->position());
        refreshTime();
        refreshPlay();
        return;
    }
    std::uint64_t from = view_->playhead();
    // A paused selection goes on to its end; from anywhere else the take plays to its end.
    const bool inSelection = playingSelection_ && from >= begin_ && from < end_;
    if (inSelection) {
        play(from, end_);
        return;
    }
    playingSelection_ = false;
    if (from >= frames_) {
        from = 0;
    }
    play(from, frames_);
}

void ReviewWindow::playSelection() {
    if (!playback_ || begin_ >= end_) {
        return;
    }
    playingSelection_ = true;
    play(begin_, end_);
}

void ReviewWindow::play(std::uint64_t from, std::uint64_t to) {
    say(QString());
    view_->setPlayhead(from);
    playback_->play(from, to);
    refreshTime();
    refreshPlay();
    ticker_.start();
}

void ReviewWindow::playbackEnded() {
    view_->setPlayhead(playback_->position());
    playingSelection_ = false;
    refreshTime();
    refreshPlay();
}

void ReviewWindow::playbackFailed(const QString& reason) {
    view_->setPlayhead(playback_->position());
    say(reason);
    refreshTime();
    refreshPlay();
}

void ReviewWindow::seeked(std::uint64_t frame) {
    if (playback_ && playback_->isPlaying()) {
        playback_->seek(frame);
    }
    refreshTime();
}

void ReviewWindow::moveBy(std::int64_t seconds) {
    const std::int64_t step = seconds * static_cast<std::int64_t>(rate_);
    const auto at = static_cast<std::int64_t>(view_->playhead());
    view_->request(static_cast<std::uint64_t>(std::max<std::int64_t>(at + step, 0)));
}

void ReviewWindow::refreshPlay() {
    const bool playing = playback_ && playback_->isPlaying();
    play_->setText(playing ? tr("Pausar") : tr("Tocar"));
    play_->setEnabled(playback_ != nullptr);
    playSelection_->setEnabled(playback_ != nullptr && begin_ < end_);
}

void ReviewWindow::refreshTime() {
    time_->setText(preciseClockText(view_->playhead(), std::max<std::uint32_t>(rate_, 1)));
}

void ReviewWindow::setTrim(std::uint64_t begin, std::uint64_t end) {
    end = std::min(end, frames_);
    begin = std::min(begin, end);
    begin_ = begin;
    end_ = end;
    trimStart_->setReach(0, frames_);
    trimEnd_->setReach(0, frames_);
    trimStart_->setFrame(begin_);
    trimEnd_->setFrame(end_);
    trimStart_->setReach(0, end_);
    trimEnd_->setReach(begin_, frames_);
    view_->setSelection(begin_, end_);
    if (begin_ == 0 && end_ == frames_) {
        choices_->selection.reset();
    } else {
        choices_->selection =
            analysis::FrameRange{static_cast<std::int64_t>(begin_), static_cast<std::int64_t>(end_)};
    }
    const std::uint32_t rate = std::max<std::uint32_t>(rate_, 1);
    selection_->setText(tr("Seleção: %1 a %2 (%3)")
                            .arg(preciseClockText(begin_, rate), preciseClockText(end_, rate),
                                 preciseClockText(end_ - begin_, rate)));
    undoTrim_->setEnabled(choices_->selection.has_value());
    save_->setEnabled(begin_ < end_);
    save_->setToolTip(begin_ < end_ ? QString() : tr("A seleção está vazia."));
    refreshPlay();
}

void ReviewWindow::trimStartHere() {
    if (!open_ || frames_ == 0) {
        return;
    }
    // Past the end handle, the end moves out of the way to the take's end.
    const std::uint64_t at = view_->playhead();
    setTrim(at, at > end_ ? frames_ : end_);
}

void ReviewWindow::trimEndHere() {
    if (!open_ || frames_ == 0) {
        return;
    }
    const std::uint64_t at = view_->playhead();
    setTrim(at < begin_ ? 0 : begin_, at);
}

void ReviewWindow::addMarker() {
    if (!open_ || !audio_) {
        return;
    }
    const std::uint64_t at = view_->playhead();
    const auto place = std::lower_bound(markers_.begin(), markers_.end(), at);
    if (place != markers_.end() && *place == at) {
        return;
    }
    markers_.insert(place, at);
    markersChanged();
}

// The frames within a few pixel columns of the playhead at the view's present width.
std::uint64_t ReviewWindow::nearness() const {
    return frames_ * kNearColumns / static_cast<std::uint64_t>(std::max(view_->width(), 1));
}

void ReviewWindow::removeAtPlayhead() {
    if (!open_ || markers_.empty()) {
        return;
    }
    const std::uint64_t at = view_->playhead();
    const auto distance = [at](std::uint64_t frame) { return frame > at ? frame - at : at - frame; };
    const auto nearest =
        std::min_element(markers_.begin(), markers_.end(),
                         [&](std::uint64_t a, std::uint64_t b) { return distance(a) < distance(b); });
    if (distance(*nearest) > nearness()) {
        return;
    }
    markers_.erase(nearest);
    markersChanged();
}

void ReviewWindow::jump(int direction) {
    const std::uint64_t at = view_->playhead();
    if (direction > 0) {
        const auto next = std::upper_bound(markers_.begin(), markers_.end(), at);
        if (next != markers_.end()) {
            view_->request(*next);
        }
    } else {
        const auto after = std::lower_bound(markers_.begin(), markers_.end(), at);
        if (after != markers_.begin()) {
            view_->request(*std::prev(after));
        }
    }
}

void ReviewWindow::markersChanged() {
    view_->setMarkers(markers_);
    sidecar_->write(markers_);
}

void ReviewWindow::say(const QString& text) {
    status_->setText(text);
    status_->setToolTip(text);
}

void ReviewWindow::refreshMissing() {
    QStringList lines;
    if (!openError_.isEmpty()) {
        lines << openError_;
    } else if (audio_) {
        const QString gaps = describeGaps(audio_->gaps(), audio_->partPaths(), rate_);
        if (!gaps.isEmpty()) {
            lines << gaps;
        }
        if (frames_ == 0) {
            lines << tr("A gravação está vazia: não há som para tocar.");
        }
    }
    if (!markerTrouble_.isEmpty()) {
        lines << markerTrouble_;
    }
    const QString line = lines.join(QLatin1Char(' '));
    missing_->setText(line);
    missing_->setToolTip(line);
}

void ReviewWindow::done(int result) {
    // The sound stops with the window.
    playback_.reset();
    ticker_.stop();
    sidecar_->settle(kSettleMarkers);
    if (setup_.settings != nullptr) {
        setup_.settings->setValue(kSizeKey, size());
    }
    QDialog::done(result);
}

}  // namespace review
