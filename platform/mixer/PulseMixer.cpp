// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mixer/PulseMixer.h"

#include "platform/pulse/Connection.h"

#include <pulse/introspect.h>
#include <pulse/volume.h>

#include <QCoreApplication>
#include <QObject>
#include <QPointer>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace platform::mixer {

namespace {

using pulse::Connection;
using pulse::MainloopLock;
using pulse::Operation;

constexpr std::uint32_t kQueryMask = 0x0000000F;
constexpr std::uint32_t kObjectMask = 0xF0000000;
constexpr std::uint32_t kLargestValue = 65535;

// A source as the server knows it at the moment of asking.
struct Source {
    std::uint32_t index = PA_INVALID_INDEX;
    std::uint8_t channels = 0;
    std::string name;
    std::string description;
};

// Copies UTF-8 text into a fixed, zero-terminated field without splitting a character.
template <std::size_t N>
void copyName(char (&field)[N], std::string_view text) {
    std::size_t length = std::min(text.size(), N - 1);
    if (length < text.size()) {
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
            --length;
        }
    }
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), length);
}

std::uint32_t controlValue(pa_volume_t volume) {
    return static_cast<std::uint32_t>(std::min<double>(
        kLargestValue, std::round(static_cast<double>(volume) * kLargestValue / PA_VOLUME_NORM)));
}

// A uniform control's value for values given per channel: the loudest, as a volume control shows it.
std::uint32_t loudest(const std::vector<MIXERCONTROLDETAILS_UNSIGNED>& values) {
    std::uint32_t most = 0;
    for (const auto& value : values) {
        most = std::max(most, value.dwValue);
    }
    return most;
}

pa_volume_t serverVolume(std::uint32_t value) {
    return static_cast<pa_volume_t>(
        std::lround(static_cast<double>(value) * PA_VOLUME_NORM / static_cast<double>(kLargestValue)));
}

// The line lookups wait for the server's answer (they run once, at start-up); a level change never
// waits: it is sent in the background, and while one is on its way only the newest value waits
// to follow it. Once open, the mixer follows the volume of the source it stands for from the
// server's change events, and tells the windows it was opened with when someone else changed it.
class PulseMixer final : public Mixer, private Connection::Listener {
public:
    explicit PulseMixer(std::shared_ptr<Connection> connection) : connection_(std::move(connection)) {
        MainloopLock lock(connection_->mainloop());
        connection_->addListener(this);
    }

    ~PulseMixer() override {
        MainloopLock lock(connection_->mainloop());
        connection_->removeListener(this);
        for (const Operation* operation : {&inFlight_, &watching_}) {
            if (*operation) {
                pa_operation_cancel(operation->get());
            }
        }
    }

    PulseMixer(const PulseMixer&) = delete;
    PulseMixer& operator=(const PulseMixer&) = delete;

    MMRESULT mixerOpen(HMIXER* phmx, std::uint32_t uMxId, std::uintptr_t dwCallback,
                       std::uintptr_t dwInstance, std::uint32_t fdwOpen) override {
        if (phmx == nullptr) {
            return MMSYSERR_INVALPARAM;
        }
        const bool toWindow = fdwOpen == CALLBACK_WINDOW && dwCallback != 0;
        if ((fdwOpen != 0 && !toWindow) || (fdwOpen == 0 && dwCallback != 0) || dwInstance != 0) {
            return MMSYSERR_INVALFLAG;
        }
        if (uMxId != 0) {
            return MMSYSERR_BADDEVICEID;
        }
        MainloopLock lock(connection_->mainloop());
        if (!connection_->waitReady()) {
            return MMSYSERR_NODRIVER;
        }
        *phmx = ++opened_;
        if (toWindow) {
            windows_.emplace_back(*phmx, reinterpret_cast<QObject*>(dwCallback));
        }
        if (!following_) {
            following_ = true;
            follow();
        }
        return MMSYSERR_NOERROR;
    }

