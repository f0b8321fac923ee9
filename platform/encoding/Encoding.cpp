// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/encoding/Encoding.h"
#include "platform/files/FileTools.h"

#include <QCoreApplication>

#include <cstring>
#include <exception>

namespace platform::encoding {
namespace {}  // namespace

QString EncodeResult::describe(const QString& destination) const {
    switch (outcome) {
        case Outcome::Encoded:
            return QString();
        case Outcome::Cancelled:
            return QCoreApplication::translate("Encoding", "O salvamento como \"%1\" foi cancelado.")
                .arg(destination);
        case Outcome::Failed:
            break;
    }
    const QString reason = error != 0 ? platform::files::systemReason(error) : detail;
    switch (step) {
        case Step::ReadTake:
            return QCoreApplication::translate(
                       "Encoding", "Não foi possível ler a gravação para salvá-la como \"%1\": %2.")
                .arg(destination, reason);
        case Step::CreateDestination:
            return QCoreApplication::translate("Encoding", "Não foi possível criar \"%1\": %2.")
                .arg(destination, reason);
        case Step::Check:
            return QCoreApplication::translate(
                       "Encoding",
                       "O arquivo salvo como \"%1\" não confere com a gravação e foi removido: %2.")
                .arg(destination, reason);
        case Step::None:
        case Step::Encode:
        case Step::Flush:
            break;
    }
    return QCoreApplication::translate("Encoding", "Não foi possível salvar a gravação como \"%1\": %2.")
        .arg(destination, reason);
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
              // Out of memory, most likely; the partial file went with the unwinding.
              result_.outcome = EncodeResult::Outcome::Failed;
              result_.step = EncodeResult::Step::Encode;
              result_.detail = QString::fromLocal8Bit(error.what());
          }
          finished_.store(true, std::memory_order_release);
          if (finished) {
              finished();
          }
      }) {}

Encoding::~Encoding() {
    cancel();
    thread_.join();
}

}  // namespace platform::encoding
