// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/review/ReviewWindow.h"

#include "platform/playback/Playback.h"
#include "platform/playback/Worker.h"
#include "recorder/review/FramePin.h"
#include "recorder/review/MarkerWriter.h"
#include "recorder/review/TakeAudio.h"
#include "recorder/review/TimeRuler.h"
#include "recorder/review/TimeText.h"
#include "recorder/review/TrackRanges.h"
#include "recorder/review/WaveformSummary.h"
#include "recorder/review/WaveformView.h"
#include "recorder/wavfile/TakeMarkers.h"

#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
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
const QString kMinimumSilenceKey = QStringLiteral("tracks/minimumSilence");
const QString kThresholdKey = QStringLiteral("tracks/threshold");

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

// A button with the focus is pressed by Space, as in every window: the window's own Space (play or
// pause) yields to it there, or the keyboard alone could press none of the window's buttons.
class SpacePressesButtons final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
                event->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

// A gap setting's field. It refuses what the track finder refuses (analysis::faultOf: a threshold
// above 0 dBFS, a minimum silence of 0) by its range, and says so while such a value is typed.
class GapField final : public QDoubleSpinBox {
public:
    struct Rule {
        double least, most, step, fallback;
        int decimals;
        const char* unit;
    };
    explicit GapField(const Rule& rule) {
        setRange(rule.least, rule.most);
        setSingleStep(rule.step);
        setDecimals(rule.decimals);
        setSuffix(QLatin1Char(' ') + QLatin1String(rule.unit));
        setValue(rule.fallback);
        setAlignment(Qt::AlignRight);
    }
    // Told, as the text changes, whether the field would refuse it.
    void onRefusal(std::function<void(bool refused)> told) { told_ = std::move(told); }

    QValidator::State validate(QString& text, int& position) const override {
        const QValidator::State state = QDoubleSpinBox::validate(text, position);
        if (told_) {
            told_(state != QValidator::Acceptable);
        }
        return state;
    }

private:
    std::function<void(bool)> told_;
};

constexpr GapField::Rule kMinimumSilenceRule{0.1, 60.0, 0.1, analysis::GapSettings{}.minimumSilenceSeconds,
                                             1,   "s"};
