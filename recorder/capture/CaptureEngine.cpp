// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/capture/CaptureEngine.h"

#include "platform/dialogs/Dialogs.h"
#include "recorder/i18n/ClockText.h"

#include <QCoreApplication>
#include <QEvent>
#include <QStringList>

#include <algorithm>
#include <cfenv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <utility>

namespace basSoundRec_1 {

using namespace platform::wavein;

namespace {

// Half-to-even, whatever rounding mode the process happens to run in.
double roundHalfEven(double x) {
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(x);
    std::fesetround(previous);
    return r;
}

}  // namespace

std::int32_t CaptureBufferSize(const WAVEFORMATEX& format) {
    const std::int32_t blockAlign = format.nBlockAlign;
    // The channel count is in the block align already and counted a second time: mono buffers
    // hold a tenth of a second, stereo ones a fifth.
    const std::int32_t product = blockAlign * static_cast<std::int32_t>(format.nSamplesPerSec) *
                                 static_cast<std::int32_t>(format.nChannels);
    const double tenth = product * 0.1;
    const auto nearest = static_cast<std::int64_t>(roundHalfEven(tenth));
    const auto remainder = blockAlign == 0 ? 0 : nearest % blockAlign;
    const auto size = static_cast<std::int32_t>(roundHalfEven(tenth - static_cast<double>(remainder)));
    // A tenth that ends in a half (11025 Hz) rounds to even, which is a whole frame of 2- or 4-byte
    // frames but not necessarily of 3- or 6-byte ones: the buffer holds whole frames only.
    return blockAlign == 0 ? size : size - size % blockAlign;
}

CaptureWindowProc::CaptureWindowProc(QObject* window, std::function<void()> gandu,
                                     std::function<void(WaveInDevice*)> ended)
    : QObject(window), window_(window), gandu_(std::move(gandu)), ended_(std::move(ended)) {}

bool CaptureWindowProc::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) {
        return false;
    }
    if (event->type() == WimDataEvent::eventType() && gandu_) {
        gandu_();
    } else if (event->type() == TakeEndEvent::eventType() && ended_) {
        ended_(static_cast<TakeEndEvent*>(event)->device());
    }
    return false;
}

CaptureEngine::CaptureEngine(WaveIn& waveIn, basSoundRec_2::TakeFile& takeFile, platform::Dialogs& dialogs,
                             QString title)
    : waveIn_(waveIn), takeFile_(takeFile), dialogs_(dialogs), title_(std::move(title)) {}

CaptureEngine::~CaptureEngine() {
    // The device thread must not outlive the buffers it writes into.
    if (hWaveIn_) {
        isRecording_ = false;
        hWaveIn_->reset();
        hWaveIn_->close();
        hWaveIn_.reset();
    }
}

void CaptureEngine::HookWindow(QObject* window, std::function<void()> gandu) {
    hookedWindow_ = window;
    windowProc_ = new CaptureWindowProc(
        window,
        [this, gandu = std::move(gandu)] {
            if (!finishing_) {
                if (gandu) {
                    gandu();
                }
                return;
            }
            // The last of the sound fills buffers as ever; a failed write ends it, since nothing
            // more can go into the file.
            HandleDoneBuffers();
            if (writeFailure_) {
                completeFinishing();
            }
        },
        // A device posts no end that outlives it (close takes back what was not delivered).
        [this](WaveInDevice*) {
            if (finishing_) {
                completeFinishing();
            }
        });
    window->installEventFilter(windowProc_);
}

bool CaptureEngine::buffersAllocated() const {
    for (const auto& memory : bufferMemory_) {
        if (memory) {
            return true;
        }
    }
    return false;
}

