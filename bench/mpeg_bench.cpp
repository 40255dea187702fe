// Decoder benchmarks: the costly stages alone, and whole conversions.
// VEXLO_BENCH_MP3 names a long file for BM_ConvertLongFile (tools/bench.sh
// makes one); without it the test files are used.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "setup/mpeg/conversion.h"
#include "setup/mpeg/imdct.h"
#include "setup/mpeg/layer3_tables.h"
#include "setup/mpeg/synthesis.h"

namespace {

struct DiscardingSink : PcmSink {
    int64_t total = 0;
    void PutSample(uint32_t, int16_t value) override { total += value; }
    void PutSamples(uint32_t, const int16_t* values, uint32_t count) override {
        for (uint32_t i = 0; i < count; i++)
            total += values[i];
    }
    void FlushFrame() override {}
};

// A granule's 18 blocks, as the decoder hands them over.
void BM_SynthesizeGranule(benchmark::State& state) {
    SubbandSynthesizer synthesizer(0, OutputScale);
    DiscardingSink sink;
    std::mt19937 random(1);
    std::uniform_real_distribution<float> value(-0.1f, 0.1f);
    float subbands[32 * 18];
    for (float& x : subbands)
        x = value(random);
    for (auto _ : state)
        synthesizer.SynthesizeGranule(subbands, sink);
    benchmark::DoNotOptimize(sink.total);
}
BENCHMARK(BM_SynthesizeGranule);

void BM_FastDct32(benchmark::State& state) {
    float in[32], out[32];
    for (int i = 0; i < 32; i++)
        in[i] = float(i % 7) - 3.0f;
    for (auto _ : state) {
        FastDct32(in, out);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FastDct32);

void BM_ImdctLong(benchmark::State& state) {
    float lines[18], overlap[18 * SlotStride] = {};
    for (auto _ : state) {
        for (int i = 0; i < 18; i++)
            lines[i] = float(i % 5) - 2.0f;
        ImdctLong(lines, overlap, 0);
        benchmark::DoNotOptimize(lines);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ImdctLong);

void NoProgress(float) {}

// One whole conversion of path; reports seconds of audio per second.
void Convert(benchmark::State& state, const std::string& path) {
    std::string output = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                         "/vexlo-mpeg-bench.wav";
    double audioSeconds = 0;
    for (auto _ : state) {
        ConversionJob job;
        std::snprintf(job.outputPath, sizeof job.outputPath, "%s", output.c_str());
        job.reader = new FrameReader(path.c_str());
        job.header = new FrameHeader;
        if (!job.header->ReadHeader(*job.reader)) {
            state.SkipWithError("no MPEG audio frame header");
            break;
        }
        ConvertToWav(job, NoProgress);
        uint32_t perFrame = job.header->versionBit ? 1152 : 576;
        audioSeconds +=
            double(lastConversion.framesDecoded) * perFrame / lastConversion.samplingRate;
    }
    std::remove(output.c_str());
    state.counters["audio_s_per_s"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}

void BM_ConvertTestFile(benchmark::State& state) {
    Convert(state, std::string(VEXLO_MP3_DATA_DIR) + "/transient-44k.mp3");
}
BENCHMARK(BM_ConvertTestFile)->Unit(benchmark::kMillisecond);

void BM_ConvertLongFile(benchmark::State& state) {
    const char* path = std::getenv("VEXLO_BENCH_MP3");
    if (!path) {
        state.SkipWithError("VEXLO_BENCH_MP3 not set");
        for (auto _ : state) {
        }
        return;
    }
    Convert(state, path);
}
BENCHMARK(BM_ConvertLongFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
