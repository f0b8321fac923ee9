// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Takes through the real window on a real PulseAudio server that goes away mid-take, and with a
// window thread that stalls: the take ends or goes on as the user expects, and nothing the server
// delivered is lost without the user hearing of it.
#include "recorder/window/frmSoundRec.h"

#include "CountingSource.h"
#include "PrivateServer.h"
#include "RecordFor.h"
#include "ScriptedDialogs.h"
#include "TakeReader.h"
#include "platform/wavein/PulseWaveIn.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

using testsupport::readTake;

namespace {

constexpr std::size_t kLeadIn = 10u * 35280;  // 44100 Hz stereo, the window's default
constexpr double kSecond = 176400;

double secondsOfSound(const testsupport::TakeBytes& take) {
    return static_cast<double>(take.dataLength() - kLeadIn) / kSecond;
}

// Checks what every finished take must be; the sine judged from half a second in.
void expectFinishedTake(const QString& path, std::size_t upTo = SIZE_MAX) {
    const auto take = readTake(path);
    ASSERT_GT(take.dataLength(), kLeadIn + kSecond);
    EXPECT_EQ(take.u32(42), take.dataLength());
    EXPECT_EQ(take.u32(4), take.bytes.size() - 8);
    const auto periods = testsupport::sinePeriods(take, kLeadIn + 88200, upTo, 2);
    EXPECT_GE(periods.shortest, 95u);
    EXPECT_LE(periods.longest, 106u);
    EXPECT_EQ(testsupport::independentReadersComplaints(path, 2, 44100), QString());
}

// What the window shows when the server went away: the toggle up, nothing recording, and one box
// that says so.
void expectEndedForTheServer(frmSoundRec& window, const testsupport::ScriptedDialogs& dialogs) {
    EXPECT_FALSE(window.Check1()->isChecked());
    EXPECT_EQ(window.Check1()->text(), QStringLiteral("Iniciar Gravação"));
    EXPECT_FALSE(window.captureEngine().isRecording());
    EXPECT_FALSE(window.Timer2().isActive());
    const QStringList boxes = dialogs.messages();
    ASSERT_EQ(boxes.size(), 1) << boxes.join(" | ").toStdString();
    EXPECT_TRUE(boxes[0].startsWith(QStringLiteral("A gravação parou porque o servidor de som saiu do ar (")))
        << boxes[0].toStdString();
}

using Window = testsupport::WindowOnServer;

// A take pressed in `w` that runs until its file holds more than the second of sound every finished
// take is judged on; false when it did not start or never got there.
bool startJudgedTake(Window& w) {
    w.window.Check1()->click();
    return w.recording() &&
           testsupport::waitForTakeLength(w.window, static_cast<std::size_t>(kLeadIn + 1.5 * kSecond));
}

}  // namespace

TEST(SoundServer, LostMidTakeEndsItCleanlyAndTheNextTakeWorksOnceItIsBack) {
    testsupport::ServerOfOwn own;
    ASSERT_TRUE(own.started());
    Window w;

    ASSERT_TRUE(startJudgedTake(w)) << w.messages();
    own.server.kill();
    QElapsedTimer sinceLoss;
    sinceLoss.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.window.Check1()->isChecked(); }, 30000));
    std::printf("take stopped %lld ms after the server died\n", static_cast<long long>(sinceLoss.elapsed()));

    ASSERT_NO_FATAL_FAILURE(expectEndedForTheServer(w.window, w.dialogs));
    const QString first = w.window.takeFileName;
    expectFinishedTake(first);

    // The same window and service, the server back: a new take records.
    ASSERT_TRUE(own.server.start());
    w.dialogs.answers.push_back(platform::Answer::No);  // keep the unsaved first take
    ASSERT_TRUE(startJudgedTake(w)) << w.messages();
    w.window.Check1()->click();
    ASSERT_TRUE(testsupport::takeFinished(w.window));
    EXPECT_EQ(w.dialogs.messages().size(), 1);
    EXPECT_NE(w.window.takeFileName, first);
    expectFinishedTake(w.window.takeFileName);
}

