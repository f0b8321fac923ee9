// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The record toggle's captions, which follow the take: translated where they are shown, so each
// reads in the language of the moment.

#include <QtGlobal>

inline constexpr const char* kStartCaption = QT_TRANSLATE_NOOP("frmSoundRec", "Iniciar Gravação");
inline constexpr const char* kStopCaption = QT_TRANSLATE_NOOP("frmSoundRec", "Parar Gravação");
// While a take waits for its set time, a press cancels it.
inline constexpr const char* kCancelStartCaption = QT_TRANSLATE_NOOP("frmSoundRec", "Cancelar Início");