    MMRESULT mixerGetLineInfo(HMIXER hmxobj, MIXERLINE* pmxl, std::uint32_t fdwInfo) override {
        if (const MMRESULT status = checkHandle(hmxobj, fdwInfo); status != MMSYSERR_NOERROR) {
            return status;
        }
        if (pmxl == nullptr || pmxl->cbStruct != sizeof(MIXERLINE)) {
            return MMSYSERR_INVALPARAM;
        }
        switch (fdwInfo & kQueryMask) {
            case MIXER_GETLINEINFOF_DESTINATION:
                if (pmxl->dwDestination != 0) {
                    return MMSYSERR_INVALPARAM;
                }
                break;
            case MIXER_GETLINEINFOF_LINEID:
                if (pmxl->dwLineID != kWaveInLineId) {
                    return MIXERR_INVALLINE;
                }
                break;
            case MIXER_GETLINEINFOF_COMPONENTTYPE:
                if (pmxl->dwComponentType != MIXERLINE_COMPONENTTYPE_DST_WAVEIN) {
                    return MIXERR_INVALLINE;
                }
                break;
            default:
                return MMSYSERR_INVALFLAG;
        }
        const auto source = defaultSource();
        if (const auto* status = std::get_if<MMRESULT>(&source)) {
            return *status;
        }
        const Source& found = std::get<Source>(source);
        MIXERLINE line;
        line.cbStruct = pmxl->cbStruct;
        line.dwLineID = kWaveInLineId;
        line.fdwLine = MIXERLINE_LINEF_ACTIVE;
        line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
        line.cChannels = found.channels;
        line.cControls = 1;
        copyName(line.szShortName, found.description);
        copyName(line.szName, found.description);
        line.Target.dwType = MIXERLINE_TARGETTYPE_WAVEIN;
        copyName(line.Target.szPname, found.name);
        *pmxl = line;
        return MMSYSERR_NOERROR;
    }

    MMRESULT mixerGetLineControls(HMIXER hmxobj, MIXERLINECONTROLS* pmxlc,
                                  std::uint32_t fdwControls) override {
        if (const MMRESULT status = checkHandle(hmxobj, fdwControls); status != MMSYSERR_NOERROR) {
            return status;
        }
        if (pmxlc == nullptr || pmxlc->cbStruct != sizeof(MIXERLINECONTROLS)) {
            return MMSYSERR_INVALPARAM;
        }
        const std::uint32_t query = fdwControls & kQueryMask;
        if (query != MIXER_GETLINECONTROLSF_ALL && query != MIXER_GETLINECONTROLSF_ONEBYTYPE) {
            return MMSYSERR_INVALFLAG;
        }
        if (pmxlc->dwLineID != kWaveInLineId) {
            return MIXERR_INVALLINE;
        }
        if (query == MIXER_GETLINECONTROLSF_ONEBYTYPE &&
            pmxlc->dwControlType != MIXERCONTROL_CONTROLTYPE_VOLUME) {
            return MIXERR_INVALCONTROL;
        }
        if (pmxlc->cControls != 1 || pmxlc->cbmxctrl < sizeof(MIXERCONTROL) || pmxlc->pamxctrl == nullptr) {
            return MMSYSERR_INVALPARAM;
        }
        // The line exists only while the server has a default source.
        const auto source = defaultSource();
        if (const auto* status = std::get_if<MMRESULT>(&source)) {
            return *status;
        }
        MIXERCONTROL control;
        control.cbStruct = sizeof(MIXERCONTROL);
        control.dwControlID = kWaveInVolumeControlId;
        control.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
        control.fdwControl = MIXERCONTROL_CONTROLF_UNIFORM;
        copyName(control.szShortName, "Volume");
        copyName(control.szName, "Recording Volume");
        control.Bounds.lMinimum = 0;
        control.Bounds.lMaximum = static_cast<std::int32_t>(kLargestValue);
        control.Metrics.cSteps = kLargestValue + 1;
        std::memcpy(pmxlc->pamxctrl, &control, sizeof control);
        return MMSYSERR_NOERROR;
    }

