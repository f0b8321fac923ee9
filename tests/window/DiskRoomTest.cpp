// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The room on the disk, on a small tmpfs of the test's own as the take folder: a press with room for
// less than ten minutes asks first, No records nothing, Yes records until the disk is full; while
// the take runs, the readout tells the time left, and it falls. A take folder whose file system
// does not answer freezes nothing.
#include "RecorderUnderTest.h"
#include "TakeReader.h"

#include "platform/files/FileTools.h"

#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QThread>

#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>

using testsupport::readTake;
using testsupport::Recorder;

namespace {

// A tmpfs mounted over `folder` for the test's life (root only; CI runs as root).
class SmallDisk {
public:
    SmallDisk(const QString& folder, const char* size) : folder_(folder) {
        mounted_ = QProcess::execute(QStringLiteral("mount"),
                                     {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                      QStringLiteral("size=") + QLatin1String(size),
                                      QStringLiteral("tolvane-test"), folder}) == 0;
    }
    ~SmallDisk() {
        if (mounted_) {
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), folder_});
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }

private:
    QString folder_;
    bool mounted_ = false;
};

// The seconds in the first "H:MM:SS" of `text` after `before`; -1 when there is none.
long long secondsIn(const QString& text, const QString& before) {
    const auto match =
        QRegularExpression(QRegularExpression::escape(before) + QStringLiteral(" (\\d+):(\\d\\d):(\\d\\d)"))
            .match(text);
    if (!match.hasMatch()) {
        return -1;
    }
    return match.captured(1).toLongLong() * 3600 + match.captured(2).toLongLong() * 60 +
           match.captured(3).toLongLong();
}

}  // namespace

TEST(DiskRoom, APressWithLittleRoomAsksAndTheReadoutTellsTheTimeLeft) {
    Recorder r;
    SmallDisk disk(r.folder.path(), "4m");
    if (!disk.mounted()) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    constexpr double kBytesPerSecond = 176400;  // 44100 Hz stereo, the window's default
    const double expected =
        static_cast<double>(QStorageInfo(r.folder.path()).bytesAvailable()) / kBytesPerSecond;
    const QString asks = QStringLiteral("Há espaço em disco para apenas");

    // No: nothing starts.
    r.dialogs.answers = {platform::Answer::No};
    r.click();
    ASSERT_EQ(r.dialogs.shown.size(), 1u);
    const QString question = r.dialogs.shown[0].text;
    EXPECT_TRUE(question.endsWith(QStringLiteral(" de gravação. Gravar mesmo assim?")))
        << question.toStdString();
    const long long told = secondsIn(question, asks);
    EXPECT_GE(told, 0) << question.toStdString();
    EXPECT_LE(std::abs(static_cast<double>(told) - expected), 1.0)
        << question.toStdString() << " for " << expected;
    EXPECT_TRUE(r.stopped());
    EXPECT_TRUE(r.files().isEmpty());
    EXPECT_FALSE(r.window.cmdSave()->isEnabled());

    // Yes: the take runs, and the readout says for how long it still can.
    r.dialogs.answers = {platform::Answer::Yes};
    r.click();
    ASSERT_TRUE(r.window.captureEngine().isRecording());
    auto* panel = r.window.findChild<QWidget*>(QStringLiteral("Shape6"));
    ASSERT_NE(panel, nullptr);
    const QString free = QStringLiteral("Espaço livre para");
    const long long atStart = secondsIn(panel->toolTip(), free);
    EXPECT_GT(atStart, 0) << panel->toolTip().toStdString();
    EXPECT_EQ(panel->accessibleDescription(), panel->toolTip());
    r.produceBuffers(20);  // four seconds
    r.window.Timer2_Timer();
    const long long later = secondsIn(panel->toolTip(), free);
    EXPECT_GE(atStart - later, 3) << panel->toolTip().toStdString();
    EXPECT_LE(atStart - later, 5) << panel->toolTip().toStdString();
    EXPECT_EQ(r.window.LED1(0)->toolTip(), panel->toolTip());

    // Until the disk is full, as with any full disk.
    for (int i = 0; i < 400 && r.window.captureEngine().isRecording(); ++i) {
        r.produceBuffers(1);
    }
    EXPECT_TRUE(r.stopped());
    ASSERT_EQ(r.dialogs.messages().size(), 1);
    EXPECT_TRUE(r.dialogs.messages()[0].contains(platform::files::systemReason(ENOSPC)))
        << r.dialogs.messages()[0].toStdString();
    EXPECT_TRUE(panel->toolTip().isEmpty()) << "the time left is told only during a take";
    const auto take = readTake(r.window.takeFileName);
    EXPECT_EQ(take.u32(42), take.dataLength());
    EXPECT_GT(take.dataLength(), 3'000'000u);

    // The full take deleted at the next press, then No to the room question: no take is left, so
    // there is nothing to save and nothing to ask about at the press after.
    r.dialogs.shown.clear();
    r.dialogs.answers = {platform::Answer::Yes, platform::Answer::No};
    r.click();
    ASSERT_EQ(r.dialogs.shown.size(), 2u);
    EXPECT_TRUE(r.dialogs.shown[1].text.startsWith(asks)) << r.dialogs.shown[1].text.toStdString();
    EXPECT_TRUE(r.stopped());
    EXPECT_TRUE(r.files().isEmpty());
    EXPECT_FALSE(r.window.cmdSave()->isEnabled()) << "Save offers a take that was deleted";
    r.dialogs.shown.clear();
    r.dialogs.answers = {platform::Answer::No};
    r.click();
    ASSERT_EQ(r.dialogs.shown.size(), 1u);
    EXPECT_TRUE(r.dialogs.shown[0].text.startsWith(asks)) << "asked about a deleted take first";
}

