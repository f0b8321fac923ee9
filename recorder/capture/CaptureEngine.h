// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The capture engine (module basSoundRec_1): ten capture buffers cycling between the wave-input
// device and the take file, and the hook that hands every filled buffer to the file.

#include "platform/wavein/WaveIn.h"
#include "recorder/wavfile/TakeFile.h"

#include <QObject>
#include <QString>

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace platform {
class Dialogs;
}

namespace basSoundRec_1 {

using platform::wavein::MMRESULT;
using platform::wavein::WAVEFORMATEX;
using platform::wavein::WAVEHDR;

inline constexpr int kBufferCount = 10;

// Byte length of one capture buffer for `format`: a tenth of block align x rate x channels, less
// that tenth's remainder modulo the block align, rounded half to even (2204 at 11025 Hz mono), in
// whole frames: a 24-bit take's buffers last as long as a 16-bit take's.
std::int32_t CaptureBufferSize(const WAVEFORMATEX& format);

// The replacement window procedure: an event filter that calls Gandu for every buffer notification,
// and `ended` when the device brought the end of a take, and lets every event go on to the window.
class CaptureWindowProc final : public QObject {
public:
    CaptureWindowProc(QObject* window, std::function<void()> gandu,
                      std::function<void(platform::wavein::WaveInDevice*)> ended = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QObject* window_;
    std::function<void()> gandu_;
    std::function<void(platform::wavein::WaveInDevice*)> ended_;
};

class CaptureEngine {
public:
    // Every piece is borrowed and must outlive the engine; `title` captions its message boxes.
    CaptureEngine(platform::wavein::WaveIn& waveIn, basSoundRec_2::TakeFile& takeFile,
                  platform::Dialogs& dialogs, QString title);
    ~CaptureEngine();
    CaptureEngine(const CaptureEngine&) = delete;
    CaptureEngine& operator=(const CaptureEngine&) = delete;

    // Installs CaptureWindowProc on `window`, which from then on receives the device's
    // notifications and calls `gandu` for each while a take runs. The hook stays for the window's
    // lifetime.
    void HookWindow(QObject* window, std::function<void()> gandu);
    // Called on the window's thread when a take that StopCapture left finishing is finished, by the
    // arrival of its last sound, a failure, or a StopCapture without an instant.
    void onTakeFinished(std::function<void()> finished) { finished_ = std::move(finished); }

    // Needs `waveFormat` filled and the take file open with its data chunk created. True when
    // capture runs (also when it already did), false when the device could not be opened. With
    // `heardFrom` (the press), the take leaves out what the source heard before it. A device that
    // lost its server before its buffers were queued tells no box: sourceLost() says so, and the
    // take must stop like any take whose server went away.
    bool StartCapture(std::optional<std::chrono::steady_clock::time_point> heardFrom = std::nullopt);
    // Ends the take: halts the device, writes everything it had received (the buffers it filled, the
    // partly filled one and its backlog beyond them), releases what the take holds and finalises the
    // file. Releases only what is held; a second call does nothing. With `heardUntil` (the release),
    // the take is what was heard up to then: when that sound is still on its way, the take is left
    // finishing (isFinishing) and is finished on the window's thread once it has come, without
    // anyone waiting for it. A paused take or one at its length limit is finished at once. Without
    // an instant, and for a take left finishing, it finishes at once with what has come.
    void StopCapture(std::optional<std::chrono::steady_clock::time_point> heardUntil = std::nullopt);
    // Stopped, and receiving the sound heard before the release; the file is not finished yet.
    bool isFinishing() const { return finishing_; }
    // Holds a running take from what the source heard at `at` (the press): the device keeps its
    // buffers and takes in no audio until the resume, from what was heard at its `at`, so the take
    // goes on as if the paused span had not been. The device's status, also kept in lastResult.
    MMRESULT PauseCapture(std::chrono::steady_clock::time_point at);
    MMRESULT ResumeCapture(std::chrono::steady_clock::time_point at);
    bool isPaused() const { return paused_; }

    // The take takes in no more audio than `limit` (the lead-in and pauses not counted); nothing
    // means no limit. It may change while a take runs and stays until changed.
    void setLengthLimit(std::optional<std::chrono::milliseconds> limit) { lengthLimit_ = limit; }
    const std::optional<std::chrono::milliseconds>& lengthLimit() const { return lengthLimit_; }
    // The take holds all the audio its limit allows: it must stop.
    bool lengthLimitReached() const;
    // Frames of audio in the take after its lead-in.
    std::uint64_t recordedFrames() const;
    // The take frame (TakeMarkers.h: counted from the first frame of the take's audio, the lead-in
    // included) of the sound heard at `at`, a press: where a marker set then lies. A paused take gives
    // the frame where it paused. Nothing when no take runs.
    std::optional<std::uint64_t> takeFrameAt(std::chrono::steady_clock::time_point at);