bool CaptureEngine::StartCapture(std::optional<std::chrono::steady_clock::time_point> heardFrom) {
    if (isRecording_) {
        return true;
    }
    writeFailure_.reset();
    sourceLost_ = false;
    paused_ = false;
    recordedBytes_ = 0;
    overruns_.clear();
    deviceOrder_.clear();
    writtenAwaitingQueue_.fill(false);

    bufferSize_ = CaptureBufferSize(waveFormat);
    const auto length = static_cast<std::size_t>(bufferSize_ > 0 ? bufferSize_ : 0);
    for (int i = 0; i < kBufferCount; ++i) {
        auto& memory = bufferMemory_[static_cast<std::size_t>(i)];
        memory = std::make_unique<std::byte[]>(length);  // zero-filled
        auto& header = waveHeaders_[static_cast<std::size_t>(i)];
        header.lpData = memory.get();
        header.dwBufferLength = static_cast<std::uint32_t>(length);
        header.dwFlags.store(0, std::memory_order_relaxed);
        header.dwLoops = 0;
    }

    lastResult_ = waveIn_.open(hWaveIn_, waveFormat, hookedWindow_);
    if (lastResult_ != MMSYSERR_NOERROR) {
        hWaveIn_.reset();
        ReportWaveError();
        return false;
    }

    for (auto& header : waveHeaders_) {
        lastResult_ = hWaveIn_->prepareHeader(header);
        if (lastResult_ != MMSYSERR_NOERROR) {
            ReportWaveError();
        }
    }
    for (auto& header : waveHeaders_) {
        QueueAndWriteBuffer(header);
        // A server gone between the open and here refuses every buffer: that is one lost server,
        // told once by the window as the take stops, not a box for each buffer.
        if (lastResult_ == MMSYSERR_NODRIVER) {
            sourceLost_ = true;
        } else if (lastResult_ != MMSYSERR_NOERROR) {
            ReportWaveError();
        }
    }

    isRecording_ = true;
    if (heardFrom) {
        hWaveIn_->beginAt(*heardFrom);
    }
    lastResult_ = hWaveIn_->start();
    sourceLost_ = sourceLost_ || lastResult_ == MMSYSERR_NODRIVER;
    return true;
}

void CaptureEngine::QueueAndWriteBuffer(WAVEHDR& header) {
    lastResult_ = hWaveIn_->addBuffer(header);
    if (lastResult_ == MMSYSERR_NOERROR) {
        deviceOrder_.push_back(static_cast<int>(&header - waveHeaders_.data()));
    }
    // The lead-in is written whether or not the device took the buffer: every take starts with
    // ten buffers of silence.
    appendLeadIn(header);
}

MMRESULT CaptureEngine::PauseCapture(std::chrono::steady_clock::time_point at) {
    if (!isRecording_ || !hWaveIn_ || paused_) {
        return MMSYSERR_NOERROR;
    }
    lastResult_ = hWaveIn_->pause(at);
    paused_ = lastResult_ == MMSYSERR_NOERROR;
    return lastResult_;
}

MMRESULT CaptureEngine::ResumeCapture(std::chrono::steady_clock::time_point at) {
    if (!paused_ || !hWaveIn_) {
        return MMSYSERR_NOERROR;
    }
    lastResult_ = hWaveIn_->resume(at);
    paused_ = lastResult_ != MMSYSERR_NOERROR;
    return lastResult_;
}

std::uint64_t CaptureEngine::recordedFrames() const {
    return waveFormat.nBlockAlign == 0 ? 0 : recordedBytes_ / waveFormat.nBlockAlign;
}

std::optional<std::uint64_t> CaptureEngine::takeFrameAt(std::chrono::steady_clock::time_point at) {
    if (!isRecording_ || !hWaveIn_ || waveFormat.nBlockAlign == 0) {
        return std::nullopt;
    }
    const std::uint64_t leadIn = std::uint64_t{kBufferCount} * static_cast<std::uint64_t>(bufferSize_) /
                                 waveFormat.nBlockAlign;
    // A take that keeps only its sound leaves out what the device heard in its silences, so the
    // device's count is not the take's: the sound heard now is what the take gets next, and a take
    // paused for silence marks where it paused. Before its first sound there is no take to mark.
    if (filter_.heard) {
        if (!takeFile_.isOpen()) {
            return std::nullopt;
        }
        return leadIn + recordedFrames();
    }
    // A device without a clock of its source: the sound heard now is what it hands over next.
    return leadIn + hWaveIn_->takeFrameHeardAt(at).value_or(recordedFrames());
}

std::size_t CaptureEngine::roomUnderLimit() const {
    const auto& limit = finishing_ ? finishingLimit_ : lengthLimit_;
    if (!limit || waveFormat.nBlockAlign == 0) {
        return SIZE_MAX;
    }
    const auto ms = static_cast<std::uint64_t>(std::max<std::int64_t>(limit->count(), 0));
    const std::uint64_t frames =
        ms / 1000 * waveFormat.nSamplesPerSec + ms % 1000 * waveFormat.nSamplesPerSec / 1000;
    const std::uint64_t bytes = frames * waveFormat.nBlockAlign;
    return bytes > recordedBytes_ ? static_cast<std::size_t>(bytes - recordedBytes_) : 0;
}

