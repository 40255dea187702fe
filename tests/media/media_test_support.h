// Helpers for the source-media tests: a scratch folder, whole-file access and
// a builder of archive bytes written out field by field.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace media_test {

// A fresh folder under the system's temporary folder, removed afterwards.
// While it lives it is the current folder; the old one comes back after.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    const std::filesystem::path& Path() const { return path; }
    std::string operator/(const std::string& name) const { return (path / name).string(); }

  private:
    std::filesystem::path path;
    std::filesystem::path previous;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);

// Deterministic filler bytes.
std::string Pattern(size_t n, uint32_t seed = 1);

void AppendU16(std::string& out, uint16_t value);
void AppendU32(std::string& out, uint32_t value);
uint16_t U16At(const std::string& bytes, size_t offset);
uint32_t U32At(const std::string& bytes, size_t offset);

constexpr uint32_t StandardEnd = 0x06054B50;
constexpr uint32_t OwnEnd = 0x06055A51;

struct Member {
    std::string name;
    std::string data;
};

// A stored archive laid out as ZIP tools lay it out: local headers with data,
// the central directory, the end record, then an optional comment. lead bytes
// come first (a program the archive is appended to); offsets count from the
// start of the whole file.
struct ArchiveLayout {
    ArchiveLayout(std::vector<Member> members_ = {}) : members(std::move(members_)) {}
    std::vector<Member> members;
    std::string lead;
    uint32_t endSignature = StandardEnd;
    std::string comment;
    int64_t totalEntries = -1;  // written count; -1: the true count
};
std::string BuildArchive(const ArchiveLayout& layout);

// Just an end record with zero counts and the given directory offset.
std::string EmptyEndRecord(uint32_t signature, uint32_t directoryOffset = 0);

}  // namespace media_test
