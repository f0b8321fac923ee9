// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Failures while the take file is made, written and finalised, each forced by a real limit where the
// system can produce one.

#include "TakeFileSupport.h"
#include "recorder/wavfile/FileCalls.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFileInfo>

#include <cerrno>
#include <filesystem>

namespace wavfiletest {
namespace {

using basSoundRec_2::AppendResult;
namespace detail = basSoundRec_2::detail;

struct HeaderFailure {
    rlim_t limit;
    const char* message;
};

class HeaderFailures : public TakeFileTest, public ::testing::WithParamInterface<HeaderFailure> {};

TEST_P(HeaderFailures, EachStepReportsClosesAndLeavesThePartialHeader) {
    const HeaderFailure row = GetParam();
    TakeFile take(dialogs, kTitle);
    const QString path = take.Create(inDir(QStringLiteral("take.WAV")));
    ASSERT_FALSE(path.isEmpty());
    {
        FileSizeLimit limit(row.limit);
        EXPECT_FALSE(take.WriteHeader(pcm16(44100, 2)));
    }
    EXPECT_EQ(messages(), QStringList{QLatin1String(row.message)});
    EXPECT_FALSE(take.isOpen());
    EXPECT_EQ(QFileInfo(path).size(), static_cast<qint64>(row.limit));

    const QByteArray some(4, 'x');
    EXPECT_EQ(take.Append(bytes(some), some.size()).status, AppendResult::Status::NotOpen);
    take.Finalise();
    EXPECT_EQ(messages().size(), 1);
    EXPECT_EQ(QFileInfo(path).size(), static_cast<qint64>(row.limit));
    take.Discard();
    EXPECT_FALSE(QFile::exists(path));
}

INSTANTIATE_TEST_SUITE_P(AtEveryStep, HeaderFailures,
                         ::testing::Values(HeaderFailure{0, "Failed To Create RIFF CHUNK"},
                                           HeaderFailure{7, "Failed To Create RIFF CHUNK"},
                                           HeaderFailure{12, "Failed To Create FMT CHUNK"},
                                           HeaderFailure{17, "Failed To Create FMT CHUNK"},
                                           HeaderFailure{20, "Could Not Write wformat"},
                                           HeaderFailure{37, "Could Not Write wformat"},
                                           HeaderFailure{38, "Failed To Create DATA CHUNK"},
                                           HeaderFailure{45, "Failed To Create DATA CHUNK"}));

TEST_F(TakeFileTest, AFailedAppendKeepsWholeAppendsAndTheFileStaysValid) {
    auto take = startTake(pcm16(44100, 2));
    const QByteArray first(400, 'a'), second(400, 'b');
    ASSERT_TRUE(take->Append(bytes(first), first.size()).ok());
    AppendResult failed;
    {
        FileSizeLimit limit(46 + 400 + 150);  // room for part of the second buffer only
        failed = take->Append(bytes(second), second.size());
    }
    EXPECT_EQ(failed.status, AppendResult::Status::WriteFailed);
    EXPECT_EQ(failed.error, EFBIG);
    EXPECT_EQ(failed.describe(),
              QStringLiteral("Não foi possível escrever no arquivo da gravação: File too large."));
    EXPECT_EQ(take->dataLength(), 400u);
    EXPECT_EQ(QFileInfo(take->path()).size(), 446);

    // The take goes on where the torn part was cut off.
    ASSERT_TRUE(take->Append(bytes(second), second.size()).ok());
    take->Finalise();
    const QByteArray file = readAll(take->path());
    ASSERT_EQ(file.size(), 846);
    EXPECT_EQ(le32(file, 4), 838u);
    EXPECT_EQ(le32(file, 42), 800u);
    EXPECT_EQ(file.mid(46), first + second);
    EXPECT_TRUE(messages().isEmpty());
}

TEST(AppendResultText, NamesTheSystemReason) {
    EXPECT_EQ((AppendResult{AppendResult::Status::WriteFailed, ENOSPC, {}}).describe(),
              QStringLiteral("Não foi possível escrever no arquivo da gravação: No space left on device."));
    EXPECT_EQ((AppendResult{AppendResult::Status::WriteFailed, EIO, {}}).describe(),
              QStringLiteral("Não foi possível escrever no arquivo da gravação: Input/output error."));
    EXPECT_TRUE(AppendResult{}.describe().isEmpty());
}

// Puts a read-only descriptor of the same file in place of the take's own, so that its positioned
// writes fail as they would on a medium that went read-only.
void makeTakeDescriptorReadOnly(const QString& path) {
    const auto target = std::filesystem::canonical(path.toStdString());
    int takeFd = -1;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == target) {
            takeFd = std::stoi(entry.path().filename().string());
        }
    }
    ASSERT_GE(takeFd, 0);
    const int readOnly = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(readOnly, 0);
    ASSERT_EQ(::dup2(readOnly, takeFd), takeFd);
    ::close(readOnly);
}

