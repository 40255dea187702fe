// vexlo-mp3wav IN.mp3 OUT.wav [--channels both|left|right|downmix] [--scale S]
// Runs the installer's MP3-to-WAV conversion on one file. OUT is a file path
// or ARCHIVE;MEMBER (appended to the archive at the end of ARCHIVE).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "setup/mpeg/conversion.h"

namespace {

const char Usage[] =
    "usage: vexlo-mp3wav IN.mp3 OUT.wav [--channels both|left|right|downmix] [--scale S]\n";

uint32_t progressReports = 0;
void CountProgress(float) {
    progressReports++;
}

int Fail(const char* message, const char* detail) {
    std::fprintf(stderr, "vexlo-mp3wav: %s%s%s\n", message, detail ? ": " : "",
                 detail ? detail : "");
    return 1;
}

bool ParseChannels(const char* text, uint32_t& choice) {
    static const char* const names[] = {"both", "left", "right", "downmix"};
    for (uint32_t i = 0; i < 4; i++) {
        if (std::strcmp(text, names[i]) == 0) {
            choice = i;
            return true;
        }
    }
    return false;
}

bool FileExistsNow(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const char* input = nullptr;
    const char* output = nullptr;
    uint32_t choice = Both;
    bool customScale = false;
    float scale = OutputScale;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--channels") == 0 && i + 1 < argc) {
            if (!ParseChannels(argv[++i], choice)) return Fail("unknown channel choice", argv[i]);
        } else if (std::strcmp(arg, "--scale") == 0 && i + 1 < argc) {
            char* end = nullptr;
            scale = std::strtof(argv[++i], &end);
            // Infinity would turn silence into 0 x inf, a full-scale NaN.
            if (!end || *end || !(scale > 0.0f) || !std::isfinite(scale))
                return Fail("scale must be a positive number", argv[i]);
            customScale = true;
        } else if (arg[0] == '-' && arg[1] == '-') {
            std::fputs(Usage, stderr);
            return 2;
        } else if (!input) {
            input = arg;
        } else if (!output) {
            output = arg;
        } else {
            std::fputs(Usage, stderr);
            return 2;
        }
    }
    if (!input || !output) {
        std::fputs(Usage, stderr);
        return 2;
    }
    if (std::strlen(output) >= sizeof(ConversionJob::outputPath)) {
        return Fail("output path too long", output);
    }

    ConversionJob job;
    job.channelChoice = choice;
    job.customScale = customScale ? 1 : 0;
    job.scale = customScale ? scale : OutputScale;
    std::strcpy(job.outputPath, output);
    job.reader = new (std::nothrow) FrameReader(input);
    job.header = new (std::nothrow) FrameHeader;
    if (!job.reader || !job.header) return Fail("out of memory", nullptr);
    if (!job.reader->IsOpen()) return Fail("cannot open input", input);
    StreamKind kind = OpenStream(*job.reader, *job.header);
    if (kind != StreamKind::Layer3) {
        const char* refusal = RefusalText(kind);
        if (!refusal) return Fail("no MPEG audio stream found (no confirmed frame header)", input);
        std::fprintf(stderr, "vexlo-mp3wav: %s %s\n", input, refusal);
        return 1;
    }

    // A plain file that did not exist before is removed again on failure.
    bool member = std::strchr(output, ';') != nullptr;
    bool existed = !member && FileExistsNow(output);
    int result = ConvertToWav(job, CountProgress);
    const ConversionStats& stats = lastConversion;
    if (result != 0) {
        if (!member && !existed) std::remove(output);
        return Fail("cannot set up the conversion", output);
    }
    if (!stats.outputOpened) return Fail("cannot open output", output);
    if (!stats.outputFinished) {
        if (!member && !existed) std::remove(output);
        return Fail("cannot finish output", output);
    }
    uint32_t perFrame = job.header->versionBit ? 1152 : 576;
    uint32_t samples = stats.framesDecoded * perFrame;
    double seconds = stats.samplingRate ? double(samples) / stats.samplingRate : 0.0;
    std::printf("%s: %u frames (%u skipped%s), %u Hz, %u channel%s, %u samples, %.2f s\n", output,
                stats.framesRead, stats.framesSkipped, stats.infoFrame ? ", 1 info frame" : "",
                stats.samplingRate, stats.outputChannels, stats.outputChannels == 1 ? "" : "s",
                samples, seconds);
    return 0;
}
