// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/window/TakeEndNotice.h"

#include "recorder/capture/CaptureEngine.h"
#include "recorder/window/InputMenu.h"

#include <QCoreApplication>
#include <QStringList>

namespace take_end {
namespace {

// Why a take ended on a lost source, whole sentences for the translator: [input unplugged][nothing
// kept]. A take armed for sound that never heard any has no file, and telling the user it holds
// something would send them looking for it.
const char* const kSourceLoss[2][2] = {
    {QT_TRANSLATE_NOOP("frmSoundRec", "A gravação parou porque o servidor de som saiu do ar (%1). "
                                      "Tudo o que foi gravado até então está no arquivo."),
     QT_TRANSLATE_NOOP("frmSoundRec", "A gravação parou porque o servidor de som saiu do ar (%1). "
                                      "Nenhum som passou do nível de disparo: nada foi gravado.")},
    {QT_TRANSLATE_NOOP("frmSoundRec", "A gravação parou porque a entrada \"%1\" foi desconectada. "
                                      "Tudo o que foi gravado até então está na gravação."),
     QT_TRANSLATE_NOOP("frmSoundRec", "A gravação parou porque a entrada \"%1\" foi desconectada. "
                                      "Nenhum som passou do nível de disparo: nada foi gravado.")},
};

QString sourceLossText(const input::InputChoice* input, const QString& reason, bool nothingKept) {
    // The server still answers: it was the chosen input that went (a device unplugged).
    const bool unplugged = input != nullptr && input->unplugged();
    return QCoreApplication::translate("frmSoundRec", kSourceLoss[unplugged][nothingKept])
        .arg(unplugged ? input->described() : reason);
}

const QString kBetweenParts = QStringLiteral("\n\n");

}  // namespace

std::optional<QString> failure(const basSoundRec_1::CaptureEngine& engine, const input::InputChoice* input,
                               bool nothingKept) {
    if (engine.takeWriteFailure()) {
        return engine.takeWriteFailure()->describe();
    }
    if (engine.sourceLost()) {
        return sourceLossText(input, engine.sourceLostReason(), nothingKept);
    }
    return std::nullopt;
}

QString afterStop(const basSoundRec_1::CaptureEngine& engine, const input::InputChoice* input,
                  bool failedBeforeStop, bool nothingKept) {
    QStringList reasons;
    if (!failedBeforeStop && engine.takeWriteFailure()) {
        reasons << engine.takeWriteFailure()->describe();
    }
    if (engine.sourceLost()) {
        reasons << sourceLossText(input, engine.sourceLostReason(), nothingKept);
    }
    return reasons.join(kBetweenParts);
}

QString message(const basSoundRec_1::CaptureEngine& engine, const QString& reason) {
    QStringList parts;
    if (!reason.isEmpty()) {
        parts << reason;
    }
    if (const QString lost = engine.overrunReport(); !lost.isEmpty()) {
        parts << lost;
    }
    return parts.join(kBetweenParts);
}

}  // namespace take_end