int seeks = 0;
off_t failSecondSeek(int fd, off_t offset, int whence) {
    if (++seeks == 2) {
        errno = EIO;
        return -1;
    }
    return ::lseek(fd, offset, whence);
}
int failSync(int) {
    errno = EIO;
    return -1;
}

struct FinaliseFailure {
    enum class Injection { ReadOnlyFile, SecondSeek, Sync } injection;
    int audioBytes;
    const char* message;
    std::uint32_t dataSizeField;
    std::uint32_t riffSizeField;
};

class FinaliseFailures : public TakeFileTest, public ::testing::WithParamInterface<FinaliseFailure> {
protected:
    void TearDown() override { detail::fileCalls() = detail::systemFileCalls(); }
};

TEST_P(FinaliseFailures, ReportCloseAndSkipTheRest) {
    const FinaliseFailure row = GetParam();
    auto take = startTake();
    const QByteArray audio(row.audioBytes, 'a');
    ASSERT_TRUE(take->Append(bytes(audio), audio.size()).ok());
    seeks = 0;
    switch (row.injection) {
        case FinaliseFailure::Injection::ReadOnlyFile:
            makeTakeDescriptorReadOnly(take->path());
            break;
        case FinaliseFailure::Injection::SecondSeek:
            detail::fileCalls().lseek = failSecondSeek;
            break;
        case FinaliseFailure::Injection::Sync:
            detail::fileCalls().fdatasync = failSync;
            break;
    }
    take->Finalise();
    EXPECT_EQ(messages(), QStringList{QLatin1String(row.message)});
    EXPECT_FALSE(take->isOpen());
    take->Finalise();
    EXPECT_EQ(messages().size(), 1);

    const QByteArray file = readAll(take->path());
    ASSERT_EQ(file.size(), 46 + row.audioBytes);
    EXPECT_EQ(le32(file, 42), row.dataSizeField);
    EXPECT_EQ(le32(file, 4), row.riffSizeField);
}

using Injection = FinaliseFailure::Injection;
INSTANTIATE_TEST_SUITE_P(
    AtEveryStep, FinaliseFailures,
    // Whatever step fails, the sizes on disk are those the running take kept up to date.
    ::testing::Values(
        // The data size must change, so the first ascent writes and fails.
        FinaliseFailure{Injection::ReadOnlyFile, 4, "Cannot ascend out of DATA CHUNK", 4, 42},
        // A data length equal to the provisional size needs no write; the RIFF ascent is the first.
        FinaliseFailure{Injection::ReadOnlyFile, 18, "Cannot ascend out of RIFF CHUNK", 18, 56},
        FinaliseFailure{Injection::SecondSeek, 4, "Could Ascend Out Of wformat Chunk", 4, 42},
        FinaliseFailure{Injection::Sync, 4, "Cannot ascend out of RIFF CHUNK", 4, 42}));

}  // namespace
}  // namespace wavfiletest
