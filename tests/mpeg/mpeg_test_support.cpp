#include "mpeg_test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace mpeg_test {

std::string DataFile(const std::string& name) {
    return std::string(VEXLO_MP3_DATA_DIR) + "/" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

bool Exists(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f) std::fclose(f);
    return f != nullptr;
}

std::string ScratchDir() {
    static std::string dir;
    if (dir.empty()) {
        dir = testing::TempDir() + "vexlo-mpeg-" + std::to_string(getpid());
        std::error_code error;
        std::filesystem::create_directories(dir, error);
        // Whatever the tests leave there goes with the run.
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        });
    }
    return dir;
}

std::string ScratchPath(const std::string& name) {
    static int counter = 0;
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string test = info ? std::string(info->test_suite_name()) + "." + info->name() : "x";
    for (char& c : test) {
        if (c == '/') c = '_';
    }
    std::string path = ScratchDir() + "/" + test + "-" + std::to_string(++counter) + "-" + name;
    std::remove(path.c_str());
    return path;
}

uint16_t U16At(const std::string& bytes, size_t offset) {
    return uint16_t(uint8_t(bytes[offset]) | (uint8_t(bytes[offset + 1]) << 8));
}

uint32_t U32At(const std::string& bytes, size_t offset) {
    return U16At(bytes, offset) | (uint32_t(U16At(bytes, offset + 2)) << 16);
}

Wav ParseWav(const std::string& bytes) {
    Wav wav;
    if (bytes.size() < 46 || bytes.compare(0, 4, "RIFF") != 0 ||
        bytes.compare(8, 8, "WAVEfmt ") != 0 || bytes.compare(38, 4, "data") != 0) {
        return wav;
    }
    wav.riffLength = U32At(bytes, 4);
    wav.formatLength = U32At(bytes, 16);
    wav.format = U16At(bytes, 20);
    wav.channels = U16At(bytes, 22);
    wav.rate = U32At(bytes, 24);
    wav.byteRate = U32At(bytes, 28);
    wav.blockAlign = U16At(bytes, 32);
    wav.bitsPerSample = U16At(bytes, 34);
    wav.dataLength = U32At(bytes, 42);
    for (size_t i = 46; i + 1 < bytes.size(); i += 2)
        wav.samples.push_back(int16_t(U16At(bytes, i)));
    wav.valid = true;
    return wav;
}

namespace {
std::vector<float>* progressLog = nullptr;
void LogProgress(float fraction) {
    if (progressLog) progressLog->push_back(fraction);
}
}  // namespace

Decoded Decode(const std::string& input, uint32_t choice, float scale, const std::string& output) {
    Decoded decoded;
    std::string out = output.empty() ? ScratchPath("out.wav") : output;
    ConversionJob job;
    job.channelChoice = choice;
    job.customScale = scale > 0.0f ? 1 : 0;
    job.scale = scale > 0.0f ? scale : OutputScale;
    std::snprintf(job.outputPath, sizeof job.outputPath, "%s", out.c_str());
    job.reader = new FrameReader(input.c_str());
    job.header = new FrameHeader;
    decoded.headerRead = job.header->ReadHeader(*job.reader);
    if (!decoded.headerRead) return decoded;
    progressLog = &decoded.progress;
    decoded.result = ConvertToWav(job, LogProgress);
    progressLog = nullptr;
    decoded.stats = lastConversion;
    if (output.empty()) {
        decoded.wav = ParseWav(ReadFile(out));
        std::remove(out.c_str());
    }
    return decoded;
}

uint32_t HeaderWord(uint32_t version, uint32_t layerCode, bool protectedFrame,
                    uint32_t bitrateIndex, uint32_t samplingIndex, bool padding, uint32_t mode,
                    uint32_t modeExtension) {
    return 0xFFF00000u | (version << 19) | (layerCode << 17) | ((protectedFrame ? 0u : 1u) << 16) |
           (bitrateIndex << 12) | (samplingIndex << 10) | ((padding ? 1u : 0u) << 9) | (mode << 6) |
           (modeExtension << 4);
}

std::string HeaderBytes(uint32_t word) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; i++)
        bytes[i] = char(word >> (24 - 8 * i));
    return bytes;
}

uint32_t Mpeg25Word(uint32_t layerCode, uint32_t bitrateIndex, uint32_t samplingIndex) {
    return HeaderWord(0, layerCode, false, bitrateIndex, samplingIndex, false, 3) & ~(1u << 20);
}

std::string Frames(uint32_t word, uint32_t length, int count) {
    std::string bytes;
    for (int i = 0; i < count; i++)
        bytes += HeaderBytes(word) + std::string(length - 4, '\0');
    return bytes;
}

}  // namespace mpeg_test
