// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/encoding/TagStream.h"

#include "platform/files/FileTools.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace platform::encoding::detail {

namespace {
// Tags grow at the front of a file: everything after them moves, this much at a time.
constexpr long kMoveBlock = 1 << 20;
}  // namespace

TagStream::TagStream(int fd, QByteArray name, bool writable)
    : fd_(fd), name_(std::move(name)), writable_(writable) {}

void TagStream::fail(int error) {
    if (error_ == 0) {
        error_ = error != 0 ? error : EIO;
    }
}

bool TagStream::canWrite() {
    if (!writable_) {
        fail(EBADF);
    }
    return error_ == 0;
}

bool TagStream::readAt(char* into, long count, long offset) {
    const int error =
        platform::files::readAllAt(fd_, reinterpret_cast<std::byte*>(into), static_cast<std::size_t>(count),
                                   static_cast<std::uint64_t>(offset));
    if (error != 0) {
        fail(error);
    }
    return error == 0;
}

bool TagStream::writeAt(const char* from, long count, long offset) {
    if (!canWrite()) {
        return false;
    }
    const int error =
        platform::files::writeAllAt(fd_, reinterpret_cast<const std::byte*>(from),
                                    static_cast<std::size_t>(count), static_cast<std::uint64_t>(offset));
    if (error != 0) {
        fail(error);
    }
    return error == 0;
}

TagLib::ByteVector TagStream::readBlock(unsigned long length) {
    const long available = std::max(0L, this->length() - position_);
    const long count = std::min(static_cast<long>(length), available);
    TagLib::ByteVector block(static_cast<unsigned int>(count), '\0');
    if (count > 0 && readAt(block.data(), count, position_)) {
        position_ += count;
        return block;
    }
    return {};
}

void TagStream::writeBlock(const TagLib::ByteVector& data) {
    if (writeAt(data.data(), static_cast<long>(data.size()), position_)) {
        position_ += static_cast<long>(data.size());
    }
}

bool TagStream::moveTail(long from, long to) {
    const long end = length();
    if (error_ != 0 || from == to) {
        return error_ == 0;
    }
    const long moving = std::max(0L, end - from);
    std::vector<char> block(static_cast<std::size_t>(std::min(kMoveBlock, std::max(moving, 1L))));
    if (to > from) {
        // Growing: from the end backwards, so nothing is overwritten before it was read.
        for (long at = end; at > from;) {
            const long count = std::min(static_cast<long>(block.size()), at - from);
            at -= count;
            if (!readAt(block.data(), count, at) || !writeAt(block.data(), count, at + (to - from))) {
                return false;
            }
        }
        return true;
    }
    for (long at = from; at < end;) {
        const long count = std::min(static_cast<long>(block.size()), end - at);
        if (!readAt(block.data(), count, at) || !writeAt(block.data(), count, at - (from - to))) {
            return false;
        }
        at += count;
    }
    if (to + moving < end) {
        truncate(to + moving);
    }
    return error_ == 0;
}

void TagStream::insert(const TagLib::ByteVector& data, unsigned long start, unsigned long replace) {
    const long size = static_cast<long>(data.size());
    const long at = static_cast<long>(start);
    const long replaced = static_cast<long>(replace);
    if (!canWrite() || !moveTail(at + replaced, at + size)) {
        return;
    }
    if (writeAt(data.data(), size, at)) {
        position_ = at + size;
    }
}

void TagStream::removeBlock(unsigned long start, unsigned long length) {
    if (canWrite()) {
        moveTail(static_cast<long>(start + length), static_cast<long>(start));
    }
}

void TagStream::seek(long offset, Position p) {
    const long base = p == Current ? position_ : p == End ? length() : 0;
    position_ = std::max(0L, base + offset);
}

long TagStream::length() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        fail(errno);
        return 0;
    }
    return static_cast<long>(st.st_size);
}

void TagStream::truncate(long length) {
    if (canWrite() && ::ftruncate(fd_, length) != 0) {
        fail(errno);
    }
}

}  // namespace platform::encoding::detail
