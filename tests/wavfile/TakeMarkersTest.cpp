// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The marker file beside a take: what survives damage, tears and moves, and which markers a save
// keeps.

#include "recorder/wavfile/TakeMarkers.h"

#include "Readers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

using basSoundRec_2::addTakeMarker;
using basSoundRec_2::readTakeMarkers;
using basSoundRec_2::removeTakeMarkers;
using basSoundRec_2::replaceTakeMarkers;
using basSoundRec_2::takeMarkersPath;
using Frames = std::vector<std::uint64_t>;

class TakeMarkersTest : public ::testing::Test {
protected:
    QString take(const QString& name = QStringLiteral("03052024010708PM.WAV")) const {
        return dir_.filePath(name);
    }
    static void write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    // The line the program writes for `frame`, taken from a file it wrote.
    QByteArray lineOf(std::uint64_t frame) const {
        const QString scratch = take(QStringLiteral("scratch.WAV"));
        removeTakeMarkers(scratch);
        EXPECT_EQ(addTakeMarker(scratch, frame), 0);
        QByteArray line = testsupport::readFile(takeMarkersPath(scratch));
        removeTakeMarkers(scratch);
        EXPECT_TRUE(line.endsWith('\n'));
        return line;
    }
    QTemporaryDir dir_;
};

// Each line checks itself: whatever happened to one line, the others stay.
TEST_F(TakeMarkersTest, DamagedLinesAreDroppedAlone) {
    const QByteArray a = lineOf(1000);
    const QByteArray b = lineOf(2000);
    const QByteArray c = lineOf(std::numeric_limits<std::uint64_t>::max());
    QByteArray digitChanged = b;
    digitChanged[0] = '3';  // "3000" with the sum of "2000"
    QByteArray sumChanged = b;
    sumChanged[sumChanged.size() - 2] = sumChanged.at(sumChanged.size() - 2) == '0' ? '1' : '0';
    const struct {
        const char* what;
        QByteArray file;
        Frames frames;
        int damaged;
    } rows[] = {
        {"empty file", {}, {}, 0},
        {"unsorted with duplicates",
         c + a + b + a,
         {1000, 2000, std::numeric_limits<std::uint64_t>::max()},
         0},
        {"a digit changed", a + digitChanged + c, {1000, std::numeric_limits<std::uint64_t>::max()}, 1},
        {"the sum changed", a + sumChanged, {1000}, 1},
        {"the last line cut short", a + b.left(b.size() - 4), {1000}, 1},
        {"the last line without its end", a + b.chopped(1), {1000, 2000}, 0},
        {"two lines run together", a.chopped(1) + b + c, {std::numeric_limits<std::uint64_t>::max()}, 1},
        {"garbage between", a + QByteArray("\x00\xff garbage \x01", 13) + "\n" + b, {1000, 2000}, 1},
        {"blank lines", "\n" + a + "\n\n" + b, {1000, 2000}, 0},
        {"a leading zero", "0" + a + b, {2000}, 1},
        {"a carriage return", a.chopped(1) + "\r\n" + b, {2000}, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        write(takeMarkersPath(take()), row.file);
        const auto markers = readTakeMarkers(take());
        EXPECT_EQ(markers.frames, row.frames);
        EXPECT_EQ(markers.damagedLines, row.damaged);
        EXPECT_EQ(markers.error, 0);
    }
}

// The file format is the CRC-32 everyone computes: a marker file written by another tool (here
// Python's zlib) reads back, and ours has the very same bytes.
TEST_F(TakeMarkersTest, LinesCarryTheStandardCrc32OfTheirDigits) {
    const testsupport::ToolRun python = testsupport::run(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import zlib\nfor f in (0, 441000, 2**32, 2**64 - 1):\n"
                        "    d = str(f).encode()\n    print('%s %08x' % (d.decode(), zlib.crc32(d)))")});
    ASSERT_EQ(python.exitCode, 0) << python.errText().toStdString();
    write(takeMarkersPath(take()), python.out);
    const Frames frames{0, 441000, 1ull << 32, std::numeric_limits<std::uint64_t>::max()};
    EXPECT_EQ(readTakeMarkers(take()).frames, frames);

    const QString ours = take(QStringLiteral("ours.WAV"));
    for (std::uint64_t frame : frames) {
        ASSERT_EQ(addTakeMarker(ours, frame), 0);
    }
    EXPECT_EQ(testsupport::readFile(takeMarkersPath(ours)), python.out);
}

// A crash in the middle of a line must not take the next marker with it.
TEST_F(TakeMarkersTest, AMarkerAfterATornLineStartsALineOfItsOwn) {
    const QByteArray first = lineOf(1000);
    write(takeMarkersPath(take()), first + lineOf(2000).left(3));
    ASSERT_EQ(addTakeMarker(take(), 3000), 0);
    const auto markers = readTakeMarkers(take());
    EXPECT_EQ(markers.frames, (Frames{1000, 3000}));
    EXPECT_EQ(markers.damagedLines, 1);
}

TEST_F(TakeMarkersTest, ReplacingWritesTheWholeSetAndLeavesNothingBeside) {
    ASSERT_EQ(addTakeMarker(take(), 7), 0);
    // What an interrupted replacement left.
    write(takeMarkersPath(take()) + QStringLiteral(".new"), "junk");
    ASSERT_EQ(replaceTakeMarkers(take(), {900, 300, 900, 600}), 0);
    EXPECT_EQ(readTakeMarkers(take()).frames, (Frames{300, 600, 900}));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files),
              QStringList{QStringLiteral("03052024010708PM.WAV.markers")});

    ASSERT_EQ(replaceTakeMarkers(take(), {}), 0);
    EXPECT_TRUE(QDir(dir_.path()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(readTakeMarkers(take()).frames, Frames{});
}

TEST_F(TakeMarkersTest, MarkersGoWithTheTake) {
    ASSERT_EQ(addTakeMarker(take(), 5), 0);
    ASSERT_EQ(removeTakeMarkers(take()), 0);
    EXPECT_FALSE(QFile::exists(takeMarkersPath(take())));
    EXPECT_EQ(removeTakeMarkers(take()), 0);
}

TEST(SavedMarkers, OnlyThoseInsideTheHandlesCountedAndNumberedFromTheFirstKeptFrame) {
    const Frames take{10, 20, 30};
    const struct {
        std::uint64_t begin, end;
        std::vector<platform::encoding::Marker> saved;
    } rows[] = {
        {0, 100, {{10, "Marca 1"}, {20, "Marca 2"}, {30, "Marca 3"}}},
        {15, 31, {{5, "Marca 1"}, {15, "Marca 2"}}},  // the saved file numbers its own
        {10, 11, {{0, "Marca 1"}}},
        {0, 10, {}},  // the end handle's frame is not kept
        {31, 1000, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.begin << ".." << row.end);
        EXPECT_EQ(basSoundRec_2::savedMarkers(take, row.begin, row.end), row.saved);
    }
}

}  // namespace
