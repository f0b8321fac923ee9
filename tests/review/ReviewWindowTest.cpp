// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "Ouvir e cortar" driven from the keyboard and the mouse as a user would, on real take files: the
// trim handles give exact selection frames, marker edits land in the take's marker file, the play
// keys ask the player for the right spans, and a take that is empty or damaged says so.
#include "recorder/review/ReviewWindow.h"

#include "ReviewTakes.h"
#include "platform/playback/Playback.h"
#include "recorder/review/FramePin.h"
#include "recorder/review/WaveformView.h"
#include "recorder/wavfile/TakeMarkers.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

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
                    const std::function<void(const QString&)>& spoil = {}) {
        take = reviewtest::writeTake(folder.path(), spec, frames);
        if (spoil) {
            spoil(take);
        }
        settings.emplace(folder.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        const review::PlaybackFactory factory = [this](auto) {
            auto made = std::make_unique<FakePlayback>();
            player = made.get();
            return made;
        };
        window = std::make_unique<ReviewWindow>(review::ReviewSetup{take, factory, &*settings}, &choices);
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

struct Row {
    const char* name;
    std::function<void(Review&)> act;
    Selection selection;                     // what the next save writes
    std::vector<std::uint64_t> markers;      // the take's marker file afterwards
    std::vector<FakePlayback::Span> played;  // what the player was asked, in order
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
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Review review;
        ASSERT_NE(review.player, nullptr);
        review.find("Waveform")->setFocus();
        row.act(review);
        EXPECT_EQ(review.player->spans, row.played);
        EXPECT_EQ(selectionOf(review.choices), row.selection);
        EXPECT_EQ(review.sidecar(), row.markers);
    }
}

TEST(ReviewWindow, ClosingKeepsTheChoicesForTheNextReviewOfTheTake) {
    Review review;
    review.playheadAt(1.5);
    review.key(Qt::Key_I);
    review.key(Qt::Key_Escape);
    EXPECT_EQ(review.window->result(), ReviewWindow::Closed);
    ASSERT_EQ(selectionOf(review.choices), (std::pair{at(1.5), kFrames}));
    ReviewWindow again(review::ReviewSetup{review.take, nullptr, &*review.settings}, &review.choices);
    again.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return again.isOpen(); }));
    auto* start = again.findChild<QWidget*>(QStringLiteral("TrimStart"));
    EXPECT_DOUBLE_EQ(
        QAccessible::queryAccessibleInterface(start)->valueInterface()->currentValue().toDouble(), 1.5);
    // Salvar… closes it with a save asked for.
    QTest::mouseClick(again.findChild<QPushButton*>(QStringLiteral("Save")), Qt::LeftButton);
    EXPECT_EQ(again.result(), ReviewWindow::Save);
}

TEST(ReviewWindow, TakesThatAreEmptyOrDamagedSayWhatIsMissing) {
    struct Case {
        const char* name;
        std::uint64_t frames;
        std::function<void(const QString&)> spoil;
        bool playable;
        std::uint64_t framesShown;
        std::vector<std::uint64_t> markers;
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
        {"a marker file with a damaged line",
         kFrames,
         [](const QString& take) {
             for (const std::uint64_t frame : {at(1), at(2), at(3)}) {
                 ASSERT_EQ(basSoundRec_2::addTakeMarker(take, frame), 0);
             }
             QFile file(basSoundRec_2::takeMarkersPath(take));
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             QByteArray text = file.readAll();
             text.replace(QByteArray::number(at(2)), QByteArray::number(at(2) + 1));
             file.seek(0);
             file.write(text);
         },
         true,
         kFrames,
         {at(1), at(3)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Review review(c.frames, {kRate, 2, 16}, c.spoil);
        EXPECT_EQ(review.window->frames(), c.framesShown);
        EXPECT_EQ(review.find("Play")->isEnabled(), c.playable);
        EXPECT_EQ(review.find("PlaySelection")->isEnabled(), c.playable);
        EXPECT_FALSE(review.missing().isEmpty());
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
