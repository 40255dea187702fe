// The MP3 input as it comes from taggers: the fuzz input wrapped in ID3v2
// tags in front and APE, Lyrics3 and ID3v1 tags behind, then converted.
//
// Input: a flags byte, the front tag's body length, a version/size byte, the
// tag body, then the audio. Flags 0 converts the rest as it is, so whole
// tagged files seed the corpus. With well-formed front tags and nothing
// behind, the WAV must be the one the bare audio gives.
#include <cstdint>
#include <string>

#include "fuzz/convert_input.h"
#include "fuzz/fuzz_support.h"

namespace {

enum Flag : uint8_t {
    FrontTag = 1,
    SecondFrontTag = 2,
    Footer = 4,
    ApeBehind = 8,
    LyricsBehind = 16,
    Id3v1Behind = 32,
    SizesOff = 64,
    CompareBare = 128,
};

std::string Syncsafe(uint32_t n) {
    std::string s;
    for (int shift = 21; shift >= 0; shift -= 7)
        s += char((n >> shift) & 0x7F);
    return s;
}

std::string Le32(uint32_t n) {
    std::string s;
    for (int i = 0; i < 4; ++i)
        s += char(n >> (8 * i));
    return s;
}

std::string Id3v2(uint8_t version, bool footer, const std::string& body, int32_t sizeError) {
    std::string header = "ID3";
    header += char(version);
    header += char(0);
    header += char(footer ? 0x10 : 0);
    header += Syncsafe(uint32_t(int32_t(body.size()) + sizeError));
    std::string tag = header + body;
    if (footer) tag += "3DI" + header.substr(3);
    return tag;
}

// APE tag v2: header, one item holding the body, footer; the size counts the
// items and the footer.
std::string Ape(const std::string& body, int32_t sizeError) {
    std::string item = Le32(uint32_t(body.size())) + Le32(0) + "Comment" + '\0' + body;
    uint32_t size = uint32_t(int32_t(item.size() + 32) + sizeError);
    std::string fixed = "APETAGEX" + Le32(2000) + Le32(size) + Le32(1);
    return fixed + Le32(0xA0000000u) + std::string(8, '\0') + item + fixed + Le32(0x80000000u) +
           std::string(8, '\0');
}

std::string Lyrics3(const std::string& body, int32_t sizeError) {
    std::string block =
        "LYRICSBEGININD0000211LYR" + std::to_string(100000 + body.size()).substr(1) + body;
    std::string size =
        std::to_string(1000000 + uint32_t(int32_t(block.size()) + sizeError) % 1000000);
    return block + size.substr(1) + "LYRICS200";
}

std::string Id3v1(const std::string& body) {
    std::string tag = "TAG" + body.substr(0, 124);
    tag.resize(128, ' ');
    return tag;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzz_support::ScratchPath("mp3");
    if (size < 3) return 0;
    const uint8_t flags = data[0];
    size_t bodyLength = data[1];
    const uint8_t shape = data[2];
    data += 3;
    size -= 3;
    if (bodyLength > size) bodyLength = size;
    std::string body(reinterpret_cast<const char*>(data), flags ? bodyLength : 0);
    std::string audio(reinterpret_cast<const char*>(data) + body.size(), size - body.size());
    // A size error of -8 to +7 bytes, when asked for.
    int32_t sizeError = (flags & SizesOff) ? int32_t(shape >> 4) - 8 : 0;
    uint8_t version = uint8_t(2 + (shape & 3) % 3);

    std::string front;
    if (flags & FrontTag) front += Id3v2(version, flags & Footer, body, sizeError);
    if (flags & SecondFrontTag) front += Id3v2(4, true, body.substr(body.size() / 2), 0);
    std::string behind;
    if (flags & ApeBehind) behind += Ape(body, sizeError);
    if (flags & LyricsBehind) behind += Lyrics3(body, sizeError);
    if (flags & Id3v1Behind) behind += Id3v1(body);

    std::string file = front + audio + behind;
    uint32_t channelChoice = uint32_t(size % 5);
    fuzz_support::WriteBytes(path, reinterpret_cast<const uint8_t*>(file.data()), file.size());
    std::string wav = fuzz_support::ConvertInput(path, channelChoice);

    bool wellFormedFront = !front.empty() && behind.empty() && !(flags & SizesOff);
    if ((flags & CompareBare) && wellFormedFront) {
        fuzz_support::WriteBytes(path, reinterpret_cast<const uint8_t*>(audio.data()),
                                 audio.size());
        FUZZ_CHECK(fuzz_support::ConvertInput(path, channelChoice) == wav);
    }
    std::remove(path.c_str());
    return 0;
}