bool CaptureEngine::lengthLimitReached() const {
    return roomUnderLimit() == 0;
}

MMRESULT CaptureEngine::HandleDoneBuffers() {
    while (!deviceOrder_.empty() && hWaveIn_) {
        const int i = deviceOrder_.front();
        auto& header = waveHeaders_[static_cast<std::size_t>(i)];
        if (!header.isDone()) {
            break;
        }
        // Written before it goes back, so a refused re-queue loses nothing; a buffer the device
        // handed back early (it lost its source) holds only the bytes it recorded.
        if (!writtenAwaitingQueue_[static_cast<std::size_t>(i)]) {
            appendToTake(header, header.dwBytesRecorded);
            writtenAwaitingQueue_[static_cast<std::size_t>(i)] = true;
        }
        const MMRESULT result = hWaveIn_->addBuffer(header);
        if (result != MMSYSERR_NOERROR) {
            sourceLost_ = sourceLost_ || result == MMSYSERR_NODRIVER;
            return result;
        }
        writtenAwaitingQueue_[static_cast<std::size_t>(i)] = false;
        deviceOrder_.pop_front();
        deviceOrder_.push_back(i);
    }
    return MMSYSERR_NOERROR;
}

void CaptureEngine::StopCapture(std::optional<std::chrono::steady_clock::time_point> heardUntil) {
    if (finishing_) {
        if (!heardUntil) {
            completeFinishing();
        }
        return;
    }
    const bool wasRecording = isRecording_;
    isRecording_ = false;
    paused_ = false;
    // A take at its length limit holds all it may; one whose file or source failed gets no more.
    if (hWaveIn_ && wasRecording && heardUntil && !lengthLimitReached() && !writeFailure_ && !sourceLost_ &&
        hWaveIn_->endAt(*heardUntil)) {
        finishingLimit_ = lengthLimit_;
        finishing_ = true;
        return;
    }
    finish();
}

void CaptureEngine::completeFinishing() {
    finishing_ = false;
    finish();
    if (finished_) {
        finished_();
    }
}

void CaptureEngine::finish() {
    if (hWaveIn_) {
        hWaveIn_->reset();
        writeFilledBuffersAfterReset();
        writeBacklogAfterReset();
        overruns_ = hWaveIn_->overruns();
        hWaveIn_->stop();
        for (auto& header : waveHeaders_) {
            hWaveIn_->unprepareHeader(header);
        }
        hWaveIn_->close();
        hWaveIn_.reset();
    }
    releaseBuffers();
    // What the filter still keeps goes in before the file is finished; the next take has its own.
    const SoundFilter filter = std::exchange(filter_, {});
    if (filter.ended) {
        filter.ended();
    }
    // The device counted what it lost among everything it heard, the silences the take left out too.
    if (filter.losses) {
        overruns_ = filter.losses(overruns_);
    }
    takeFile_.Finalise();
}

void CaptureEngine::writeFilledBuffersAfterReset() {
    // The reset handed every queued buffer back; what they hold is the end of the take.
    for (const int i : deviceOrder_) {
        const auto& header = waveHeaders_[static_cast<std::size_t>(i)];
        if (header.isDone() && !writtenAwaitingQueue_[static_cast<std::size_t>(i)]) {
            appendToTake(header, header.dwBytesRecorded);
        }
    }
    deviceOrder_.clear();
    writtenAwaitingQueue_.fill(false);
}

void CaptureEngine::writeBacklogAfterReset() {
    // The device may hold more than the buffers could: after a stall of the window, seconds of
    // audio it received before the reset. The buffers go back in and come back filled with it, in
    // order, until a round brings nothing. The backlog is finite and nothing new arrives.
    for (;;) {
        std::vector<int> queued;
        for (int i = 0; i < kBufferCount; ++i) {
            const MMRESULT result = hWaveIn_->addBuffer(waveHeaders_[static_cast<std::size_t>(i)]);
            if (result == MMSYSERR_NOERROR) {
                queued.push_back(i);
            }
            // A server lost while the stop waited for the last of the sound: the take ends short,
            // and the stop tells why.
            sourceLost_ = sourceLost_ || result == MMSYSERR_NODRIVER;
        }
        if (queued.empty()) {
            return;
        }
        hWaveIn_->reset();
        std::size_t brought = 0;
        for (const int i : queued) {
            const auto& header = waveHeaders_[static_cast<std::size_t>(i)];
            if (header.isDone()) {
                appendToTake(header, header.dwBytesRecorded);
                brought += header.dwBytesRecorded;
            }
        }
        if (brought == 0) {
            return;
        }
    }
}