    MMRESULT mixerGetControlDetails(HMIXER hmxobj, MIXERCONTROLDETAILS* pmxcd,
                                    std::uint32_t fdwDetails) override {
        if (const MMRESULT status = checkDetails(hmxobj, pmxcd, fdwDetails, MIXER_GETCONTROLDETAILSF_VALUE);
            status != MMSYSERR_NOERROR) {
            return status;
        }
        MainloopLock lock(connection_->mainloop());
        // A value of ours on its way is the value: what the server says meanwhile may be older.
        std::optional<std::uint32_t> value;
        if (!pending_.empty()) {
            value = loudest(pending_);
        } else if (sending_) {
            value = *sending_;
        } else if (heard_) {
            value = controlValue(*heard_);
        }
        if (!value) {
            return MIXERR_INVALVALUE;
        }
        auto* out = static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(pmxcd->paDetails);
        std::fill(out, out + pmxcd->cChannels, MIXERCONTROLDETAILS_UNSIGNED{*value});
        return MMSYSERR_NOERROR;
    }

    MMRESULT mixerSetControlDetails(HMIXER hmxobj, const MIXERCONTROLDETAILS* pmxcd,
                                    std::uint32_t fdwDetails) override {
        if (const MMRESULT status = checkDetails(hmxobj, pmxcd, fdwDetails, MIXER_SETCONTROLDETAILSF_VALUE);
            status != MMSYSERR_NOERROR) {
            return status;
        }
        std::vector<MIXERCONTROLDETAILS_UNSIGNED> values(pmxcd->cChannels);
        std::memcpy(values.data(), pmxcd->paDetails, values.size() * sizeof(MIXERCONTROLDETAILS_UNSIGNED));
        for (const auto& value : values) {
            if (value.dwValue > kLargestValue) {
                return MIXERR_INVALVALUE;
            }
        }

        MainloopLock lock(connection_->mainloop());
        if (!connection_->ready()) {
            return MMSYSERR_NODRIVER;
        }
        pending_ = std::move(values);
        if (!inFlight_) {
            sendPending();
        }
        return MMSYSERR_NOERROR;
    }

private:
    struct Reply {
        const Connection* connection;
        bool found = false;
        Source source;
    };

    // A question about the volume control's value, asked with `query`, as the mixer takes it.
    MMRESULT checkDetails(HMIXER hmxobj, const MIXERCONTROLDETAILS* pmxcd, std::uint32_t flags,
                          std::uint32_t query) const {
        if (const MMRESULT status = checkHandle(hmxobj, flags); status != MMSYSERR_NOERROR) {
            return status;
        }
        if (pmxcd == nullptr || pmxcd->cbStruct != sizeof(MIXERCONTROLDETAILS)) {
            return MMSYSERR_INVALPARAM;
        }
        if ((flags & kQueryMask) != query) {
            return MMSYSERR_INVALFLAG;
        }
        if (pmxcd->dwControlID != kWaveInVolumeControlId) {
            return MIXERR_INVALCONTROL;
        }
        if (pmxcd->cMultipleItems != 0 || pmxcd->cbDetails != sizeof(MIXERCONTROLDETAILS_UNSIGNED) ||
            pmxcd->cChannels == 0 || pmxcd->cChannels > PA_CHANNELS_MAX || pmxcd->paDetails == nullptr) {
            return MMSYSERR_INVALPARAM;
        }
        return MMSYSERR_NOERROR;
    }

    MMRESULT checkHandle(HMIXER hmxobj, std::uint32_t flags) const {
        const std::uint32_t object = flags & kObjectMask;
        if (object != MIXER_OBJECTF_MIXER && object != MIXER_OBJECTF_HMIXER) {
            return MMSYSERR_INVALFLAG;
        }
        if (hmxobj == 0 || hmxobj > opened_) {
            return MMSYSERR_INVALHANDLE;
        }
        return MMSYSERR_NOERROR;
    }

