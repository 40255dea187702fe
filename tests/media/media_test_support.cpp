#include "media_test_support.h"

#include "test_support.h"

#include <atomic>
#include <chrono>

namespace media_test {

ScratchFolder::ScratchFolder() {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path = base / ("vexlo-media-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(path)) break;
    }
    previous = std::filesystem::current_path();
    std::filesystem::current_path(path);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous, ignored);
    std::filesystem::remove_all(path, ignored);
}

std::string ReadFile(const std::string& path) {
    return ReadFileBytes(path);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    WriteFileBytes(path, bytes);
}

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::string Pattern(size_t n, uint32_t seed) {
    std::string bytes(n, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = char(state >> 16);
    }
    return bytes;
}

void AppendU16(std::string& out, uint16_t value) {
    out += char(value & 0xFF);
    out += char(value >> 8);
}

void AppendU32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

uint16_t U16At(const std::string& bytes, size_t offset) {
    return uint16_t(uint8_t(bytes[offset]) | (uint8_t(bytes[offset + 1]) << 8));
}

uint32_t U32At(const std::string& bytes, size_t offset) {
    return uint32_t(U16At(bytes, offset)) | (uint32_t(U16At(bytes, offset + 2)) << 16);
}

std::string BuildArchive(const ArchiveLayout& layout) {
    std::string out = layout.lead;
    std::vector<uint32_t> offsets;
    for (const Member& m : layout.members) {
        offsets.push_back(uint32_t(out.size()));
        AppendU32(out, 0x04034B50);
        AppendU16(out, 10);  // version needed
        AppendU16(out, 0);   // flags
        AppendU16(out, 0);   // method
        AppendU32(out, 0);   // time, date
        AppendU32(out, 0);   // crc
        AppendU32(out, uint32_t(m.data.size()));
        AppendU32(out, uint32_t(m.data.size()));
        AppendU16(out, uint16_t(m.name.size()));
        AppendU16(out, 0);  // extra
        out += m.name;
        out += m.data;
    }
    uint32_t directoryOffset = uint32_t(out.size());
    for (size_t i = 0; i < layout.members.size(); ++i) {
        const Member& m = layout.members[i];
        AppendU32(out, 0x02014B50);
        AppendU16(out, 20);  // made by
        AppendU16(out, 10);  // needed
        AppendU16(out, 0);   // flags
        AppendU16(out, 0);   // method
        AppendU32(out, 0);   // time, date
        AppendU32(out, 0);   // crc
        AppendU32(out, uint32_t(m.data.size()));
        AppendU32(out, uint32_t(m.data.size()));
        AppendU16(out, uint16_t(m.name.size()));
        AppendU16(out, 0);  // extra
        AppendU16(out, 0);  // comment
        AppendU16(out, 0);  // disk
        AppendU16(out, 0);  // internal
        AppendU32(out, 0);  // external
        AppendU32(out, offsets[i]);
        out += m.name;
    }
    uint32_t directorySize = uint32_t(out.size()) - directoryOffset;
    uint16_t count =
        uint16_t(layout.totalEntries < 0 ? layout.members.size() : layout.totalEntries);
    AppendU32(out, layout.endSignature);
    AppendU16(out, 0);
    AppendU16(out, 0);
    AppendU16(out, count);
    AppendU16(out, count);
    AppendU32(out, directorySize);
    AppendU32(out, directoryOffset);
    AppendU16(out, uint16_t(layout.comment.size()));
    out += layout.comment;
    return out;
}

std::string EmptyEndRecord(uint32_t signature, uint32_t directoryOffset) {
    std::string out;
    AppendU32(out, signature);
    AppendU32(out, 0);  // disk numbers
    AppendU32(out, 0);  // counts
    AppendU32(out, 0);  // directory size
    AppendU32(out, directoryOffset);
    AppendU16(out, 0);
    return out;
}

}  // namespace media_test
