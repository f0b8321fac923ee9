// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Moving a take to a chosen name: on its own file system and onto another one, with the ways a
// copy can end early.
#include "platform/files/MoveFile.h"
#include "platform/files/RenameCall.h"

#include "OtherVolume.h"
#include "platform/dialogs/Dialogs.h"

#include <QDir>
#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>

using platform::files::kCopyBlockSize;
using platform::files::moveFile;
using platform::files::MoveResult;
using Outcome = MoveResult::Outcome;

namespace {

QByteArray noise(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (auto& b : bytes) {
        b = static_cast<char>(generator.bounded(256));
    }
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct stat statOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// Lowers the largest file this process may write, as a full disk would stop the copy.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &before_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lowered = before_;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    struct rlimit before_ {};
    void (*previous_)(int) = nullptr;
};

struct MoveCase {
    const char* name;
    bool acrossVolumes;
    bool destinationExists;
    bool destinationFull;  // the other volume holds less than the take
    std::uint64_t cancelAt;  // cancel at the first step that reaches it; 0 never
    Outcome expected;
};

std::string caseName(const testing::TestParamInfo<MoveCase>& info) {
    return info.param.name;
}

class MoveTake : public testing::TestWithParam<MoveCase> {};

constexpr qsizetype kTakeSize = 5 * static_cast<qsizetype>(kCopyBlockSize) + 123;

}  // namespace

