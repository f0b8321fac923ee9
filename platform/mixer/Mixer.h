// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The audio mixer service: open a mixer, look a line up, look its controls up, read and set a
// control's value, and be told when someone else changes it. Every call returns a status, 0 on
// success. The records keep the single-byte layout the recorder's level code is written against;
// fields a caller does not set must be zero.

#include <QEvent>

#include <cstdint>

namespace platform::mixer {

using MMRESULT = std::uint32_t;
// An open mixer; 0 is none.
using HMIXER = std::uint32_t;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;        // the server refused the request
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;  // no such mixer
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;  // no sound server answers
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT MIXERR_INVALLINE = 1024;
inline constexpr MMRESULT MIXERR_INVALCONTROL = 1025;
inline constexpr MMRESULT MIXERR_INVALVALUE = 1026;

// How the handle argument is meant; both accept a handle from mixerOpen.
inline constexpr std::uint32_t MIXER_OBJECTF_MIXER = 0x00000000;
inline constexpr std::uint32_t MIXER_OBJECTF_HMIXER = 0x80000000;

inline constexpr std::uint32_t MIXER_GETLINEINFOF_DESTINATION = 0;
inline constexpr std::uint32_t MIXER_GETLINEINFOF_LINEID = 2;
inline constexpr std::uint32_t MIXER_GETLINEINFOF_COMPONENTTYPE = 3;
inline constexpr std::uint32_t MIXER_GETLINECONTROLSF_ALL = 0;
inline constexpr std::uint32_t MIXER_GETLINECONTROLSF_ONEBYTYPE = 2;
inline constexpr std::uint32_t MIXER_GETCONTROLDETAILSF_VALUE = 0;
inline constexpr std::uint32_t MIXER_SETCONTROLDETAILSF_VALUE = 0;
// mixerOpen's dwCallback is a QObject* that is told of changes (MixerControlChangeEvent).
inline constexpr std::uint32_t CALLBACK_WINDOW = 0x00010000;
inline constexpr std::uint32_t MM_MIXM_CONTROL_CHANGE = 0x3D1;

inline constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_DST_WAVEIN = 7;
inline constexpr std::uint32_t MIXERLINE_LINEF_ACTIVE = 0x00000001;
inline constexpr std::uint32_t MIXERLINE_TARGETTYPE_WAVEIN = 2;
inline constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
inline constexpr std::uint32_t MIXERCONTROL_CONTROLF_UNIFORM = 0x00000001;

// A line. The mixer fills everything from dwDestination on; the caller sets cbStruct and the
// field its query names.
struct MIXERLINE {
    std::uint32_t cbStruct = 0;
    std::uint32_t dwDestination = 0;
    std::uint32_t dwSource = 0;
    std::uint32_t dwLineID = 0;
    std::uint32_t fdwLine = 0;
    std::uint32_t dwUser = 0;
    std::uint32_t dwComponentType = 0;
    std::uint32_t cChannels = 0;
    std::uint32_t cConnections = 0;
    std::uint32_t cControls = 0;
    char szShortName[16] = {};
    char szName[64] = {};
    struct {
        std::uint32_t dwType = 0;
        std::uint32_t dwDeviceID = 0;
        std::uint16_t wMid = 0;
        std::uint16_t wPid = 0;
        std::uint32_t vDriverVersion = 0;
        char szPname[32] = {};
    } Target;
};
static_assert(sizeof(MIXERLINE) == 168);

// A control as the mixer writes it, 148 bytes, once per control into the caller's buffer.
struct MIXERCONTROL {
    std::uint32_t cbStruct = 0;
    std::uint32_t dwControlID = 0;
    std::uint32_t dwControlType = 0;
    std::uint32_t fdwControl = 0;
    std::uint32_t cMultipleItems = 0;
    char szShortName[16] = {};
    char szName[64] = {};
    struct {
        std::int32_t lMinimum = 0;
        std::int32_t lMaximum = 0;
        std::uint32_t dwReserved[4] = {};
    } Bounds;
    struct {
        std::uint32_t cSteps = 0;
        std::uint32_t dwReserved[5] = {};
    } Metrics;
};
static_assert(sizeof(MIXERCONTROL) == 148);

// A question about a line's controls. pamxctrl points at cControls records of cbmxctrl bytes
// each (at least sizeof(MIXERCONTROL)); the mixer writes a MIXERCONTROL at the start of each.
struct MIXERLINECONTROLS {
    std::uint32_t cbStruct = 0;
    std::uint32_t dwLineID = 0;
    std::uint32_t dwControlType = 0;
    std::uint32_t cControls = 0;
    std::uint32_t cbmxctrl = 0;
    void* pamxctrl = nullptr;
};

struct MIXERCONTROLDETAILS_UNSIGNED {
    std::uint32_t dwValue = 0;
};

// A new value for a control: cChannels 1 sets every channel alike; paDetails points at
// cChannels records of cbDetails bytes.
struct MIXERCONTROLDETAILS {
    std::uint32_t cbStruct = 0;
    std::uint32_t dwControlID = 0;
    std::uint32_t cChannels = 0;
    std::uint32_t cMultipleItems = 0;
    std::uint32_t cbDetails = 0;
    void* paDetails = nullptr;
};

// Sent to the object a mixer was opened with (CALLBACK_WINDOW) when a control's value changed by
// someone else's hand (another program, the desktop's volume keys), never for a value set through
// the mixer itself. Delivered on the object's thread; mixerGetControlDetails reads the new value.
class MixerControlChangeEvent : public QEvent {
public:
    MixerControlChangeEvent(HMIXER mixer, std::uint32_t controlId)
        : QEvent(eventType()), mixer_(mixer), controlId_(controlId) {}
    static QEvent::Type eventType() {
        static const auto type =
            static_cast<QEvent::Type>(QEvent::registerEventType(QEvent::User + MM_MIXM_CONTROL_CHANGE));
        return type;
    }

    HMIXER mixer() const { return mixer_; }
    std::uint32_t controlId() const { return controlId_; }

private:
    HMIXER mixer_;
    std::uint32_t controlId_;
};

// A mixer service. Every call is made on one thread, the GUI thread in the program.
class Mixer {
public:
    virtual ~Mixer() = default;

    // Opens mixer uMxId into *phmx (left alone on failure). With fdwOpen CALLBACK_WINDOW,
    // dwCallback is a QObject* told of changes until it is destroyed; otherwise dwCallback and
    // fdwOpen must be 0. dwInstance must be 0. An open mixer lives as long as the service.
    virtual MMRESULT mixerOpen(HMIXER* phmx, std::uint32_t uMxId, std::uintptr_t dwCallback,
                               std::uintptr_t dwInstance, std::uint32_t fdwOpen) = 0;
    virtual MMRESULT mixerGetLineInfo(HMIXER hmxobj, MIXERLINE* pmxl, std::uint32_t fdwInfo) = 0;
    virtual MMRESULT mixerGetLineControls(HMIXER hmxobj, MIXERLINECONTROLS* pmxlc,
                                          std::uint32_t fdwControls) = 0;
    // The control's value as last known, without waiting: a value set through the mixer from the
    // moment it is set, else what the server last told. MIXERR_INVALVALUE while none is known.
    virtual MMRESULT mixerGetControlDetails(HMIXER hmxobj, MIXERCONTROLDETAILS* pmxcd,
                                            std::uint32_t fdwDetails) = 0;
    virtual MMRESULT mixerSetControlDetails(HMIXER hmxobj, const MIXERCONTROLDETAILS* pmxcd,
                                            std::uint32_t fdwDetails) = 0;
};

}  // namespace platform::mixer
