// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "Ouvir e cortar" driven from the keyboard and the mouse as a user would, on real take files: the
// trim handles give exact selection frames, marker edits land in the take's marker file, the play
// keys ask the player for the right spans, track boundaries are placed, moved, removed and found at
// the silences of a side, and a take that is empty or damaged says so.
#include "recorder/review/ReviewWindow.h"

#include "ReviewTakes.h"
#include "platform/playback/Playback.h"
#include "recorder/review/FramePin.h"
#include "recorder/review/WaveformView.h"
#include "recorder/wavfile/TakeMarkers.h"

#include <QAccessible>
#include <QApplication>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>

namespace {

using review::ReviewChoices;
using review::ReviewWindow;
using reviewtest::TakeSpec;

constexpr std::uint32_t kRate = 44100;
constexpr std::uint64_t kFrames = 10 * kRate;

std::uint64_t at(double seconds) {
    return static_cast<std::uint64_t>(seconds * kRate);
}
std::int64_t boundaryAt(double seconds) {
    return static_cast<std::int64_t>(at(seconds));
}

// Remembers what it was asked; plays until told the span ended.
class FakePlayback final : public platform::playback::Playback {
public:
    struct Span {
        std::uint64_t from, to;
        bool operator==(const Span&) const = default;
    };
    void play(std::uint64_t from, std::uint64_t to) override {
        spans.push_back({from, to});
        position_ = from;
        playing_ = from < to;
    }
    void pause() override { playing_ = false; }
    void resume() override { playing_ = true; }
    void seek(std::uint64_t frame) override { position_ = frame; }
    std::uint64_t position() const override { return position_; }
    bool isPlaying() const override { return playing_; }

    std::vector<Span> spans;

private:
    std::uint64_t position_ = 0;
    bool playing_ = false;
};

struct Review {
    explicit Review(std::uint64_t frames = kFrames, TakeSpec spec = {kRate, 2, 16},
                    const std::function<void(const QString&)>& spoil = {},
                    const reviewtest::Sound& sound = {}) {
        take = reviewtest::writeTake(folder.path(), spec, frames, 0xFFFFFFFFull, sound);
        if (spoil) {
            spoil(take);
        }
        settings.emplace(folder.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        const review::PlaybackFactory factory = [this](auto) {
            auto made = std::make_unique<FakePlayback>();
            player = made.get();
            return made;
        };
        window = std::make_unique<ReviewWindow>(review::ReviewSetup{take, factory, &*settings, {}}, &choices);
        window->resize(800, 400);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->isOpen(); }, 20000));
    }

    template <typename T = QWidget>
    T* find(const char* name) const {
        return window->findChild<T*>(QLatin1String(name));
    }
    // A key where the focus is, as the keyboard gives it.
    void key(QKeyCombination keys) const {
        QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : window.get();
        QTest::keyClick(target, keys.key(), keys.keyboardModifiers());
    }
    // The playhead set as a screen reader sets the slider "Posição".
    void playheadAt(double seconds) const {
        QAccessible::queryAccessibleInterface(find("Waveform"))->valueInterface()->setCurrentValue(seconds);
    }
    double sliderValue(const char* name) const {
        return QAccessible::queryAccessibleInterface(find(name))->valueInterface()->currentValue().toDouble();
    }
    // The take's marker file, once the window closed (which waits for the last edit to land).
    std::vector<std::uint64_t> sidecar() const {
        window->reject();
        return basSoundRec_2::readTakeMarkers(take).frames;
    }
    QString missing() const { return find<QLabel>("Missing")->text(); }
    QString tracksStatus() const { return find<QLabel>("TracksStatus")->text(); }
    std::vector<std::int64_t> boundaries() const { return choices.boundaryFrames(); }
    std::vector<review::FramePin*> boundaryPins() const {
        auto pins = window->findChildren<review::FramePin*>(QStringLiteral("TrackBoundary"));
        pins.removeIf([](review::FramePin* pin) { return pin->isHidden(); });
        std::sort(pins.begin(), pins.end(), [](auto* a, auto* b) { return a->frame() < b->frame(); });
        return {pins.begin(), pins.end()};
    }
    // Dragged with the mouse to `share` of the view's width.
    void drag(QWidget* pin, double share) const {
        auto* view = find("Waveform");
        const QPoint grip(pin->width() / 2, pin->height() / 2);
        QTest::mousePress(pin, Qt::LeftButton, {}, grip);
        QMouseEvent move(QEvent::MouseMove, QPointF(view->width() * share - pin->x(), grip.y()),
                         pin->mapToGlobal(QPointF(grip)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pin, &move);
        QTest::mouseRelease(pin, Qt::LeftButton, {}, grip);
    }
    // Types `text` over what a field holds, then leaves it.
    void typeInto(const char* field, const QString& text) const {
        auto* box = find(field);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Tab);
    }
    // "Dividir em faixas", once the take's loudness is measured.
    void split() const {
        QTest::mouseClick(find("Split"), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !tracksStatus().endsWith(QChar(0x2026)); }, 60000));
    }

    QTemporaryDir folder;
    QString take;
    std::optional<QSettings> settings;
    ReviewChoices choices;
    FakePlayback* player = nullptr;
    std::unique_ptr<ReviewWindow> window;
};

