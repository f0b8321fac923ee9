// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The stream TagLib writes through: growing and shrinking a file in its middle must keep every byte
// after the change, across the blocks it moves them in, and a write it cannot make must be told.

#include "platform/encoding/TagStream.h"

#include "Readers.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

using platform::encoding::detail::TagStream;

struct Edit {
    const char* what;
    unsigned long start;
    unsigned long replace;
    std::size_t inserted;
    bool removal = false;
    bool fromEnd = false;  // `start` counts back from the end
};

TEST(TagStream, EditsInTheMiddleKeepEveryByteAfterThem) {
    // Longer than the blocks the stream moves at a time, and not a multiple of them.
    std::string model(2'500'003, '\0');
    for (std::size_t i = 0; i < model.size(); ++i) {
        model[i] = static_cast<char>((i * 7919) % 251);
    }
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("stream")));
    {
        QFile file(QString::fromLocal8Bit(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(model.data(), static_cast<qint64>(model.size()));
    }
    const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    TagStream stream(fd, path, true);

    const Edit edits[] = {
        {"grow at the front", 4, 0, 70'000},
        {"grow while replacing", 1000, 300, 5000},
        {"shrink while replacing", 10, 4000, 17},
        {"replace in place", 50, 64, 64},
        {"insert at the end", 0, 0, 9, false, true},
        {"remove from the middle", 123'456, 1'100'000, 0, true},
        {"replace past the end", 10, 500, 3, false, true},
    };
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.what);
        const std::string bytes(edit.inserted, static_cast<char>(0xA5));
        const unsigned long start = edit.fromEnd ? model.size() - edit.start : edit.start;
        if (edit.removal) {
            stream.removeBlock(start, edit.replace);
            model.erase(start, edit.replace);
        } else {
            stream.insert(TagLib::ByteVector(bytes.data(), static_cast<unsigned int>(bytes.size())), start,
                          edit.replace);
            model.replace(start, edit.replace, bytes);
        }
        ASSERT_EQ(stream.error(), 0);
        ASSERT_EQ(stream.length(), static_cast<long>(model.size()));
        stream.seek(0);
        const TagLib::ByteVector all = stream.readBlock(static_cast<unsigned long>(model.size() + 100));
        ASSERT_EQ(std::string(all.data(), all.size()), model);
    }
    ::close(fd);
}

}  // namespace