    // The line stands for the server's default source: it exists while the server has one.
    std::variant<MMRESULT, Source> defaultSource() {
        MainloopLock lock(connection_->mainloop());
        if (!connection_->waitReady()) {
            return MMSYSERR_NODRIVER;
        }
        Reply reply{.connection = connection_.get(), .found = false, .source = {}};
        if (!connection_->await(pa_context_get_source_info_by_name(connection_->context(), "@DEFAULT_SOURCE@",
                                                                   &PulseMixer::onLookedUp, &reply))) {
            return connection_->ready() ? MMSYSERR_ERROR : MMSYSERR_NODRIVER;
        }
        if (!reply.found) {
            return MIXERR_INVALLINE;
        }
        return reply.source;
    }

    static void readSource(const pa_source_info* info, Source& source) {
        source.index = info->index;
        source.channels = info->channel_map.channels;
        source.name = info->name != nullptr ? info->name : "";
        source.description = info->description != nullptr ? info->description : source.name;
    }

    static void onLookedUp(pa_context*, const pa_source_info* info, int eol, void* userdata) {
        auto* reply = static_cast<Reply*>(userdata);
        if (eol == 0 && info != nullptr) {
            reply->found = true;
            readSource(info, reply->source);
        }
        reply->connection->signal();
    }

    // Everything below runs with the main loop's lock held.

    // Looks the chosen source up anew for every value sent ("@DEFAULT_SOURCE@" when the default is
    // chosen, so a change of the default is followed), then sets its volume.
    void sendPending() {
        asked_ = connection_->chosenSource();
        inFlight_.reset(pa_context_get_source_info_by_name(
            connection_->context(), asked_.empty() ? "@DEFAULT_SOURCE@" : asked_.c_str(),
            &PulseMixer::onTarget, this));
        if (!inFlight_) {
            pending_.clear();
        }
    }

    static void onTarget(pa_context* context, const pa_source_info* info, int eol, void* self) {
        auto* mixer = static_cast<PulseMixer*>(self);
        if (eol == 0 && info != nullptr) {
            readSource(info, mixer->target_);
            // The server also reads a number as a source's index and "@...@" as a default: a chosen
            // name is only ever the source of that name, as it is for the take.
            mixer->targetFound_ = mixer->asked_.empty() || mixer->asked_ == mixer->target_.name;
            return;
        }
        const bool found = std::exchange(mixer->targetFound_, false);
        std::vector<MIXERCONTROLDETAILS_UNSIGNED> values = std::move(mixer->pending_);
        mixer->pending_.clear();
        const Source& target = mixer->target_;
        // A missing source, or one whose channels the values do not fit, takes nothing.
        if (!found || (values.size() != 1 && values.size() != target.channels)) {
            mixer->finished();
            return;
        }
        pa_cvolume volume;
        volume.channels = target.channels;
        for (std::size_t i = 0; i < target.channels; ++i) {
            volume.values[i] = serverVolume(values[values.size() == 1 ? 0 : i].dwValue);
        }
        mixer->inFlight_.reset(
            pa_context_set_source_volume_by_index(context, target.index, &volume, &PulseMixer::onSet, mixer));
        if (!mixer->inFlight_) {
            mixer->finished();
            return;
        }
        mixer->sending_ = loudest(values);
    }

    static void onSet(pa_context*, int success, void* self) {
        auto* mixer = static_cast<PulseMixer*>(self);
        // The source has the value now: its change event must not read as someone else's.
        if (success != 0 && mixer->sending_) {
            mixer->heard_ = serverVolume(*mixer->sending_);
        }
        mixer->finished();
    }