QString CaptureEngine::sourceLostReason() const {
    return QString::fromStdString(waveIn_.errorText(MMSYSERR_NODRIVER));
}

QString CaptureEngine::overrunReport() const {
    if (overruns_.empty() || waveFormat.nSamplesPerSec == 0 || waveFormat.nBlockAlign == 0) {
        return QString();
    }
    const double rate = waveFormat.nSamplesPerSec;
    // Take time counts the silent lead-in the take starts with.
    const double leadIn = static_cast<double>(kBufferCount) * bufferSize_ / waveFormat.nBlockAlign;
    constexpr std::size_t kListed = 10;
    QStringList gaps;
    double total = 0;
    for (std::size_t n = 0; n < overruns_.size(); ++n) {
        const double seconds = static_cast<double>(overruns_[n].frames) / rate;
        total += seconds;
        if (n < kListed) {
            const auto at =
                static_cast<long long>((leadIn + static_cast<double>(overruns_[n].atFrame)) / rate);
            gaps << QCoreApplication::translate("CaptureEngine", "%L1 s perdidos em %2")
                        .arg(seconds, 0, 'f', 1)
                        .arg(i18n::clockText(at));
        }
    }
    QString text = QCoreApplication::translate("CaptureEngine",
                                               "O gravador ficou para trás e parte da gravação se perdeu: %1")
                       .arg(gaps.join(QStringLiteral(", ")));
    if (overruns_.size() > kListed) {
        text += QCoreApplication::translate("CaptureEngine", ", e mais %1 trechos; %L2 s ao todo")
                    .arg(overruns_.size() - kListed)
                    .arg(total, 0, 'f', 1);
    }
    return text + QLatin1Char('.');
}

void CaptureEngine::releaseBuffers() {
    for (int i = 0; i < kBufferCount; ++i) {
        auto& header = waveHeaders_[static_cast<std::size_t>(i)];
        header.lpData = nullptr;
        header.dwBufferLength = 0;
        bufferMemory_[static_cast<std::size_t>(i)].reset();
    }
}

void CaptureEngine::appendLeadIn(const WAVEHDR& header) {
    if (writeFailure_ || bufferSize_ <= 0 || !takeFile_.isOpen()) {
        return;
    }
    const auto result = takeFile_.Append(header.lpData, static_cast<std::size_t>(bufferSize_));
    if (!result.ok()) {
        writeFailure_ = result;
    }
}

void CaptureEngine::appendToTake(const WAVEHDR& header, std::size_t length) {
    if (filter_.heard) {
        filter_.heard(std::span<const std::byte>(header.lpData, length));
        return;
    }
    appendAudio(std::span<const std::byte>(header.lpData, length));
}

void CaptureEngine::writeLeadIn() {
    const std::vector<std::byte> zeros(static_cast<std::size_t>(std::max(bufferSize_, 0)));
    for (int i = 0; i < kBufferCount && !writeFailure_ && takeFile_.isOpen() && !zeros.empty(); ++i) {
        const auto result = takeFile_.Append(zeros.data(), zeros.size());
        if (!result.ok()) {
            writeFailure_ = result;
        }
    }
}

std::uint64_t CaptureEngine::leadInFrames() const {
    return waveFormat.nBlockAlign == 0
               ? 0
               : std::uint64_t{kBufferCount} * static_cast<std::uint64_t>(std::max(bufferSize_, 0)) /
                     waveFormat.nBlockAlign;
}

void CaptureEngine::appendAudio(std::span<const std::byte> bytes) {
    const std::byte* data = bytes.data();
    // A take with a set length ends exactly there; what the device heard beyond it is not the take's.
    const std::size_t length = std::min(bytes.size(), roomUnderLimit());
    // After a failed write the file ends at the last good buffer; nothing more goes in.
    if (writeFailure_ || length == 0 || !takeFile_.isOpen()) {
        return;
    }
    const auto result = takeFile_.Append(data, length);
    if (!result.ok()) {
        writeFailure_ = result;
        return;
    }
    recordedBytes_ += length;
}

void CaptureEngine::ReportWaveError() {
    errorText_ = QString::fromStdString(waveIn_.errorText(lastResult_)).left(199);
    dialogs_.message(errorText_, title_);
}

}  // namespace basSoundRec_1