    // A take that decides itself what of the heard sound it keeps (one that starts at sound): while
    // set, every piece of sound the device hands over goes to `heard` instead of into the take, which
    // holds only what appendAudio gives it, and `ended` is told once the take ends, before its file
    // is finalised. Set before the start; it goes with the take. `losses` turns the device's losses,
    // placed among the frames it handed over, into the take's: those within frames the take kept, at
    // their place among the take's frames; it is asked once the take ended.
    struct SoundFilter {
        std::function<void(std::span<const std::byte>)> heard;
        std::function<void()> ended;
        std::function<std::vector<platform::wavein::Overrun>(const std::vector<platform::wavein::Overrun>&)>
            losses;
    };
    void setSoundFilter(SoundFilter filter) { filter_ = std::move(filter); }
    // Appends sound to the take, within its length limit.
    void appendAudio(std::span<const std::byte> bytes);
    // The ten zeroed buffers every take begins with, for a take whose file was made after its start.
    void writeLeadIn();
    // Frames of the lead-in, once the take started.
    std::uint64_t leadInFrames() const;

    // The device's text for `lastResult` in a message box.
    void ReportWaveError();
    // Queues `header` and appends its bytes (the zeroed lead-in) to the take file.
    void QueueAndWriteBuffer(WAVEHDR& header);

    // Writes and re-queues the buffers the device has filled, in the order it filled them, up to
    // the first one not done. Returns 0, or the status of a re-queue that failed (the buffer's
    // bytes are written all the same, once; it is offered again next time). MMSYSERR_NODRIVER
    // means the device lost its source for good: sourceLost() tells, and the take must stop.
    MMRESULT HandleDoneBuffers();

    // The device lost its source (the sound server went away) during this take. Cleared by the next start.
    bool sourceLost() const { return sourceLost_; }
    // The device's reason for the loss, for the user.
    QString sourceLostReason() const;
    // Audio the device dropped during the last take because the window fell too far behind, told in
    // English with the length and the take time of each gap ("0.8 s lost at 1:02:13"); empty when
    // nothing was lost. Complete once the take stopped.
    QString overrunReport() const;
    const std::vector<platform::wavein::Overrun>& overruns() const { return overruns_; }

    // Set once an append failed or the take reached the largest WAV size: the take must stop.
    // Cleared by the next start.
    const std::optional<basSoundRec_2::AppendResult>& takeWriteFailure() const { return writeFailure_; }

    bool isRecording() const { return isRecording_; }
    bool deviceOpen() const { return hWaveIn_ != nullptr; }
    bool buffersAllocated() const;
    std::int32_t bufferSize() const { return bufferSize_; }
    MMRESULT lastResult() const { return lastResult_; }
    const QString& errorText() const { return errorText_; }
    const WAVEHDR& waveHeader(int i) const { return waveHeaders_.at(static_cast<std::size_t>(i)); }

    WAVEFORMATEX waveFormat;

private:
    // Writes what the device holds, closes it and finalises the file.
    void finish();
    void completeFinishing();
    void appendToTake(const WAVEHDR& header, std::size_t length);
    void appendLeadIn(const WAVEHDR& header);
    // The bytes of audio the length limit still lets in, or SIZE_MAX without one.
    std::size_t roomUnderLimit() const;
    void writeFilledBuffersAfterReset();
    void writeBacklogAfterReset();
    void releaseBuffers();

    platform::wavein::WaveIn& waveIn_;
    basSoundRec_2::TakeFile& takeFile_;
    platform::Dialogs& dialogs_;
    QString title_;

    std::int32_t bufferSize_ = 0;
    MMRESULT lastResult_ = 0;
    QString errorText_;
    std::unique_ptr<platform::wavein::WaveInDevice> hWaveIn_;
    std::array<std::unique_ptr<std::byte[]>, kBufferCount> bufferMemory_;
    std::array<WAVEHDR, kBufferCount> waveHeaders_;
    bool isRecording_ = false;
    bool finishing_ = false;
    std::function<void()> finished_;
    bool paused_ = false;
    std::optional<std::chrono::milliseconds> lengthLimit_;
    // The limit of a take left finishing: one set meanwhile is for the next take.
    std::optional<std::chrono::milliseconds> finishingLimit_;
    std::uint64_t recordedBytes_ = 0;  // audio appended after the lead-in
    QObject* hookedWindow_ = nullptr;
    CaptureWindowProc* windowProc_ = nullptr;  // owned by the hooked window

    // Buffers the device holds or has handed back, in the order it fills them.
    std::deque<int> deviceOrder_;
    // A buffer whose bytes are in the file but whose re-queue failed: never written twice.
    std::array<bool, kBufferCount> writtenAwaitingQueue_{};
    std::optional<basSoundRec_2::AppendResult> writeFailure_;
    bool sourceLost_ = false;
    std::vector<platform::wavein::Overrun> overruns_;
    SoundFilter filter_;
};

}  // namespace basSoundRec_1
