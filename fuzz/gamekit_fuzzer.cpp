// Arbitrary bytes as a game's own file (a damaged or tampered executable),
// read through the game kit: every member described, found by its name and
// read. Whatever is read must be the file's own bytes at the member's offset,
// exactly its size; an extracted member must hold the same bytes.
#include <cstdint>
#include <cstring>
#include <string>

#include "disc/gamekit/game_kit.h"
#include "fuzz/fuzz_support.h"

namespace {

bool IsDescribedFailure(GameKitResult result) {
    return result == GameKitDamaged || result == GameKitReadFailed;
}

std::string ReadMemberInChunks(GameKitArchive* archive, const GameKitMember& member) {
    std::string bytes;
    char chunk[1000];
    uint32_t got = 0;
    while (bytes.size() < member.size) {
        FUZZ_CHECK(GameKitReadMember(archive, &member, uint32_t(bytes.size()), chunk, sizeof chunk,
                                     &got) == GameKitOk);
        FUZZ_CHECK(got > 0 && got <= sizeof chunk);
        bytes.append(chunk, got);
    }
    FUZZ_CHECK(GameKitReadMember(archive, &member, member.size, chunk, 1, &got) == GameKitOk);
    FUZZ_CHECK(got == 0);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz_support::ScratchPath("gamekit");
    static const std::string extracted = fuzz_support::ScratchPath("gamekit-out");
    if (!fuzz_support::WriteBytes(path, data, size)) return 0;
    const std::string file(reinterpret_cast<const char*>(data), size);

    GameKitArchive archive;
    GameKitResult opened = GameKitOpenArchive(&archive, path.c_str());
    if (opened != GameKitOk) {
        FUZZ_CHECK(GameKitMemberCount(&archive) == 0);
        return 0;
    }
    bool extractedOne = false;
    for (uint32_t i = 0; i < GameKitMemberCount(&archive); ++i) {
        GameKitMember member;
        GameKitResult described = GameKitGetMember(&archive, i, &member);
        if (described != GameKitOk) {
            FUZZ_CHECK(IsDescribedFailure(described));
            continue;
        }
        size_t nameLength = strlen(member.name);
        FUZZ_CHECK(nameLength >= 1 && nameLength <= GAME_KIT_MAX_NAME);
        FUZZ_CHECK(member.index == i);

        // A name finds its first member (letters A-Z without case).
        GameKitMember found;
        GameKitResult lookup = GameKitFindMember(&archive, member.name, &found);
        FUZZ_CHECK(lookup == GameKitOk || IsDescribedFailure(lookup));
        if (lookup == GameKitOk) FUZZ_CHECK(found.index <= i);

        if (!member.stored) continue;
        FUZZ_CHECK(uint64_t(member.dataOffset) + member.size <= size);
        std::string bytes = ReadMemberInChunks(&archive, member);
        FUZZ_CHECK(bytes == file.substr(member.dataOffset, member.size));

        if (!extractedOne && lookup == GameKitOk && found.index == i) {
            extractedOne = true;
            FUZZ_CHECK(GameKitExtractMember(&archive, member.name, extracted.c_str()) == GameKitOk);
            FUZZ_CHECK(fuzz_support::ReadBytes(extracted) == bytes);
            std::remove(extracted.c_str());
        }
    }
    GameKitCloseArchive(&archive);
    FUZZ_CHECK(GameKitMemberCount(&archive) == 0);
    return 0;
}