constexpr GapField::Rule kThresholdRule{-120.0, 0.0, 1.0, analysis::GapSettings{}.thresholdDb, 0, "dBFS"};

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
      split_(new QPushButton(tr("Dividir em faixas"))),
      minimumSilence_(new GapField(kMinimumSilenceRule)),
      threshold_(new GapField(kThresholdRule)),
      markersToTracks_(new QPushButton(tr("Marcas viram faixas"))),
      saveTracks_(new QPushButton(tr("Salvar faixas…"))),
      tracksStatus_(new QLabel),
      status_(new QLabel),
      save_(new QPushButton(tr("Salvar…"))),
      close_(new QPushButton(tr("Fechar"))),
      markerWriter_(setup_.markerWriter != nullptr ? setup_.markerWriter : new MarkerWriter(this)),
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
        minimumSilence_->setValue(
            setup_.settings->value(kMinimumSilenceKey, minimumSilence_->value()).toDouble());
        threshold_->setValue(setup_.settings->value(kThresholdKey, threshold_->value()).toDouble());
    }
    // Nothing works on the take until it is open.
    for (QWidget* w : std::initializer_list<QWidget*>{play_, playSelection_, undoTrim_, save_, trimStart_,
                                                      trimEnd_, split_, markersToTracks_, saveTracks_}) {
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
    connect(split_, &QPushButton::clicked, this, &ReviewWindow::splitAtSilences);
    static_cast<GapField*>(minimumSilence_)->onRefusal([this](bool refused) {
        sayTracks(refused ? tr("O silêncio mínimo vai de %1 a %2 s.")
                                .arg(locale().toString(kMinimumSilenceRule.least),
                                     locale().toString(kMinimumSilenceRule.most))
                          : splitStatus_);
    });
    static_cast<GapField*>(threshold_)->onRefusal([this](bool refused) {
        sayTracks(refused ? tr("O limite vai de %1 a %2 dBFS.")
                                .arg(locale().toString(kThresholdRule.least),
                                     locale().toString(kThresholdRule.most))
                          : splitStatus_);
    });
    connect(minimumSilence_, &QDoubleSpinBox::valueChanged, this, &ReviewWindow::followSilences);
    connect(threshold_, &QDoubleSpinBox::valueChanged, this, &ReviewWindow::followSilences);
    connect(markersToTracks_, &QPushButton::clicked, this, &ReviewWindow::markersToBoundaries);
    connect(saveTracks_, &QPushButton::clicked, this, &ReviewWindow::saveTracks);
    // Markers set during the take that failed were told by the recorder at the time.
    connect(markerWriter_, &MarkerWriter::failed, this, [this](int error, bool wholeSet) {
        if (wholeSet) {
            say(tr("As marcas não puderam ser gravadas: %1").arg(errnoText(error)));
        }
    });

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
    split_->setObjectName(QStringLiteral("Split"));
    split_->setToolTip(tr("Põe uma divisão de faixas no meio de cada silêncio da seleção"));
    minimumSilence_->setObjectName(QStringLiteral("MinimumSilence"));
    threshold_->setObjectName(QStringLiteral("Threshold"));
    markersToTracks_->setObjectName(QStringLiteral("MarkersToTracks"));
    saveTracks_->setObjectName(QStringLiteral("SaveTracks"));
    tracksStatus_->setObjectName(QStringLiteral("TracksStatus"));
    status_->setObjectName(QStringLiteral("Status"));
    save_->setObjectName(QStringLiteral("Save"));
    close_->setObjectName(QStringLiteral("Close"));

    // One line each: a long text is cut at the window's edge and read whole in its tooltip.
    for (QLabel* line : {missing_, tracksStatus_, status_}) {
        line->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        line->setMinimumHeight(line->fontMetrics().height());
        line->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
        line->setFocusPolicy(Qt::NoFocus);
    }
    QFont mono = time_->font();
    mono.setStyleHint(QFont::Monospace);
    mono.setFamily(QStringLiteral("monospace"));
    time_->setFont(mono);
    auto* spacePresses = new SpacePressesButtons(this);
    for (QPushButton* button :
         {play_, playSelection_, undoTrim_, split_, markersToTracks_, saveTracks_, save_, close_}) {
        button->setAutoDefault(false);
        button->installEventFilter(spacePresses);
        // A click leaves the focus where it was, so Space goes on playing and pausing after it.
        button->setFocusPolicy(Qt::TabFocus);
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

    // The label names its field for a screen reader too.
    const auto label = [](const QString& text, QWidget* field) {
        auto* l = new QLabel(text);
        l->setBuddy(field);
        field->setAccessibleName(QString(text).remove(QLatin1Char('&')));
        return l;
    };
    auto* tracks = new QHBoxLayout;
    tracks->addWidget(split_);
    tracks->addWidget(label(tr("&Silêncio mínimo"), minimumSilence_));
    tracks->addWidget(minimumSilence_);
    tracks->addWidget(label(tr("&Limite"), threshold_));
    tracks->addWidget(threshold_);
    tracks->addWidget(markersToTracks_);
    tracks->addWidget(saveTracks_);
    tracks->addStretch(1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(save_);
    bottom->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(waveform, 1);
    layout->addWidget(missing_);
    layout->addLayout(transport);
    layout->addLayout(tracks);
    // A line of its own: beside the buttons it had a few pixels, and its answer went unseen.
    layout->addWidget(tracksStatus_);
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
        {Qt::Key_Space, &ReviewWindow::togglePlay},
        {Qt::SHIFT | Qt::Key_Space, &ReviewWindow::playSelection},
        {Qt::Key_I, &ReviewWindow::trimStartHere},
        {Qt::Key_O, &ReviewWindow::trimEndHere},
        {Qt::Key_M, &ReviewWindow::addMarker},
        {Qt::Key_T, &ReviewWindow::addBoundary},
        {Qt::Key_Delete, &ReviewWindow::removeAtPlayhead},
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
    summary_ = std::make_shared<WaveformSummary>(audio_, WaveformSummary::Loudness::Measure);
    view_->setSummary(summary_);
    ruler_->setLength(frames_, rate_);

    // A crash can leave a marker set for sound that never reached the disk: there is nothing there
    // to mark, and a save would drop it anyway.
    markers_ = found.markers.frames;
    std::erase_if(markers_, [this](std::uint64_t frame) { return frame >= frames_; });
    if (found.markers.error != 0) {
        markerTrouble_ = tr("As marcas não puderam ser lidas: %1").arg(errnoText(found.markers.error));
    } else if (found.markers.damagedLines > 0) {
        // Shown as written in Portuguese, where %n picks no plural form: one line and many are two texts.
        markerTrouble_ = found.markers.damagedLines == 1
                             ? tr("1 linha danificada do arquivo de marcas ficou de fora.")
                             : tr("%n linhas danificadas do arquivo de marcas ficaram de fora.", "",
                                  found.markers.damagedLines);
    }
    view_->setMarkers(markers_);
    markersToTracks_->setEnabled(!markers_.empty());

    if (frames_ > 0 && setup_.playback) {
        playback_ = setup_.playback(audio_);
    }
    if (playback_) {
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
    std::vector<TrackBoundary> boundaries;
    for (const TrackBoundary& boundary : choices_->boundaries) {
        if (boundary.frame >= 0 && boundary.frame <= total) {
            boundaries.push_back(boundary);
        }
    }
    setBoundaries(std::move(boundaries));
    setTrim(static_cast<std::uint64_t>(kept.from), static_cast<std::uint64_t>(kept.to));
    split_->setEnabled(frames_ > 0);
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
        followSilences();
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
    // Boundaries are numbered and found within the selection.
    setBoundaries(choices_->boundaries);
    followSilences();
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
    if (!open_) {
        return;
    }
    const std::uint64_t at = view_->playhead();
    const auto distance = [at](std::uint64_t frame) { return frame > at ? frame - at : at - frame; };
    const auto nearest = [&](const auto& frames) {
        return std::min_element(frames.begin(), frames.end(),
                                [&](std::uint64_t a, std::uint64_t b) { return distance(a) < distance(b); });
    };
    const auto marker = nearest(markers_);
    const bool nearMarker = marker != markers_.end() && distance(*marker) <= nearness();
    std::vector<std::uint64_t> boundaries;
    for (const TrackBoundary& boundary : choices_->boundaries) {
        boundaries.push_back(static_cast<std::uint64_t>(boundary.frame));
    }
    const auto boundary = nearest(boundaries);
    const bool nearBoundary = boundary != boundaries.end() && distance(*boundary) <= nearness();
    // A boundary made of a marker lies on it: the boundary goes first.
    if (nearBoundary && (!nearMarker || distance(*boundary) <= distance(*marker))) {
        removeBoundary(boundaryPins_[static_cast<std::size_t>(boundary - boundaries.begin())]);
    } else if (nearMarker) {
        markers_.erase(marker);
        markersChanged();
    }
}

void ReviewWindow::jump(int direction) {
    std::vector<std::uint64_t> points = markers_;
    for (const TrackBoundary& boundary : choices_->boundaries) {
        points.push_back(static_cast<std::uint64_t>(boundary.frame));
    }
    std::sort(points.begin(), points.end());
    const std::uint64_t at = view_->playhead();
    if (direction > 0) {
        const auto next = std::upper_bound(points.begin(), points.end(), at);
        if (next != points.end()) {
            view_->request(*next);
        }
    } else {
        const auto after = std::lower_bound(points.begin(), points.end(), at);
        if (after != points.begin()) {
            view_->request(*std::prev(after));
        }
    }
}

void ReviewWindow::markersChanged() {
    view_->setMarkers(markers_);
    markersToTracks_->setEnabled(!markers_.empty());
    markerWriter_->replace(setup_.firstPart, markers_);
}

void ReviewWindow::splitAtSilences() {
    choices_->splitAtSilences = true;
    followSilences();
}

// Places the found boundaries anew from the gap settings and the selection; those placed by hand
// stay where they are.
void ReviewWindow::followSilences() {
    if (!choices_->splitAtSilences || !open_) {
        return;
    }
    const analysis::LoudnessProfile* profile = summary_ ? summary_->loudness() : nullptr;
    if (profile == nullptr) {
        // The search runs once the take is read through (tick).
        sayTracks(splitStatus_ = tr("Medindo o som da gravação…"));
        return;
    }
    const analysis::TrackSplit split = analysis::findTrackBoundaries(
        *profile, {threshold_->value(), minimumSilence_->value()},
        analysis::FrameRange{static_cast<std::int64_t>(begin_), static_cast<std::int64_t>(end_)});
    std::vector<TrackBoundary> boundaries;
    std::copy_if(choices_->boundaries.begin(), choices_->boundaries.end(), std::back_inserter(boundaries),
                 [](const TrackBoundary& boundary) { return !boundary.found; });
    for (const std::int64_t frame : split.boundaries) {
        if (std::none_of(boundaries.begin(), boundaries.end(),
                         [frame](const TrackBoundary& boundary) { return boundary.frame == frame; })) {
            boundaries.push_back({frame, true});
        }
    }
    std::sort(boundaries.begin(), boundaries.end(),
              [](const TrackBoundary& a, const TrackBoundary& b) { return a.frame < b.frame; });
    // setBoundaries tells the count of tracks; a search that found nothing says so instead.
    setBoundaries(std::move(boundaries));
    if (split.boundaries.empty()) {
        sayTracks(splitStatus_ = tr("Nenhum silêncio encontrado com estes valores"));
    }
}

void ReviewWindow::addBoundary() {
    if (!open_ || frames_ == 0) {
        return;
    }
    const auto at = static_cast<std::int64_t>(view_->playhead());
    std::vector<TrackBoundary> boundaries = choices_->boundaries;
    const auto place =
        std::lower_bound(boundaries.begin(), boundaries.end(), at,
                         [](const TrackBoundary& b, std::int64_t frame) { return b.frame < frame; });
    if (place != boundaries.end() && place->frame == at) {
        return;
    }
    boundaries.insert(place, {at, false});
    setBoundaries(std::move(boundaries));
}

void ReviewWindow::markersToBoundaries() {
    std::vector<TrackBoundary> boundaries = choices_->boundaries;
    for (const std::uint64_t marker : markers_) {
        const auto frame = static_cast<std::int64_t>(marker);
        if (std::none_of(boundaries.begin(), boundaries.end(),
                         [frame](const TrackBoundary& boundary) { return boundary.frame == frame; })) {
            boundaries.push_back({frame, false});
        }
    }
    std::sort(boundaries.begin(), boundaries.end(),
              [](const TrackBoundary& a, const TrackBoundary& b) { return a.frame < b.frame; });
    setBoundaries(std::move(boundaries));
}

// Keeps one pin a boundary, each between its neighbours, named after the track it begins.
void ReviewWindow::setBoundaries(std::vector<TrackBoundary> boundaries) {
    choices_->boundaries = std::move(boundaries);
    const std::vector<TrackBoundary>& all = choices_->boundaries;
    while (boundaryPins_.size() < all.size()) {
        auto* pin = new FramePin(FramePin::Kind::Boundary, view_);
        pin->setObjectName(QStringLiteral("TrackBoundary"));
        connect(pin, &FramePin::moved, this, [this, pin](std::uint64_t frame) { boundaryMoved(pin, frame); });
        connect(pin, &FramePin::removeRequested, this, [this, pin] { removeBoundary(pin); });
        boundaryPins_.push_back(pin);
    }
    while (boundaryPins_.size() > all.size()) {
        // It may be the pin whose Delete is being handled.
        FramePin* pin = boundaryPins_.back();
        boundaryPins_.pop_back();
        pin->hide();
        pin->deleteLater();
    }
    const std::uint32_t rate = std::max<std::uint32_t>(rate_, 1);
    int track = 1;
    QWidget* before = trimStart_;
    for (std::size_t i = 0; i < all.size(); ++i) {
        FramePin* pin = boundaryPins_[i];
        const auto frame = static_cast<std::uint64_t>(all[i].frame);
        pin->setReach(0, frames_);
        pin->setFrame(frame);
        pin->setReach(i == 0 ? 0 : static_cast<std::uint64_t>(all[i - 1].frame) + 1,
                      i + 1 == all.size() ? frames_ : static_cast<std::uint64_t>(all[i + 1].frame) - 1);
        const bool inside = frame > begin_ && frame < end_;
        const QString name = inside ? tr("Faixa %1 começa em %2").arg(++track).arg(clockText(frame, rate))
                                    : tr("Divisão fora do corte, em %1").arg(clockText(frame, rate));
        pin->setAccessibleName(name);
        pin->setToolTip(tr("%1 (Delete a remove)").arg(name));
        pin->show();
        setTabOrder(before, pin);
        before = pin;
    }
    setTabOrder(before, trimEnd_);
    saveTracks_->setEnabled(track > 1);
    // The count follows every boundary placed, moved or removed, not only those a search found.
    if (choices_->splitAtSilences || track > 1) {
        // Shown as written in Portuguese, where %n picks no plural form: one track and many are two texts.
        sayTracks(splitStatus_ = track == 1 ? tr("1 faixa na seleção") : tr("%n faixas na seleção", "", track));
    }
}

void ReviewWindow::boundaryMoved(FramePin* pin, std::uint64_t frame) {
    const auto at = std::find(boundaryPins_.begin(), boundaryPins_.end(), pin);
    if (at == boundaryPins_.end()) {
        return;
    }
    std::vector<TrackBoundary> boundaries = choices_->boundaries;
    // Moved by hand, it stays where it was put.
    boundaries[static_cast<std::size_t>(at - boundaryPins_.begin())] = {static_cast<std::int64_t>(frame),
                                                                        false};
    setBoundaries(std::move(boundaries));
}

void ReviewWindow::removeBoundary(FramePin* pin) {
    const auto at = std::find(boundaryPins_.begin(), boundaryPins_.end(), pin);
    if (at == boundaryPins_.end()) {
        return;
    }
    std::vector<TrackBoundary> boundaries = choices_->boundaries;
    boundaries.erase(boundaries.begin() + (at - boundaryPins_.begin()));
    setBoundaries(std::move(boundaries));
}

void ReviewWindow::saveTracks() {
    TrackSaveSetup setup;
    setup.tracks = tracksWithin({static_cast<std::int64_t>(begin_), static_cast<std::int64_t>(end_)},
                                choices_->boundaryFrames());
    setup.sampleRate = static_cast<int>(rate_);
    const QFileInfo take(setup_.firstPart);
    setup.year = (setup_.began.isValid() ? setup_.began : take.lastModified()).date().year();
    setup.folder = take.absolutePath();
    setup.settings = setup_.settings;
    TrackSaveDialog dialog(std::move(setup), this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    trackChoice_ = dialog.choice();
    emit saveTracksRequested(trackChoice_);
    done(SaveTracks);
}

void ReviewWindow::sayTracks(const QString& text) {
    tracksStatus_->setText(text);
    tracksStatus_->setToolTip(text);
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
    markerWriter_->settle(kSettleMarkers);
    if (setup_.settings != nullptr) {
        setup_.settings->setValue(kSizeKey, size());
        setup_.settings->setValue(kMinimumSilenceKey, minimumSilence_->value());
        setup_.settings->setValue(kThresholdKey, threshold_->value());
    }
    QDialog::done(result);
}

}  // namespace review
