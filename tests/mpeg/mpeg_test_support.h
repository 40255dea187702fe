// Helpers for the decoder tests: scratch files, decoding a file the way the
// installer does, and reading a .wav back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "setup/mpeg/conversion.h"

namespace mpeg_test {

std::string DataFile(const std::string& name);  // one of tests/data/mp3
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// The run's scratch folder, made on first use and removed with all it holds
// when the test program ends.
std::string ScratchDir();
// A path for a scratch file in it, unique within the test run.
std::string ScratchPath(const std::string& name);

uint16_t U16At(const std::string& bytes, size_t offset);
uint32_t U32At(const std::string& bytes, size_t offset);

struct Wav {
    bool valid = false;
    uint16_t format = 0, channels = 0, blockAlign = 0, bitsPerSample = 0;
    uint32_t riffLength = 0, formatLength = 0, rate = 0, byteRate = 0, dataLength = 0;
    std::vector<int16_t> samples;
};
Wav ParseWav(const std::string& bytes);

struct Decoded {
    bool headerRead = false;  // the first header could be read
    int result = -1;          // ConvertToWav's result
    ConversionStats stats{};
    std::vector<float> progress;
    Wav wav;
};
// Runs the installer's steps on input: reader, first header, job, progress.
Decoded Decode(const std::string& input, uint32_t choice = Both, float scale = 0.0f,
               const std::string& output = "");

// A valid 4-byte Layer III header: MPEG-1 (version 1) or LSF (0).
uint32_t HeaderWord(uint32_t version, uint32_t layerCode, bool protectedFrame,
                    uint32_t bitrateIndex, uint32_t samplingIndex, bool padding, uint32_t mode,
                    uint32_t modeExtension = 0);
std::string HeaderBytes(uint32_t word);
// An MPEG 2.5 header: the LSF word with the version's high bit cleared.
uint32_t Mpeg25Word(uint32_t layerCode, uint32_t bitrateIndex, uint32_t samplingIndex);
// count frames of one header word and length bytes, bodies of zeros.
std::string Frames(uint32_t word, uint32_t length, int count);

}  // namespace mpeg_test
