// Runs an .mp3 file through FrameReader and ConvertToWav as the installer
// does, into a .wav file whose bytes are returned (empty without a header).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "setup/mpeg/conversion.h"

namespace fuzz_support {

inline void NoProgress(float) {}

inline std::string ConvertInput(const std::string& inputPath, uint32_t channelChoice) {
    static const std::string outputPath = ScratchPath("wav");
    ConversionJob job;
    job.channelChoice = channelChoice;
    std::strcpy(job.outputPath, outputPath.c_str());
    job.reader = new FrameReader(inputPath.c_str());
    job.header = new FrameHeader;
    std::string wav;
    if (job.header->ReadHeader(*job.reader)) {
        ConvertToWav(job, NoProgress);
        wav = ReadBytes(outputPath);
    }
    delete job.reader;  // closes the input before it is removed
    job.reader = nullptr;
    std::remove(outputPath.c_str());
    return wav;
}

}  // namespace fuzz_support