using Selection = std::optional<std::pair<std::uint64_t, std::uint64_t>>;

Selection selectionOf(const ReviewChoices& choices) {
    if (!choices.selection) {
        return std::nullopt;
    }
    return std::pair{static_cast<std::uint64_t>(choices.selection->from),
                     static_cast<std::uint64_t>(choices.selection->to)};
}

// A side as a record gives it, at 11025 Hz: a second of lead-in silence, then five tones of 8 s at
// different pitches, separated by 2.5 s of noise at -60 dBFS RMS with a click at -6 dBFS peak every
// 0.37 s.
constexpr std::uint32_t kSideRate = 11025;
constexpr double kTone = 8.0;
constexpr double kGap = 2.5;
constexpr double kLeadIn = 1.0;
constexpr std::uint64_t kSideFrames =
    static_cast<std::uint64_t>((kLeadIn + 5 * kTone + 4 * kGap) * kSideRate);

double toneStart(int tone) {
    return kLeadIn + tone * (kTone + kGap);
}

std::int32_t side(std::uint64_t frame, int channel) {
    constexpr double kFullScale = 2147483648.0;
    const double t = static_cast<double>(frame) / kSideRate;
    if (t < kLeadIn) {
        return 0;
    }
    const int tone = static_cast<int>((t - kLeadIn) / (kTone + kGap));
    const double into = t - toneStart(tone);
    if (into < kTone) {
        return static_cast<std::int32_t>(0.5 * std::sin(2 * M_PI * 220.0 * (tone + 1) * t) * kFullScale);
    }
    const auto gapFrame = static_cast<std::uint64_t>((into - kTone) * kSideRate);
    if (gapFrame % static_cast<std::uint64_t>(0.37 * kSideRate) == 0) {
        return static_cast<std::int32_t>(0.5 * kFullScale);
    }
    // Uniform noise of RMS 10^-3: amplitude sqrt(3) x 10^-3.
    std::uint64_t x = (frame * 2 + static_cast<std::uint64_t>(channel) + 1) * 0x9E3779B97F4A7C15ull;
    x ^= x >> 29;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 32;
    const double uniform = static_cast<double>(x & 0xFFFFFF) / 0x800000 - 1.0;
    return static_cast<std::int32_t>(uniform * std::sqrt(3.0) * 1e-3 * kFullScale);
}

// Four boundaries, each inside the gap after its tone.
void expectOneBoundaryInEachGap(const std::vector<std::int64_t>& boundaries) {
    ASSERT_EQ(boundaries.size(), 4u);
    for (int gap = 0; gap < 4; ++gap) {
        EXPECT_GT(boundaries[gap], (toneStart(gap) + kTone) * kSideRate) << "gap " << gap;
        EXPECT_LT(boundaries[gap], toneStart(gap + 1) * kSideRate) << "gap " << gap;
    }
}

