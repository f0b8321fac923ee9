// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/encoding/Encoding.h"
#include "platform/files/FileTools.h"

#include <QCoreApplication>
#include <QDir>

#include <cstring>
#include <exception>

namespace platform::encoding {

QString EncodeResult::describe(const QString& destination) const {
    switch (outcome) {
        case Outcome::Encoded:
            return QString();
        case Outcome::Cancelled:
            return outputs > 1
                       ? QCoreApplication::translate(
                             "Encoding", "O salvamento dos %1 arquivos foi cancelado; nenhum foi gravado.")
                             .arg(outputs)
                       : QCoreApplication::translate("Encoding", "O salvamento como \"%1\" foi cancelado.")
                             .arg(destination);
        case Outcome::Failed:
            break;
    }
    const QString reason = error != 0 ? platform::files::systemReason(error) : detail;
    QString text;
    switch (step) {
        case Step::ReadTake:
            text = QCoreApplication::translate(
                       "Encoding", "Não foi possível ler a gravação para salvá-la como \"%1\": %2.")
                       .arg(destination, reason);
            break;
        case Step::NameTaken:
            text = QCoreApplication::translate("Encoding", "Já existe um arquivo chamado \"%1\".")
                       .arg(destination);
            break;
        case Step::CreateDestination:
            text = QCoreApplication::translate("Encoding", "Não foi possível criar \"%1\": %2.")
                       .arg(destination, reason);
            break;
        case Step::Tag:
            text = QCoreApplication::translate("Encoding",
                                               "Não foi possível gravar as etiquetas e marcas em \"%1\": %2.")
                       .arg(destination, reason);
            break;
        case Step::Check:
            text =
                QCoreApplication::translate(
                    "Encoding", "O arquivo salvo como \"%1\" não confere com a gravação e foi removido: %2.")
                    .arg(destination, reason);
            break;
        case Step::None:
        case Step::Encode:
        case Step::Flush:
            text =
                QCoreApplication::translate("Encoding", "Não foi possível salvar a gravação como \"%1\": %2.")
                    .arg(destination, reason);
            break;
    }
    // All or none: the user must know that none of the other files is there either.
    if (outputs > 1) {
        text += QLatin1Char(' ') +
                QCoreApplication::translate("Encoding", "Nenhum dos %1 arquivos foi gravado.").arg(outputs);
    }
    return text;
}

QString EncodeResult::describe() const {
    return describe(QDir::toNativeSeparators(destination));
}

Encoding::Encoding(EncodeRequest request, std::function<void()> finished)
    : thread_([this, request = std::move(request), finished = std::move(finished)] {
          try {
              result_ = encode(request, [this](std::uint64_t done, std::uint64_t total) {
                  permille_.store(total == 0 ? 1000 : static_cast<int>(done * 1000 / total),
                                  std::memory_order_relaxed);
                  return !cancelled_.load(std::memory_order_relaxed);
              });
          } catch (const std::exception& error) {
              // Out of memory, most likely; the partial files went with the unwinding.
              result_.outcome = EncodeResult::Outcome::Failed;
              result_.step = EncodeResult::Step::Encode;
              result_.detail = QString::fromLocal8Bit(error.what());
          }
          finished_.store(true, std::memory_order_release);
          if (finished) {
              finished();
          }
      }) {}

void Encoding::wait() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

Encoding::~Encoding() {
    cancel();
    wait();
}

}  // namespace platform::encoding
