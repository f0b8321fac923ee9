// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/wavein/WaveIn.h"

namespace platform::wavein {

WimDataEvent::WimDataEvent(WaveInDevice* device, WAVEHDR* header)
    : QEvent(eventType()), device_(device), header_(header) {}

QEvent::Type WimDataEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType(QEvent::User + MM_WIM_DATA));
    return type;
}

std::string standardErrorText(MMRESULT status) {
    switch (status) {
        case MMSYSERR_NOERROR: return "The command completed successfully.";
        case MMSYSERR_ERROR: return "An unspecified error occurred in the sound device.";
        case MMSYSERR_BADDEVICEID: return "There is no recording device.";
        case MMSYSERR_ALLOCATED: return "The recording device is already in use.";
        case MMSYSERR_INVALHANDLE: return "The recording device is not open.";
        case MMSYSERR_NODRIVER: return "There is no sound server or recording device.";
        case MMSYSERR_NOMEM: return "There is not enough memory for the recording buffers.";
        case MMSYSERR_INVALFLAG: return "An invalid flag was passed to the recording device.";
        case MMSYSERR_INVALPARAM: return "An invalid parameter was passed to the recording device.";
        case WAVERR_BADFORMAT: return "The recording device does not support this sample format.";
        case WAVERR_STILLPLAYING: return "The recording buffer is still in use by the device.";
        case WAVERR_UNPREPARED: return "The recording buffer has not been prepared.";
        default: return "Unknown recording device error " + std::to_string(status) + ".";
    }
}

}  // namespace platform::wavein