TEST_P(MoveTake, EndsMovedOrWithTheTakeWhereItWas) {
    const MoveCase c = GetParam();
    QTemporaryDir here;
    testsupport::OtherVolume other(c.destinationFull ? 2 * kCopyBlockSize : 64 * kCopyBlockSize);
    if (c.acrossVolumes && !other.usable()) {
        GTEST_SKIP() << "no second file system to copy to";
    }
    const QString source = here.filePath(QStringLiteral("03042026090507AM.WAV"));
    const QString folder = c.acrossVolumes ? other.path() : here.path();
    const QString destination = QDir(folder).filePath(QStringLiteral("Entrevista.Wav"));
    const QByteArray take = noise(kTakeSize);
    writeFile(source, take);
    const QByteArray earlier("an earlier file of that name");
    if (c.destinationExists) {
        writeFile(destination, earlier);
    }
    const QStringList filesBefore = filesIn(folder);
    const struct stat before = statOf(source);

    std::vector<std::uint64_t> steps;
    std::uint64_t total = 0;
    MoveResult result;
    {
        std::optional<FileSizeLimit> limit;
        if (c.destinationFull) {
            std::printf("the copy meets %s\n", other.sizeLimited() ? "a full 2 MiB tmpfs" : "a 2 MiB file-size limit");
            if (!other.sizeLimited()) {
                limit.emplace(2 * kCopyBlockSize);
            }
        }
        result = moveFile(source, destination, [&](std::uint64_t done, std::uint64_t all) {
            steps.push_back(done);
            total = all;
            return c.cancelAt == 0 || done < c.cancelAt;
        });
    }

    EXPECT_EQ(result.outcome, c.expected) << result.describe(destination).toStdString();
    if (c.expected == Outcome::Moved) {
        EXPECT_FALSE(QFile::exists(source));
        EXPECT_TRUE(result.sourceRemoved);
        EXPECT_EQ(readFile(destination), take);
        const struct stat after = statOf(destination);
        EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        EXPECT_EQ(result.copied, c.acrossVolumes);
        if (c.acrossVolumes) {
            // Every block is told, from nothing to the whole take.
            const std::uint64_t blocks = (kTakeSize + kCopyBlockSize - 1) / kCopyBlockSize;
            ASSERT_EQ(steps.size(), blocks + 1);
            EXPECT_EQ(total, static_cast<std::uint64_t>(kTakeSize));
            EXPECT_EQ(steps.front(), 0u);
            EXPECT_EQ(steps.back(), total);
            EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
        } else {
            EXPECT_EQ(after.st_ino, before.st_ino) << "renamed, not copied";
            EXPECT_TRUE(steps.empty());
        }
        return;
    }
    // Anything short of a move leaves the take as it was and the destination as it was.
    EXPECT_EQ(readFile(source), take);
    EXPECT_EQ(filesIn(folder), filesBefore);
    if (c.destinationExists) {
        EXPECT_EQ(readFile(destination), earlier);
    }
    if (c.expected == Outcome::Failed) {
        const int expectedError = c.destinationExists ? EEXIST
                                  : other.sizeLimited() ? ENOSPC
                                                        : EFBIG;
        EXPECT_EQ(result.error, expectedError) << result.describe(destination).toStdString();
        const QString text = result.describe(destination);
        EXPECT_TRUE(text.contains(destination) && text.contains(platform::files::systemReason(expectedError)))
            << text.toStdString();
        if (c.destinationFull) {
            EXPECT_GT(steps.size(), 1u) << "the copy failed only once the volume was full";
        }
    } else {
        EXPECT_EQ(steps.back(), c.cancelAt);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Moves, MoveTake,
    testing::Values(MoveCase{"OnItsOwnVolume", false, false, false, 0, Outcome::Moved},
                    MoveCase{"OnItsOwnVolumeOntoAnExistingFile", false, true, false, 0, Outcome::Failed},
                    MoveCase{"ToAnotherVolume", true, false, false, 0, Outcome::Moved},
                    MoveCase{"ToAnotherVolumeOntoAnExistingFile", true, true, false, 0, Outcome::Failed},
                    MoveCase{"ToAnotherVolumeCancelledMidway", true, false, false, 3 * kCopyBlockSize,
                             Outcome::Cancelled},
                    MoveCase{"ToAnotherVolumeThatFillsUp", true, false, true, 0, Outcome::Failed}),
    caseName);

TEST(MoveTakeSizes, AGigabyteTakeIsRenamedOnItsOwnVolumeAndCopiedAcross) {
    QTemporaryDir here;
    const QString source = here.filePath(QStringLiteral("take.WAV"));
    {
        // Sparse: a rename never reads the data, so its holes cost nothing to make.
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64{1} << 30));
        file.seek(file.size() - 4);
        file.write("tail");
    }
    const auto inode = statOf(source).st_ino;
    QElapsedTimer clock;
    clock.start();
    const MoveResult renamed = moveFile(source, here.filePath(QStringLiteral("saved.Wav")));
    const qint64 renameNs = clock.nsecsElapsed();
    ASSERT_TRUE(renamed.moved());
    EXPECT_FALSE(renamed.copied);
    EXPECT_EQ(statOf(here.filePath(QStringLiteral("saved.Wav"))).st_ino, inode);
    std::printf("1 GiB take moved on its own volume in %.3f ms\n", static_cast<double>(renameNs) / 1e6);

    // Across volumes, 128 MiB of real data; the system's own file copy of the same file is the yardstick.
    testsupport::OtherVolume other(300 * kCopyBlockSize);
    if (!other.usable()) {
        GTEST_SKIP() << "no second file system to copy to";
    }
    const QString real = here.filePath(QStringLiteral("real.WAV"));
    writeFile(real, noise(128 * static_cast<qsizetype>(kCopyBlockSize)));
    clock.restart();
    std::filesystem::copy_file(real.toStdString(), (other.path() + QStringLiteral("/yardstick")).toStdString());
    const double yardstickS = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    clock.restart();
    const MoveResult copied = moveFile(real, other.path() + QStringLiteral("/copied.Wav"));
    const double copyS = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    ASSERT_TRUE(copied.moved());
    EXPECT_TRUE(copied.copied);
    std::printf("128 MiB copied to another volume at %.0f MiB/s (flushed); std::filesystem::copy_file %.0f MiB/s "
                "(not flushed)\n",
                128 / copyS, 128 / yardstickS);
}