struct Row {
    const char* name;
    std::function<void(Review&)> act;
    Selection selection;                     // what the next save writes
    std::vector<std::uint64_t> markers;      // the take's marker file afterwards
    std::vector<FakePlayback::Span> played;  // what the player was asked, in order
    // The track boundaries afterwards; nothing where the row checks them itself.
    std::optional<std::vector<std::int64_t>> boundaries = std::vector<std::int64_t>{};
    bool side = false;  // the take is the side above, else 10 s of noise
};

TEST(ReviewWindow, KeysAndTheMouseSetTheTrimMarkersAndPlayback) {
    const Row rows[] = {
        {"I and O at the playhead",
         [](Review& r) {
             r.playheadAt(1.0);
             r.key(Qt::Key_I);
             r.playheadAt(3.0);
             r.key(Qt::Key_O);
             EXPECT_DOUBLE_EQ(r.sliderValue("TrimStart"), 1.0);
             EXPECT_DOUBLE_EQ(r.sliderValue("TrimEnd"), 3.0);
         },
         std::pair{at(1), at(3)},
         {},
         {}},
        {"O before the start takes the start back to the take's start",
         [](Review& r) {
             r.playheadAt(4.0);
             r.key(Qt::Key_I);
             r.playheadAt(2.5);
             r.key(Qt::Key_O);
         },
         std::pair{0ull, at(2.5)},
         {},
         {}},
        {"I past the end takes the end to the take's end",
         [](Review& r) {
             r.playheadAt(2.0);
             r.key(Qt::Key_O);
             r.playheadAt(6.0);
             r.key(Qt::Key_I);
         },
         std::pair{at(6), kFrames},
         {},
         {}},
        {"Desfazer corte puts the handles back",
         [](Review& r) {
             r.playheadAt(1.0);
             r.key(Qt::Key_I);
             r.key(Qt::Key_End);
             r.key(Qt::Key_Left);
             r.key(Qt::Key_O);
             ASSERT_TRUE(r.find("UndoTrim")->isEnabled());
             QTest::mouseClick(r.find("UndoTrim"), Qt::LeftButton);
             EXPECT_DOUBLE_EQ(r.sliderValue("TrimEnd"), 10.0);
         },
         std::nullopt,
         {},
         {}},
        {"Space presses the button with the focus rather than play",
         [](Review& r) {
             r.playheadAt(1.0);
             r.key(Qt::Key_I);
             r.find("UndoTrim")->setFocus();
             r.key(Qt::Key_Space);
             EXPECT_EQ(r.find<QPushButton>("Play")->text(), QStringLiteral("Tocar"));
         },
         std::nullopt,
         {},
         {}},
        {"a button clicked with the mouse leaves Space to play and pause",
         [](Review& r) {
             QTest::mouseClick(r.find("PlaySelection"), Qt::LeftButton);
             r.key(Qt::Key_Space);
             EXPECT_EQ(r.find<QPushButton>("Play")->text(), QStringLiteral("Tocar"));
         },
         std::nullopt,
         {},
         {{0, kFrames}}},
        {"a handle moved by its keys and by the mouse",
         [](Review& r) {
             r.find("TrimStart")->setFocus();
             r.key(Qt::Key_Right);  // 0.1 s
             auto* end = r.find("TrimEnd");
             end->setFocus();
             r.key(Qt::Key_Home);    // as far back as the start handle
             r.key(Qt::Key_PageUp);  // 5 s on
             // Dragged to the middle of the view: half the take.
             auto* view = r.find("Waveform");
             const QPoint grip = end->geometry().center() - end->geometry().topLeft();
             QTest::mousePress(end, Qt::LeftButton, {}, grip);
             QMouseEvent move(QEvent::MouseMove, QPointF(view->width() / 2.0 - end->x(), grip.y()),
                              end->mapToGlobal(QPointF(grip)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
             QApplication::sendEvent(end, &move);
             QTest::mouseRelease(end, Qt::LeftButton, {}, grip);
             // Left and Right stayed with the handles: the playhead did not move.
             EXPECT_EQ(r.window->playhead(), 0u);
         },
         std::pair{kRate / 10, kFrames / 2},
         {},
         {}},
        {"M adds markers, Ctrl+arrows jump between them, Delete removes the one at the playhead",
         [](Review& r) {
             for (const double s : {4.0, 1.0, 2.0}) {
                 r.playheadAt(s);
                 r.key(Qt::Key_M);
             }
             r.key(Qt::Key_M);  // a second marker at the same frame is none
             r.key(Qt::Key_Home);
             r.key(Qt::CTRL | Qt::Key_Right);
             EXPECT_EQ(r.window->playhead(), at(1));
             r.key(Qt::CTRL | Qt::Key_Right);
             EXPECT_EQ(r.window->playhead(), at(2));
             r.key(Qt::Key_Delete);
             r.key(Qt::CTRL | Qt::Key_Left);
             EXPECT_EQ(r.window->playhead(), at(1));
             r.key(Qt::CTRL | Qt::Key_Right);
             EXPECT_EQ(r.window->playhead(), at(4));
             r.key(Qt::CTRL | Qt::Key_Right);  // none further on
             EXPECT_EQ(r.window->playhead(), at(4));
             r.playheadAt(7.0);
             r.key(Qt::Key_Delete);  // nothing near the playhead
         },
         std::nullopt,
         {at(1), at(4)},
         {}},
        {"Space plays from the playhead and pauses; Shift+Space plays the selection",
         [](Review& r) {
             r.playheadAt(2.0);
             r.key(Qt::Key_Space);
             EXPECT_EQ(r.find<QPushButton>("Play")->text(), QStringLiteral("Pausar"));
             r.key(Qt::Key_Space);
             EXPECT_EQ(r.find<QPushButton>("Play")->text(), QStringLiteral("Tocar"));
             r.playheadAt(3.0);
             r.key(Qt::Key_I);
             r.playheadAt(5.0);
             r.key(Qt::Key_O);
             r.key(Qt::SHIFT | Qt::Key_Space);
             r.playheadAt(4.0);  // paused inside the selection, Space goes on to its end
             r.key(Qt::Key_Space);
             r.key(Qt::Key_Space);
             r.key(Qt::Key_End);  // paused at the take's end, Space starts it over
             r.key(Qt::Key_Space);
             r.key(Qt::Key_Space);
         },
         std::pair{at(3), at(5)},
         {},
         {{at(2), kFrames}, {at(3), at(5)}, {at(4), at(5)}, {0, kFrames}}},
        {"T adds boundaries; Delete, a boundary's keys and a drag remove and move them",
         [](Review& r) {
             for (const double s : {2.0, 5.0, 8.0}) {
                 r.playheadAt(s);
                 r.key(Qt::Key_T);
             }
             r.playheadAt(5.0);
             r.key(Qt::Key_Delete);
             auto pins = r.boundaryPins();
             ASSERT_EQ(pins.size(), 2u);
             EXPECT_EQ(pins[0]->accessibleName(), QStringLiteral("Faixa 2 começa em 0:00:02"));
             EXPECT_EQ(pins[1]->accessibleName(), QStringLiteral("Faixa 3 começa em 0:00:08"));
             pins[0]->setFocus();
             r.key(Qt::Key_Right);  // 0.1 s on
             r.drag(pins[1], 0.75);
             r.playheadAt(9.0);
             r.key(Qt::Key_T);
             r.playheadAt(1.0);
             r.boundaryPins().back()->setFocus();
             r.key(Qt::Key_Delete);  // the boundary with the focus, far from the playhead
             r.find("Waveform")->setFocus();
             r.key(Qt::Key_Home);
             r.key(Qt::CTRL | Qt::Key_Right);
             EXPECT_EQ(r.window->playhead(), at(2) + kRate / 10);
             // A boundary taken out of the selection begins no track.
             r.playheadAt(3.0);
             r.key(Qt::Key_I);
             EXPECT_EQ(r.boundaryPins()[1]->accessibleName(), QStringLiteral("Faixa 2 começa em 0:00:07"));
             EXPECT_TRUE(r.find("SaveTracks")->isEnabled());
         },
         std::pair{at(3), kFrames},
         {},
         {},
         std::vector<std::int64_t>{boundaryAt(2.1), boundaryAt(7.5)}},
        {"Marcas viram faixas; Delete takes the boundary on a marker first",
         [](Review& r) {
             EXPECT_FALSE(r.find("SaveTracks")->isEnabled());
             for (const double s : {3.0, 6.0}) {
                 r.playheadAt(s);
                 r.key(Qt::Key_M);
             }
             QTest::mouseClick(r.find("MarkersToTracks"), Qt::LeftButton);
             r.playheadAt(3.0);
             r.key(Qt::Key_Delete);
         },
         std::nullopt,
         {at(3), at(6)},
         {},
         std::vector<std::int64_t>{boundaryAt(6)}},
        {"Dividir em faixas on a side: a boundary in each gap, following the values",
         [](Review& r) {
             r.playheadAt(26.0);
             r.key(Qt::Key_T);  // placed by hand, within a tone: it stays whatever the values
             r.split();
             auto boundaries = r.boundaries();
             boundaries.erase(std::find(boundaries.begin(), boundaries.end(), 26 * kSideRate));
             expectOneBoundaryInEachGap(boundaries);
             r.typeInto("MinimumSilence", QStringLiteral("3"));
             EXPECT_EQ(r.boundaries(), std::vector<std::int64_t>{26 * kSideRate});
             EXPECT_EQ(r.tracksStatus(), QStringLiteral("Nenhum silêncio encontrado com estes valores"));
             r.typeInto("MinimumSilence", QStringLiteral("1.5"));
             EXPECT_EQ(r.boundaries().size(), 5u);
             r.typeInto("Threshold", QStringLiteral("-70"));
             EXPECT_EQ(r.boundaries().size(), 1u);
             r.typeInto("Threshold", QStringLiteral("-45"));
             EXPECT_EQ(r.tracksStatus(), QStringLiteral("6 faixas na seleção"));
             r.key(Qt::Key_Delete);  // the boundary placed by hand, at the playhead
             expectOneBoundaryInEachGap(r.boundaries());
             EXPECT_EQ(r.tracksStatus(), QStringLiteral("5 faixas na seleção"));
         },
         std::nullopt,
         {},
         {},
         std::nullopt,
         true},
        {"a take with no gap: nothing is placed",
         [](Review& r) {
             r.split();
             EXPECT_EQ(r.tracksStatus(), QStringLiteral("Nenhum silêncio encontrado com estes valores"));
             // Seen whole, not cut to its first letters beside the buttons.
             const auto* status = r.find<QLabel>("TracksStatus");
             EXPECT_GE(status->width(), status->fontMetrics().horizontalAdvance(status->text()));
             EXPECT_FALSE(r.find("SaveTracks")->isEnabled());
         },
         std::nullopt,
         {},
         {},
         std::vector<std::int64_t>{}},
        {"a threshold above 0 dBFS and a minimum silence of 0 are refused by their fields",
         [](Review& r) {
             auto* threshold = r.find<QDoubleSpinBox>("Threshold");
             auto* silence = r.find<QDoubleSpinBox>("MinimumSilence");
             threshold->setFocus();
             QTest::keyClick(threshold, Qt::Key_A, Qt::ControlModifier);
             QTest::keyClicks(threshold, QStringLiteral("5"));
             EXPECT_FALSE(r.tracksStatus().isEmpty());
             QTest::keyClick(threshold, Qt::Key_Tab);
             EXPECT_EQ(threshold->value(), -45.0);
             r.typeInto("MinimumSilence", QStringLiteral("0"));
             EXPECT_EQ(silence->value(), 1.5);
             r.split();
             expectOneBoundaryInEachGap(r.boundaries());
         },
         std::nullopt,
         {},
         {},
         std::nullopt,
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Review review(row.side ? kSideFrames : kFrames, {row.side ? kSideRate : kRate, 2, 16}, {},
                      row.side ? reviewtest::Sound(&side) : reviewtest::Sound());
        ASSERT_NE(review.player, nullptr);
        review.find("Waveform")->setFocus();
        row.act(review);
        EXPECT_EQ(review.player->spans, row.played);
        EXPECT_EQ(selectionOf(review.choices), row.selection);
        if (row.boundaries) {
            EXPECT_EQ(review.boundaries(), *row.boundaries);
        }
        EXPECT_EQ(review.sidecar(), row.markers);
    }
}

TEST(ReviewWindow, ClosingKeepsTheChoicesForTheNextReviewOfTheTake) {
    Review review;
    review.playheadAt(1.5);
    review.key(Qt::Key_I);
    review.playheadAt(4.0);
    review.key(Qt::Key_T);
    review.typeInto("MinimumSilence", QStringLiteral("2.5"));
    review.typeInto("Threshold", QStringLiteral("-50"));
    review.find("Waveform")->setFocus();
    review.key(Qt::Key_Escape);
    EXPECT_EQ(review.window->result(), ReviewWindow::Closed);
    ASSERT_EQ(selectionOf(review.choices), (std::pair{at(1.5), kFrames}));

    ReviewWindow again(review::ReviewSetup{review.take, nullptr, &*review.settings, {}}, &review.choices);
    again.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return again.isOpen(); }));
    const auto value = [&](const char* name) {
        auto* widget = again.findChild<QWidget*>(QLatin1String(name));
        return QAccessible::queryAccessibleInterface(widget)->valueInterface()->currentValue().toDouble();
    };
    EXPECT_DOUBLE_EQ(value("TrimStart"), 1.5);
    EXPECT_DOUBLE_EQ(value("TrackBoundary"), 4.0);
    EXPECT_EQ(value("MinimumSilence"), 2.5);
    EXPECT_EQ(value("Threshold"), -50.0);
    // Salvar… closes it with a save asked for.
    QTest::mouseClick(again.findChild<QPushButton*>(QStringLiteral("Save")), Qt::LeftButton);
    EXPECT_EQ(again.result(), ReviewWindow::Save);
}

