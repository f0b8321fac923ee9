// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A WAV's cue points and their names, appended as chunks of our own. libsndfile 1.2 writes a cue
// chunk (SFC_SET_CUE) but not the names: it has no writer for "LIST"/"adtl"/"labl" (it reads them),
// and it puts its cue chunk before the audio, in the header it writes at the start. So the chunks go
// after everything the file holds, as players expect them, and the RIFF size is brought up to date.
#include "platform/encoding/Tagging.h"

#include "platform/files/FileTools.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::encoding {

namespace {

using platform::files::FileDescriptor;
using platform::files::readAllAt;
using platform::files::writeAllAt;

std::uint32_t le32(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void put32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

void putChunk(std::string& out, const char* id, const std::string& body) {
    out.append(id, 4);
    put32(out, static_cast<std::uint32_t>(body.size()));
    out += body;
    if (body.size() % 2 != 0) {
        out += '\0';
    }
}

struct Chunk {
    std::array<char, 4> id{};
    std::array<char, 4> listType{};  // a LIST's kind
    std::uint64_t offset = 0;        // of its header
    std::uint32_t size = 0;
    std::uint64_t end() const { return offset + 8 + size; }
    bool is(const char* name) const { return std::memcmp(id.data(), name, 4) == 0; }
    bool ours() const { return is("cue ") || (is("LIST") && std::memcmp(listType.data(), "adtl", 4) == 0); }
};

TagResult failed(int error, QString reason = {}) {
    TagResult result;
    result.error = error;
    result.detail = std::move(reason);
    return result;
}

TagResult notAWav() {
    return failed(0, QCoreApplication::translate("Tagging", "o arquivo não é um WAV completo"));
}

}  // namespace

TagResult writeWavCues(const QString& path, const std::vector<Marker>& markers) {
    FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC));
    if (!fd.isOpen()) {
        return failed(errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return failed(errno);
    }
    const auto fileSize = static_cast<std::uint64_t>(st.st_size);
    std::array<unsigned char, 12> head{};
    if (fileSize < head.size()) {
        return notAWav();
    }
    if (const int error = readAllAt(fd.get(), reinterpret_cast<std::byte*>(head.data()), head.size(), 0)) {
        return failed(error);
    }
    if (std::memcmp(head.data(), "RIFF", 4) != 0 || std::memcmp(head.data() + 8, "WAVE", 4) != 0) {
        return notAWav();
    }

    // The chunks as they lie, by the file's length: the RIFF size is rewritten anyway.
    std::vector<Chunk> chunks;
    for (std::uint64_t at = 12; at + 8 <= fileSize;) {
        std::array<unsigned char, 12> header{};
        const std::size_t want = at + 12 <= fileSize ? 12 : 8;
        if (const int error = readAllAt(fd.get(), reinterpret_cast<std::byte*>(header.data()), want, at)) {
            return failed(error);
        }
        Chunk chunk;
        std::memcpy(chunk.id.data(), header.data(), 4);
        std::memcpy(chunk.listType.data(), header.data() + 8, 4);
        chunk.offset = at;
        chunk.size = le32(header.data() + 4);
        if (chunk.end() > fileSize) {
            return notAWav();
        }
        chunks.push_back(chunk);
        at = chunk.end() + chunk.size % 2;
    }
    const auto data = std::find_if(chunks.begin(), chunks.end(), [](const Chunk& c) { return c.is("data"); });
    const auto format =
        std::find_if(chunks.begin(), chunks.end(), [](const Chunk& c) { return c.is("fmt "); });
    if (data == chunks.end() || format == chunks.end() || format->size < 16) {
        return notAWav();
    }
    std::array<unsigned char, 2> align{};
    if (const int error =
            readAllAt(fd.get(), reinterpret_cast<std::byte*>(align.data()), 2, format->offset + 8 + 12)) {
        return failed(error);
    }
    const unsigned blockAlign = align[0] | align[1] << 8;
    if (blockAlign == 0) {
        return notAWav();
    }

    // Cue points of an earlier call are the run of our chunks at the end, after the audio; any
    // other cue chunk would leave the file with two lists of cue points.
    auto kept = chunks.end();
    while (kept != chunks.begin() && kept - 1 > data && (kept - 1)->ours()) {
        --kept;
    }
    if (std::any_of(chunks.begin(), kept, [](const Chunk& c) { return c.is("cue "); })) {
        return failed(0,
                      QCoreApplication::translate("Tagging", "o arquivo já tem pontos de marcação no meio"));
    }
    const Chunk& last = *(kept - 1);

    const std::uint64_t dataFrames = data->size / blockAlign;
    std::vector<Marker> sorted = markers;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Marker& a, const Marker& b) { return a.frame < b.frame; });
    if (!sorted.empty() && sorted.back().frame > dataFrames) {
        return failed(0,
                      QCoreApplication::translate("Tagging", "as marcas não estão dentro do áudio gravado"));
    }

    std::string tail;
    if (last.size % 2 != 0) {
        tail += '\0';  // the pad byte the last chunk may lack
    }
    if (!sorted.empty()) {
        std::string cues;
        put32(cues, static_cast<std::uint32_t>(sorted.size()));
        std::string labels("adtl", 4);
        for (std::size_t i = 0; i < sorted.size(); ++i) {
            const auto id = static_cast<std::uint32_t>(i + 1);
            const auto frame = static_cast<std::uint32_t>(sorted[i].frame);
            put32(cues, id);
            put32(cues, frame);  // its place in the play order: the data chunk is played alone
            cues.append("data", 4);
            put32(cues, 0);  // chunk start
            put32(cues, 0);  // block start
            put32(cues, frame);
            std::string label;
            put32(label, id);
            label += sorted[i].name.toUtf8().toStdString();
            label += '\0';
            putChunk(labels, "labl", label);
        }
        putChunk(tail, "cue ", cues);
        putChunk(tail, "LIST", labels);
    }
    const std::uint64_t newSize = last.end() + tail.size();
    if (newSize - 8 > kLargestRiffSize) {
        return failed(EFBIG);
    }
    if (const int error =
            writeAllAt(fd.get(), reinterpret_cast<const std::byte*>(tail.data()), tail.size(), last.end())) {
        return failed(error);
    }
    if (newSize < fileSize && ::ftruncate(fd.get(), static_cast<off_t>(newSize)) != 0) {
        return failed(errno);
    }
    std::string riffSize;
    put32(riffSize, static_cast<std::uint32_t>(newSize - 8));
    if (const int error = writeAllAt(fd.get(), reinterpret_cast<const std::byte*>(riffSize.data()), 4, 4)) {
        return failed(error);
    }
    if (const int error = fd.close()) {
        return failed(error);
    }
    return {};
}

}  // namespace platform::encoding