TEST(MoveTakeProgressBox, CancelInTheRealBoxStopsTheCopyAndRemovesIt) {
    QTemporaryDir here;
    testsupport::OtherVolume other(64 * kCopyBlockSize);
    if (!other.usable()) {
        GTEST_SKIP() << "no second file system to copy to";
    }
    const QString source = here.filePath(QStringLiteral("take.WAV"));
    const QByteArray take = noise(32 * static_cast<qsizetype>(kCopyBlockSize));
    writeFile(source, take);
    const QString destination = other.path() + QStringLiteral("/Entrevista.Wav");

    // Someone presses Cancel once the box is up.
    bool boxSeen = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QProgressDialog*>(w);
            if (box != nullptr && box->isVisible() && !boxSeen) {
                boxSeen = true;
                box->findChild<QPushButton*>()->click();
            }
        }
    });
    user.start(20);

    auto dialogs = platform::makeWidgetDialogs(nullptr);
    std::unique_ptr<platform::Progress> box;
    std::uint64_t lastStep = 0;
    const MoveResult result = moveFile(source, destination, [&](std::uint64_t done, std::uint64_t total) {
        if (!box) {
            box = dialogs->progress(QStringLiteral("Saving the take"), QStringLiteral("Tolvane"), total);
        }
        // A slow disk: the box has time to come up, and only its own event handling sees the click.
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        lastStep = done;
        return box->advance(done);
    });
    box.reset();

    EXPECT_TRUE(boxSeen);
    EXPECT_EQ(result.outcome, Outcome::Cancelled);
    EXPECT_LT(lastStep, static_cast<std::uint64_t>(take.size()));
    EXPECT_EQ(readFile(source), take);
    EXPECT_TRUE(filesIn(other.path()).isEmpty());
}

// A take in three parts whose third name is taken, where a rename cannot refuse to replace (NFS, 9p,
// FUSE), or while the parts are copied to another disk: no new name shows, the take is where it was.
TEST(MoveTakeParts, AThirdNameTakenMovesNone) {
    for (const bool acrossVolumes : {false, true}) {
        SCOPED_TRACE(acrossVolumes ? "taken during the copy" : "the rename cannot refuse");
        QTemporaryDir here;
        testsupport::OtherVolume other(64 * kCopyBlockSize);
        const QString folder = acrossVolumes ? other.path() : here.filePath(QStringLiteral("saved"));
        if ((acrossVolumes && !other.usable()) || !QDir().mkpath(folder)) {
            continue;
        }
        QStringList parts, destinations;
        QList<QByteArray> contents;
        for (const char* suffix : {"", ".2", ".3"}) {
            parts << here.filePath(QStringLiteral("take%1.WAV").arg(QLatin1String(suffix)));
            destinations << QDir(folder).filePath(QStringLiteral("saved%1.Wav").arg(QLatin1String(suffix)));
            contents << noise(kCopyBlockSize + parts.size());
            writeFile(parts.back(), contents.back());
        }
        auto& rename = platform::files::detail::renameCall();
        const auto system = rename;
        if (!acrossVolumes) {
            writeFile(destinations[2], "someone else's file");
            rename = [](int, const char*, int, const char*, unsigned flags) {
                errno = (flags & RENAME_NOREPLACE) != 0 ? EINVAL : ENOSYS;
                return -1;
            };
        }
        const MoveResult result =
            platform::files::moveFiles(parts, destinations, [&](std::uint64_t done, std::uint64_t) {
                if (done > 0 && !QFile::exists(destinations[2])) {
                    writeFile(destinations[2], "someone else's file");
                }
                return true;
            });
        rename = system;

        EXPECT_EQ(result.outcome, Outcome::Failed);
        EXPECT_EQ(result.error, EEXIST);
        EXPECT_EQ(result.file, 2u);
        EXPECT_TRUE(result.restored);
        for (qsizetype i = 0; i < 3; ++i) {
            EXPECT_TRUE(readFile(parts[i]) == contents[i]) << "part " << i + 1;
        }
        EXPECT_EQ(filesIn(folder).join(' ').toStdString(), "saved.3.Wav") << "a part or a hidden copy stayed";
        EXPECT_EQ(readFile(destinations[2]), "someone else's file");
    }
}