// The window thread blocked while the server goes on sending. Ten buffers hold two seconds.
TEST(SoundServer, AStallWithinTheBacklogLosesNothingAndOneBeyondItIsTold) {
    const testsupport::CountingServer sound;
    ASSERT_TRUE(sound.ready());

    const struct {
        std::chrono::milliseconds backlog;
        std::chrono::milliseconds stall;
        bool lost;
    } rows[] = {
        // The stop is handled while the window is 3.5 s behind: everything delivered is written.
        {std::chrono::seconds(20), std::chrono::milliseconds(3500), false},
        // Two seconds of buffers and one of backlog against a stall of five: about two are lost.
        {std::chrono::seconds(1), std::chrono::seconds(5), true},
    };
    for (const auto& row : rows) {
        Window w({.backlog = row.backlog});
        w.window.Check1()->click();
        ASSERT_TRUE(w.recording()) << w.messages();
        QElapsedTimer down;
        down.start();
        QTest::qWait(1000);
        std::this_thread::sleep_for(row.stall);
        if (row.lost) {
            QTest::qWait(1000);  // the take goes on after the gap
        }
        // Up to the press: the stop's own work (writing the backlog, finishing the file) is not
        // time the source ran.
        const double secondsDown = static_cast<double>(down.elapsed()) / 1000.0;
        w.window.Check1()->click();
        ASSERT_TRUE(testsupport::takeFinished(w.window));

        const auto take = readTake(w.window.takeFileName);
        const double recorded = secondsOfSound(take);
        std::printf("stall %lld ms, backlog %lld ms: %.3f s recorded while the toggle was down %.3f s\n",
                    static_cast<long long>(row.stall.count()), static_cast<long long>(row.backlog.count()),
                    recorded, secondsDown);
        ASSERT_GT(take.dataLength(), kLeadIn + kSecond);
        EXPECT_EQ(take.u32(42), take.dataLength());
        EXPECT_EQ(take.u32(4), take.bytes.size() - 8);
        EXPECT_EQ(testsupport::independentReadersComplaints(w.window.takeFileName, 2, 44100), QString());
        EXPECT_GE(testsupport::counterAt(take, kLeadIn / 4), 65536u)
            << "the take does not start with the count";
        const auto jumps = testsupport::counterJumps(take, kLeadIn / 4);
        const QStringList boxes = w.dialogs.messages();
        if (!row.lost) {
            EXPECT_TRUE(boxes.isEmpty()) << boxes.join(' ').toStdString();
            EXPECT_TRUE(jumps.empty()) << jumps.size() << " breaks, the first at " << jumps[0].atFrame;
            // What was down and what was recorded differ by the stream's start-up and latency only:
            // the second and a half behind at the stop is in the take.
            EXPECT_NEAR(recorded, secondsDown, 0.4);
        } else {
            ASSERT_EQ(boxes.size(), 1);
            const auto match =
                QRegularExpression(
                    QStringLiteral("^O gravador ficou para trás e parte da gravação se perdeu: "
                                   "(\\d+\\.\\d) s perdidos em 0:00:0(\\d)\\.$"))
                    .match(boxes[0]);
            ASSERT_TRUE(match.hasMatch()) << boxes[0].toStdString();
            // One break in the count, where and as long as the box says.
            ASSERT_EQ(jumps.size(), 1u);
            const double lost = static_cast<double>(jumps[0].skipped) / 44100;
            const double at = static_cast<double>(kLeadIn / 4 + jumps[0].atFrame) / 44100;
            std::printf("%.3f s lost at %.3f s; the box: %s\n", lost, at, qPrintable(boxes[0]));
            // Exact but for the box's rounding to a tenth.
            EXPECT_NEAR(match.captured(1).toDouble(), lost, 0.06);
            EXPECT_EQ(match.captured(2).toInt(), static_cast<int>(at));
        }
    }
}

