// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the take-file tests share: a scratch folder, the dialogs double, reading the file back.

#include "PcmFormat.h"
#include "ScriptedDialogs.h"
#include "recorder/wavfile/TakeFile.h"

#include <sys/resource.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <memory>

namespace wavfiletest {

using basSoundRec_2::TakeFile;
using basSoundRec_2::WAVEFORMATEX;

inline const QString kTitle = QStringLiteral("Tolvane test");

using testsupport::pcm16;

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline std::uint32_t le32(const QByteArray& b, int at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | static_cast<std::uint8_t>(b.at(at + i));
    }
    return v;
}

inline std::uint16_t le16(const QByteArray& b, int at) {
    return static_cast<std::uint16_t>(le32(b, at) & 0xFFFF);
}

inline const std::byte* bytes(const QByteArray& b) {
    return reinterpret_cast<const std::byte*>(b.constData());
}

// Lowers the file-size limit for the calling process (writes past it fail with EFBIG instead of a
// signal) and restores limit and signal on destruction.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = SIG_DFL;
};

class TakeFileTest : public ::testing::Test {
protected:
    QString inDir(const QString& name) const { return dir.filePath(name); }

    // A take created in the scratch folder with its header written.
    std::unique_ptr<TakeFile> startTake(const WAVEFORMATEX& format = pcm16(44100, 1),
                                        std::uint64_t largest = basSoundRec_2::kLargestRiffSize) {
        auto take = std::make_unique<TakeFile>(dialogs, kTitle, largest);
        EXPECT_FALSE(take->Create(inDir(QStringLiteral("take.WAV"))).isEmpty());
        EXPECT_TRUE(take->WriteHeader(format));
        return take;
    }

    // The message boxes shown, each checked for the caption.
    QStringList messages() const {
        for (const auto& shown : dialogs.shown) {
            EXPECT_EQ(shown.title, kTitle);
        }
        return dialogs.messages();
    }

    QTemporaryDir dir;
    testsupport::ScriptedDialogs dialogs;
};

}  // namespace wavfiletest