// A network mount that stopped answering: the question about its room hangs until the test lets it
// go. Asked on the window's thread, it would freeze the window; there it only counts and returns.
struct HangingDisk {
    std::mutex mutex;
    std::condition_variable letGo;
    bool answering = false;
    int asked = 0;
    int askedOnWindowThread = 0;

    std::optional<std::uint64_t> freeBytes() {
        std::unique_lock lock(mutex);
        if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
            ++askedOnWindowThread;
            return std::nullopt;
        }
        ++asked;
        letGo.wait(lock, [this] { return answering; });
        return std::uint64_t{1} << 40;
    }
    void answer() {
        const std::lock_guard lock(mutex);
        answering = true;
        letGo.notify_all();
    }
    int questions() {
        const std::lock_guard lock(mutex);
        return asked;
    }
};

TEST(DiskRoom, AFolderThatDoesNotAnswerFreezesNothing) {
    auto disk = std::make_shared<HangingDisk>();
    Recorder r({}, basSoundRec_2::kLargestRiffSize, platform::wavein::Pacing::Manual,
               [disk](const QString&) { return disk->freeBytes(); });
    struct LetGo {
        HangingDisk& disk;
        ~LetGo() { disk.answer(); }
    } atTheEnd{*disk};
    auto* panel = r.window.findChild<QWidget*>(QStringLiteral("Shape6"));
    ASSERT_NE(panel, nullptr);

    // The press waits a moment at most for the room: nothing is asked, and the take runs.
    r.click();
    ASSERT_TRUE(r.window.captureEngine().isRecording());
    EXPECT_TRUE(r.dialogs.shown.empty());
    // Ten seconds of the readout while the question hangs: no other is asked beside it.
    for (int tick = 0; tick < 100; ++tick) {
        r.now += std::chrono::milliseconds(100);
        r.window.Timer2_Timer();
    }
    EXPECT_EQ(r.readout(), QStringLiteral("0 00 10"));
    EXPECT_EQ(disk->questions(), 1);
    EXPECT_FALSE(panel->toolTip().contains(QStringLiteral("Espaço livre")));

    // The file system answers: the readout tells the room, and asks again only every few seconds.
    disk->answer();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            r.window.Timer2_Timer();
            return panel->toolTip().startsWith(QStringLiteral("Espaço livre para "));
        },
        20000));
    const int asked = disk->questions();
    r.now += std::chrono::seconds(1);
    r.window.Timer2_Timer();
    EXPECT_EQ(disk->questions(), asked);
    r.now += std::chrono::seconds(5);
    r.window.Timer2_Timer();
    EXPECT_TRUE(QTest::qWaitFor([&] { return disk->questions() == asked + 1; }, 20000));
    r.click();
    EXPECT_TRUE(r.stopped());
    EXPECT_EQ(disk->askedOnWindowThread, 0);
}