namespace {

// The real device, whose server dies at a chosen moment: after the open, before the take queues its
// buffers; or just after the release, while the take waits for the sound the source still holds back.
enum class Dies { AfterOpen, AtRelease };

class ServerDies final : public platform::wavein::WaveIn {
public:
    ServerDies(platform::wavein::WaveIn& real, testsupport::PrivateServer& server, Dies when)
        : real_(real), server_(server), when_(when) {}

    platform::wavein::MMRESULT open(std::unique_ptr<platform::wavein::WaveInDevice>& device,
                                    const platform::wavein::WAVEFORMATEX& format, QObject* notify) override {
        const auto result = real_.open(device, format, notify);
        if (result != platform::wavein::MMSYSERR_NOERROR) {
            return result;
        }
        if (when_ == Dies::AfterOpen) {
            kill();
        } else {
            device = std::make_unique<DiesAtRelease>(std::move(device), *this);
        }
        return result;
    }
    std::string errorText(platform::wavein::MMRESULT status) const override {
        return real_.errorText(status);
    }

private:
    void kill() {
        server_.kill();
        // The connection's own thread sees the socket close.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }

    class DiesAtRelease final : public platform::wavein::WaveInDevice {
    public:
        DiesAtRelease(std::unique_ptr<platform::wavein::WaveInDevice> real, ServerDies& owner)
            : real_(std::move(real)), owner_(owner) {}
        using MMRESULT = platform::wavein::MMRESULT;
        MMRESULT prepareHeader(platform::wavein::WAVEHDR& h) override { return real_->prepareHeader(h); }
        MMRESULT addBuffer(platform::wavein::WAVEHDR& h) override { return real_->addBuffer(h); }
        MMRESULT start() override { return real_->start(); }
        MMRESULT reset() override { return real_->reset(); }
        MMRESULT stop() override { return real_->stop(); }
        MMRESULT pause(std::chrono::steady_clock::time_point at) override { return real_->pause(at); }
        MMRESULT resume(std::chrono::steady_clock::time_point at) override { return real_->resume(at); }
        MMRESULT unprepareHeader(platform::wavein::WAVEHDR& h) override { return real_->unprepareHeader(h); }
        MMRESULT close() override {
            if (killer_.joinable()) {
                killer_.join();
            }
            return real_->close();
        }
        std::vector<platform::wavein::Overrun> overruns() const override { return real_->overruns(); }
        void beginAt(std::chrono::steady_clock::time_point at) override { real_->beginAt(at); }
        bool endAt(std::chrono::steady_clock::time_point at) override {
            killer_ = std::thread([this] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                owner_.server_.kill();
            });
            return real_->endAt(at);
        }

    private:
        std::unique_ptr<platform::wavein::WaveInDevice> real_;
        ServerDies& owner_;
        std::thread killer_;
    };

    platform::wavein::WaveIn& real_;
    testsupport::PrivateServer& server_;
    Dies when_;
};

}  // namespace

