// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mixer/PulseMixer.h"

#include "platform/mixer/PulseObjects.h"

#include <pulse/introspect.h>
#include <pulse/volume.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace platform::mixer {

namespace {

using detail::MainloopLock;
using detail::PulseLink;

constexpr std::uint32_t kQueryMask = 0x0000000F;
constexpr std::uint32_t kObjectMask = 0xF0000000;
constexpr std::uint32_t kLargestValue = 65535;

// The default source as the server knows it at the moment of asking.
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

class PulseMixer final : public Mixer {
public:
    explicit PulseMixer(std::string applicationName) : applicationName_(std::move(applicationName)) {}

    MMRESULT mixerOpen(HMIXER* phmx, std::uint32_t uMxId, std::uintptr_t dwCallback,
                       std::uintptr_t dwInstance, std::uint32_t fdwOpen) override {
        if (phmx == nullptr) {
            return MMSYSERR_INVALPARAM;
        }
        if (fdwOpen != 0 || dwCallback != 0 || dwInstance != 0) {
            return MMSYSERR_INVALFLAG;
        }
        if (uMxId != 0) {
            return MMSYSERR_BADDEVICEID;
        }
        auto link = PulseLink::connect(applicationName_);
        if (!link) {
            return MMSYSERR_NODRIVER;
        }
        links_.push_back(std::move(link));
        *phmx = static_cast<HMIXER>(links_.size());
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
        const auto source = defaultSource(hmxobj);
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
        const auto source = defaultSource(hmxobj);
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

    MMRESULT mixerSetControlDetails(HMIXER hmxobj, const MIXERCONTROLDETAILS* pmxcd,
                                    std::uint32_t fdwDetails) override {
        if (const MMRESULT status = checkHandle(hmxobj, fdwDetails); status != MMSYSERR_NOERROR) {
            return status;
        }
        if (pmxcd == nullptr || pmxcd->cbStruct != sizeof(MIXERCONTROLDETAILS)) {
            return MMSYSERR_INVALPARAM;
        }
        if ((fdwDetails & kQueryMask) != MIXER_SETCONTROLDETAILSF_VALUE) {
            return MMSYSERR_INVALFLAG;
        }
        if (pmxcd->dwControlID != kWaveInVolumeControlId) {
            return MIXERR_INVALCONTROL;
        }
        if (pmxcd->cMultipleItems != 0 || pmxcd->cbDetails != sizeof(MIXERCONTROLDETAILS_UNSIGNED) ||
            pmxcd->cChannels == 0 || pmxcd->cChannels > PA_CHANNELS_MAX || pmxcd->paDetails == nullptr) {
            return MMSYSERR_INVALPARAM;
        }
        std::vector<MIXERCONTROLDETAILS_UNSIGNED> values(pmxcd->cChannels);
        std::memcpy(values.data(), pmxcd->paDetails, values.size() * sizeof(MIXERCONTROLDETAILS_UNSIGNED));
        for (const auto& value : values) {
            if (value.dwValue > kLargestValue) {
                return MIXERR_INVALVALUE;
            }
        }

        // Asked anew at every change: the default source may have changed since the last one.
        const auto source = defaultSource(hmxobj);
        if (const auto* status = std::get_if<MMRESULT>(&source)) {
            return *status;
        }
        const Source& found = std::get<Source>(source);
        if (values.size() != 1 && values.size() != found.channels) {
            return MMSYSERR_INVALPARAM;
        }
        pa_cvolume volume;
        volume.channels = found.channels;
        for (std::size_t i = 0; i < found.channels; ++i) {
            const std::uint32_t v = values[values.size() == 1 ? 0 : i].dwValue;
            volume.values[i] = static_cast<pa_volume_t>(
                std::lround(static_cast<double>(v) * PA_VOLUME_NORM / static_cast<double>(kLargestValue)));
        }

        PulseLink& link = *links_[hmxobj - 1];
        MainloopLock lock(link.mainloop());
        const auto reply = std::make_shared<Reply>(&link);
        if (!link.await(pa_context_set_source_volume_by_index(link.context(), found.index, &volume,
                                                              &PulseMixer::onSuccess, reply.get()),
                        reply)) {
            return link.alive() ? MMSYSERR_ERROR : MMSYSERR_NODRIVER;
        }
        return reply->success ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
    }

private:
    struct Reply {
        explicit Reply(PulseLink* l) : link(l) {}
        PulseLink* link;
        bool success = false;
        bool found = false;
        Source source;
    };

    MMRESULT checkHandle(HMIXER hmxobj, std::uint32_t flags) const {
        const std::uint32_t object = flags & kObjectMask;
        if (object != MIXER_OBJECTF_MIXER && object != MIXER_OBJECTF_HMIXER) {
            return MMSYSERR_INVALFLAG;
        }
        if (hmxobj == 0 || hmxobj > links_.size()) {
            return MMSYSERR_INVALHANDLE;
        }
        return MMSYSERR_NOERROR;
    }

    // The open mixer's connection, made anew when the server went away since the last call.
    PulseLink* liveLink(HMIXER hmxobj) {
        auto& link = links_[hmxobj - 1];
        if (link) {
            MainloopLock lock(link->mainloop());
            if (link->alive()) {
                return link.get();
            }
        }
        link = PulseLink::connect(applicationName_);
        return link.get();
    }

    std::variant<MMRESULT, Source> defaultSource(HMIXER hmxobj) {
        PulseLink* link = liveLink(hmxobj);
        if (link == nullptr) {
            return MMSYSERR_NODRIVER;
        }
        MainloopLock lock(link->mainloop());
        const auto reply = std::make_shared<Reply>(link);
        if (!link->await(pa_context_get_source_info_by_name(link->context(), "@DEFAULT_SOURCE@",
                                                            &PulseMixer::onSourceInfo, reply.get()),
                         reply)) {
            return link->alive() ? MMSYSERR_ERROR : MMSYSERR_NODRIVER;
        }
        if (!reply->found) {
            return MIXERR_INVALLINE;
        }
        return reply->source;
    }

    static void onSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata) {
        auto* reply = static_cast<Reply*>(userdata);
        if (eol == 0 && info != nullptr) {
            reply->found = true;
            reply->source.index = info->index;
            reply->source.channels = info->channel_map.channels;
            reply->source.name = info->name != nullptr ? info->name : "";
            reply->source.description = info->description != nullptr ? info->description : reply->source.name;
        }
        PulseLink::signal(reply->link);
    }

    static void onSuccess(pa_context*, int success, void* userdata) {
        auto* reply = static_cast<Reply*>(userdata);
        reply->success = success != 0;
        PulseLink::signal(reply->link);
    }

    std::string applicationName_;
    // Open mixers by handle - 1; an entry is empty while its server is away.
    std::vector<std::unique_ptr<PulseLink>> links_;
};

}  // namespace

std::unique_ptr<Mixer> makePulseAudioMixer(const QString& applicationName) {
    return std::make_unique<PulseMixer>(applicationName.toStdString());
}

}  // namespace platform::mixer