    void finished() {
        inFlight_.reset();
        sending_.reset();
        if (!pending_.empty()) {
            sendPending();
        }
    }

    // Following the volume. A source or the server changed, or another source was chosen: the
    // source the line stands for is asked its volume anew, one question at a time.
    void contextReady() override { follow(); }
    void sourcesChanged() override { follow(); }
    void sourceChosen() override { follow(); }

    void follow() {
        if (!following_ || connection_->context() == nullptr) {
            return;
        }
        if (watching_) {
            watchAgain_ = true;
            return;
        }
        watched_ = connection_->chosenSource();
        watching_.reset(pa_context_get_source_info_by_name(
            connection_->context(), watched_.empty() ? "@DEFAULT_SOURCE@" : watched_.c_str(),
            &PulseMixer::onWatched, this));
    }

    static void onWatched(pa_context*, const pa_source_info* info, int eol, void* self) {
        auto* mixer = static_cast<PulseMixer*>(self);
        if (eol == 0 && info != nullptr) {
            // A chosen name is only ever the source of that name (see onTarget).
            if (mixer->watched_.empty() || mixer->watched_ == info->name) {
                mixer->seen_ = pa_cvolume_max(&info->volume);
            }
            return;
        }
        mixer->watching_.reset();
        const std::optional<pa_volume_t> seen = std::exchange(mixer->seen_, std::nullopt);
        // While a value of ours is on its way the answer may be older than it; the change event that
        // value brings asks again.
        if (!mixer->inFlight_ && mixer->pending_.empty() && seen != mixer->heard_) {
            mixer->heard_ = seen;
            if (seen) {
                mixer->tellWindows();
            }
        }
        if (std::exchange(mixer->watchAgain_, false)) {
            mixer->follow();
        }
    }

    // Called with the lock held on the main loop's thread; the windows are told on theirs.
    void tellWindows() {
        QMetaObject::invokeMethod(
            &gui_,
            [this] {
                for (const auto& [handle, window] : windows_) {
                    if (window) {
                        MixerControlChangeEvent changed(handle, kWaveInVolumeControlId);
                        QCoreApplication::sendEvent(window, &changed);
                    }
                }
            },
            Qt::QueuedConnection);
    }

    void contextLost() override {
        // Requests die with the context; a value not yet sent is dropped, like one sent to no server.
        inFlight_.reset();
        pending_.clear();
        sending_.reset();
        targetFound_ = false;
        watching_.reset();
        watchAgain_ = false;
        seen_.reset();
        heard_.reset();
    }

    std::shared_ptr<Connection> connection_;
    HMIXER opened_ = 0;
    // The request on its way (a lookup or a volume) and the newest value waiting behind it.
    Operation inFlight_;
    std::vector<MIXERCONTROLDETAILS_UNSIGNED> pending_;
    std::string asked_;  // the chosen source the lookup on its way was for; empty for the default
    Source target_;
    bool targetFound_ = false;
    // The value the volume request on its way sets.
    std::optional<std::uint32_t> sending_;

    // Following the volume, from the first open on.
    bool following_ = false;
    Operation watching_;
    bool watchAgain_ = false;
    std::string watched_;  // as asked_, for the question on its way
    std::optional<pa_volume_t> seen_;
    // The source's volume as last known: heard from the server or set by us.
    std::optional<pa_volume_t> heard_;

    // On the GUI thread only: the windows to tell, and the object that carries the telling there.
    std::vector<std::pair<HMIXER, QPointer<QObject>>> windows_;
    QObject gui_;
};

}  // namespace

std::unique_ptr<Mixer> makePulseAudioMixer(std::shared_ptr<pulse::Connection> connection) {
    return std::make_unique<PulseMixer>(std::move(connection));
}

std::unique_ptr<Mixer> makePulseAudioMixer(const QString& applicationName) {
    return makePulseAudioMixer(pulse::connectToSoundServer(applicationName));
}

}  // namespace platform::mixer