// However late the server goes, the take ends with one box that says so, the toggle up, and a
// finished take. At the release the block source still holds back up to two seconds.
TEST(SoundServer, GoneAtTheStartOrAtTheReleaseEndsTheTakeWithOneBox) {
    for (const Dies when : {Dies::AfterOpen, Dies::AtRelease}) {
        SCOPED_TRACE(when == Dies::AfterOpen ? "after the open" : "at the release");
        testsupport::ServerOfOwn own;
        ASSERT_TRUE(own.started());
        if (when == Dies::AtRelease) {
            qputenv("PULSE_SOURCE", "tolvane_sine");
        }
        QTemporaryDir folder;
        testsupport::ScriptedDialogs dialogs;
        auto real = platform::wavein::makePulseAudioWaveIn(QStringLiteral("Tolvane tests"));
        ServerDies waveIn(*real, own.server, when);
        frmSoundRec window({.waveIn = waveIn, .dialogs = &dialogs, .programFolder = folder.path()});
        window.show();

        window.Check1()->click();
        if (when == Dies::AtRelease) {
            ASSERT_TRUE(window.Check1()->isChecked()) << dialogs.messages().join(' ').toStdString();
            QTest::qWait(2500);
            window.Check1()->click();
        }
        qunsetenv("PULSE_SOURCE");
        ASSERT_TRUE(testsupport::takeFinished(window));

        ASSERT_NO_FATAL_FAILURE(expectEndedForTheServer(window, dialogs));
        // A finished take, which every reader opens: of its lead-in alone when nothing was recorded.
        const auto take = readTake(window.takeFileName);
        if (when == Dies::AfterOpen) {
            EXPECT_EQ(take.dataLength(), kLeadIn);
        }
        EXPECT_EQ(take.u32(42), take.dataLength());
        EXPECT_EQ(testsupport::independentReadersComplaints(window.takeFileName, 2, 44100), QString());
    }
}

// A server that stalls at the release for longer than anyone waits for it and then comes back (heavy
// swapping, a PipeWire hiccup): what it answers late reaches nobody (under the sanitizer, an answer
// landing in a device already freed ends the test), the stop tells one box, and the take is finished.
TEST(SoundServer, StalledAtTheReleaseAndBackLaterEndsTheTakeWithOneBox) {
    testsupport::ServerOfOwn own;
    ASSERT_TRUE(own.started());
    Window w;
    ASSERT_TRUE(startJudgedTake(w)) << w.messages();
    own.server.pause();
    // While the server is stopped the sound heard at the release cannot come: the window answers at
    // once, the toggle up, while the take waits for it (its device still open).
    QTest::qWait(300);
    bool answered = false;
    QTimer::singleShot(0, &w.window, [&] {
        answered = !w.window.Check1()->isChecked() && w.window.captureEngine().deviceOpen();
    });
    w.window.Check1()->click();
    QTest::qWait(6000);
    own.server.resume();
    // Time for the late answers to arrive where they must reach nobody.
    QTest::qWait(3000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.window.captureEngine().deviceOpen(); }, 30000));

    EXPECT_TRUE(answered);
    ASSERT_NO_FATAL_FAILURE(expectEndedForTheServer(w.window, w.dialogs));
    expectFinishedTake(w.window.takeFileName);
}

// A source that delivers in blocks of two seconds: the take is still what was heard between the
// press and the release, not whole blocks (before, 5.1 s held gave 6.0 s and 3.1 s gave 2.0 s).
TEST(SoundServer, ATakeFromABlockSourceIsWhatWasHeardWhileTheToggleWasDown) {
    const testsupport::ServerOfOwn own;
    ASSERT_TRUE(own.started());
    qputenv("PULSE_SOURCE", "tolvane_sine");
    for (const int heldMs : {3100, 5100}) {
        Window w;
        QElapsedTimer down;
        w.window.Check1()->click();
        down.start();
        ASSERT_TRUE(w.recording()) << w.messages();
        QTest::qWait(heldMs);
        const double secondsDown = static_cast<double>(down.elapsed()) / 1000.0;
        w.window.Check1()->click();
        ASSERT_TRUE(testsupport::takeFinished(w.window));
        const auto take = readTake(w.window.takeFileName);
        std::printf("block source: %.3f s recorded while the toggle was down %.3f s\n", secondsOfSound(take),
                    secondsDown);
        EXPECT_TRUE(w.dialogs.messages().isEmpty()) << w.dialogs.messages().join(' ').toStdString();
        // Within one capture buffer (a fifth of a second in stereo) of the time held.
        EXPECT_NEAR(secondsOfSound(take), secondsDown, 0.2);
        EXPECT_EQ(take.u32(42), take.dataLength());
    }
    qunsetenv("PULSE_SOURCE");
}