TEST(ReviewWindow, SalvarFaixasAsksForTheTracksOfTheSelectionAndClosesWithTheChoice) {
    Review review;
    for (const double s : {0.5, 3.0, 6.0}) {
        review.playheadAt(s);
        review.key(Qt::Key_T);
    }
    review.playheadAt(2.0);
    review.key(Qt::Key_I);
    QSignalSpy asked(review.window.get(), &ReviewWindow::saveTracksRequested);
    int rows = 0;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        rows = dialog->findChild<QTableWidget*>(QStringLiteral("TrackTitles"))->rowCount();
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("TrackSave")), Qt::LeftButton);
    });
    QTest::mouseClick(review.find("SaveTracks"), Qt::LeftButton);
    // The boundary at 0.5 s lies before the trim: the tracks are 2-3 s, 3-6 s and 6-10 s.
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(review.window->result(), ReviewWindow::SaveTracks);
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(review.window->trackSaveChoice().paths.size(), 3);
    EXPECT_EQ(review.window->trackSaveChoice().titles.first(), QStringLiteral("Faixa 1"));
}

TEST(ReviewWindow, TakesThatAreEmptyOrDamagedSayWhatIsMissing) {
    struct Case {
        const char* name;
        std::uint64_t frames;
        std::function<void(const QString&)> spoil;
        bool playable;
        std::uint64_t framesShown;
        std::vector<std::uint64_t> markers;
        // The line under the waveform where it matters word for word ("" for none); any words when null.
        const char* says = nullptr;
    };
    // The take's two sizes as a crash leaves them: the RIFF size stating `riffAudio` bytes of audio
    // (or the raw `riff`), the data size `data`.
    const auto sizes = [](std::uint32_t riff, std::uint32_t data, std::optional<std::uint32_t> riffAudio = {}) {
        return [=](const QString& take) {
            const std::uint64_t audio = reviewtest::dataOffsetOf(take);
            const auto stated = riffAudio ? static_cast<std::uint32_t>(audio - 8 + *riffAudio) : riff;
            ASSERT_TRUE(reviewtest::patch(take, 4, reviewtest::le32(stated)));
            ASSERT_TRUE(reviewtest::patch(take, audio - 4, reviewtest::le32(data)));
        };
    };
    // The take's marker file with the lines of these frames spoiled.
    const auto damageMarkers = [](std::vector<std::uint64_t> spoiled) {
        return [spoiled](const QString& take) {
            for (const std::uint64_t frame : {at(1), at(2), at(3), at(4)}) {
                ASSERT_EQ(basSoundRec_2::addTakeMarker(take, frame), 0);
            }
            QFile file(basSoundRec_2::takeMarkersPath(take));
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            QByteArray text = file.readAll();
            for (const std::uint64_t frame : spoiled) {
                text.replace(QByteArray::number(frame), QByteArray::number(frame + 1));
            }
            file.seek(0);
            file.write(text);
        };
    };
    const Case cases[] = {
        {"a take of no frames", 0, {}, false, 0, {}},
        {"a take shorter than its header says",
         kFrames,
         [](const QString& take) {
             QFile file(take);
             ASSERT_TRUE(file.resize(file.size() - 4 * at(2)));
         },
         true,
         at(8),
         {}},
        // Read by the file's length, as the recovery repairs them.
        {"a take cut off before its first header refresh", kFrames, sizes(0, 18), true, kFrames, {}, ""},
        {"a take cut off with both sizes zero", kFrames, sizes(0, 0), true, kFrames, {}, ""},
        {"a take cut off a refresh behind its audio", kFrames, sizes(0, 4 * at(3), 4 * at(3)), true, kFrames, {}, ""},
        {"a take cut off between writing its two sizes", kFrames, sizes(0, 4 * at(5), 4 * at(3)), true, kFrames, {},
         ""},
        {"a marker file with a damaged line",
         kFrames,
         damageMarkers({at(2)}),
         true,
         kFrames,
         {at(1), at(3), at(4)},
         "1 linha danificada do arquivo de marcas ficou de fora."},
        {"a marker file with two damaged lines",
         kFrames,
         damageMarkers({at(2), at(4)}),
         true,
         kFrames,
         {at(1), at(3)},
         "2 linhas danificadas do arquivo de marcas ficaram de fora."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Review review(c.frames, {kRate, 2, 16}, c.spoil);
        EXPECT_EQ(review.window->frames(), c.framesShown);
        EXPECT_EQ(review.find("Play")->isEnabled(), c.playable);
        EXPECT_EQ(review.find("PlaySelection")->isEnabled(), c.playable);
        if (c.says != nullptr) {
            EXPECT_EQ(review.missing(), QString::fromUtf8(c.says));
        } else {
            EXPECT_FALSE(review.missing().isEmpty());
        }
        EXPECT_EQ(review.window->markers(), c.markers);
        if (c.playable) {
            review.key(Qt::Key_Space);
            ASSERT_FALSE(review.player->spans.empty());
            EXPECT_EQ(review.player->spans.back(), (FakePlayback::Span{0, c.framesShown}));
        }
    }
    Review whole;
    EXPECT_TRUE(whole.missing().isEmpty());
    EXPECT_EQ(whole.window->windowTitle(), QStringLiteral("Ouvir e cortar - take.WAV"));
}

}  // namespace
