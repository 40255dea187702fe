// Arbitrary bytes as an .mp3 through FrameReader and ConvertToWav, as the
// installer runs them, into a temporary .wav file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "setup/mpeg/conversion.h"

namespace {

char inputPath[64];
char outputPath[64];

void NoProgress(float) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!inputPath[0]) {
        std::snprintf(inputPath, sizeof inputPath, "/tmp/vexlo-fuzz-%d.mp3", int(getpid()));
        std::snprintf(outputPath, sizeof outputPath, "/tmp/vexlo-fuzz-%d.wav", int(getpid()));
    }
    std::FILE* f = std::fopen(inputPath, "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    ConversionJob job;
    // Odd sizes also try the other channel choices.
    job.channelChoice = static_cast<uint32_t>(size % 5);
    std::strcpy(job.outputPath, outputPath);
    job.reader = new FrameReader(inputPath);
    job.header = new FrameHeader;
    if (job.header->ReadHeader(*job.reader)) ConvertToWav(job, NoProgress);
    delete job.reader;  // closes the input before it is removed
    job.reader = nullptr;
    std::remove(inputPath);
    std::remove(outputPath);
    return 0;
}
