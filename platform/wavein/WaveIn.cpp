// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/wavein/WaveIn.h"

#include <QCoreApplication>

namespace platform::wavein {

WimDataEvent::WimDataEvent(WaveInDevice* device, WAVEHDR* header)
    : QEvent(eventType()), device_(device), header_(header) {}

QEvent::Type WimDataEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType(QEvent::User + MM_WIM_DATA));
    return type;
}

TakeEndEvent::TakeEndEvent(WaveInDevice* device) : QEvent(eventType()), device_(device) {}

QEvent::Type TakeEndEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

std::string standardErrorText(MMRESULT status) {
    static const struct {
        MMRESULT status;
        const char* text;
    } kTexts[] = {
        {MMSYSERR_NOERROR, QT_TRANSLATE_NOOP("WaveIn", "O comando foi concluído com sucesso.")},
        {MMSYSERR_ERROR,
         QT_TRANSLATE_NOOP("WaveIn", "Ocorreu um erro não especificado no dispositivo de som.")},
        {MMSYSERR_BADDEVICEID, QT_TRANSLATE_NOOP("WaveIn", "Não há dispositivo de gravação.")},
        {MMSYSERR_ALLOCATED, QT_TRANSLATE_NOOP("WaveIn", "O dispositivo de gravação já está em uso.")},
        {MMSYSERR_INVALHANDLE, QT_TRANSLATE_NOOP("WaveIn", "O dispositivo de gravação não está aberto.")},
        {MMSYSERR_NODRIVER,
         QT_TRANSLATE_NOOP("WaveIn", "Não há servidor de som nem dispositivo de gravação.")},
        {MMSYSERR_NOMEM,
         QT_TRANSLATE_NOOP("WaveIn", "Não há memória suficiente para os buffers de gravação.")},
        {MMSYSERR_INVALFLAG,
         QT_TRANSLATE_NOOP("WaveIn", "Um sinalizador inválido foi passado ao dispositivo de gravação.")},
        {MMSYSERR_INVALPARAM,
         QT_TRANSLATE_NOOP("WaveIn", "Um parâmetro inválido foi passado ao dispositivo de gravação.")},
        {WAVERR_BADFORMAT,
         QT_TRANSLATE_NOOP("WaveIn", "O dispositivo de gravação não aceita este formato de amostra.")},
        {WAVERR_STILLPLAYING,
         QT_TRANSLATE_NOOP("WaveIn", "O buffer de gravação ainda está em uso pelo dispositivo.")},
        {WAVERR_UNPREPARED, QT_TRANSLATE_NOOP("WaveIn", "O buffer de gravação não foi preparado.")},
    };
    for (const auto& entry : kTexts) {
        if (entry.status == status) {
            return QCoreApplication::translate("WaveIn", entry.text).toStdString();
        }
    }
    return QCoreApplication::translate("WaveIn", "Erro desconhecido do dispositivo de gravação %1.")
        .arg(status)
        .toStdString();
}

}  // namespace platform::wavein
