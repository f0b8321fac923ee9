// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// TagLib reaches the file through this stream, so that a failed write keeps its errno (TagLib's own
// file stream drops it, and a full disk would leave a broken file that looks tagged). Internal to the
// tagging and its tests.

#include <QByteArray>

#include <taglib/tiostream.h>

namespace platform::encoding::detail {

class TagStream : public TagLib::IOStream {
public:
    // Works on `fd`, which stays the caller's; writes are refused unless `writable`.
    TagStream(int fd, QByteArray name, bool writable);

    // The first errno met (writes stop there), or 0.
    int error() const { return error_; }

    TagLib::FileName name() const override { return name_.constData(); }
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector& data) override;
    void insert(const TagLib::ByteVector& data, unsigned long start = 0, unsigned long replace = 0) override;
    void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
    bool readOnly() const override { return !writable_; }
    bool isOpen() const override { return fd_ >= 0; }
    void seek(long offset, Position p = Beginning) override;
    long tell() const override { return position_; }
    long length() override;
    void truncate(long length) override;

private:
    bool canWrite();
    bool readAt(char* into, long count, long offset);
    bool writeAt(const char* from, long count, long offset);
    // Moves the bytes from `from` to the end of the file so that they start at `to`.
    bool moveTail(long from, long to);
    void fail(int error);

    int fd_;
    QByteArray name_;
    bool writable_;
    long position_ = 0;
    int error_ = 0;
};

}  // namespace platform::encoding::detail
