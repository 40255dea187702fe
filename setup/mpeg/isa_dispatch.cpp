// 32-bit Windows build: the decoder exists twice, as plain x87 code for every
// Pentium, and compiled for SSE2 (cmake/MpegSse2.cmake). ConvertToWav takes
// the SSE2 copy where the processor has SSE2 and the system saves its
// registers, the plain one otherwise. The SSE2 copy computes as the 64-bit
// build does, sample for sample.
#include <cpuid.h>
#include <windows.h>

#include "setup/mpeg/conversion.h"

// The plain copy's own ConvertToWav, renamed at its compilation.
int ConvertToWavPlain(ConversionJob& job, ProgressCallback progress);
// The SSE2 copy's entry (isa_entry.cpp) under its prefixed name.
extern "C" int ConvertToWavSse2(ConversionJob* job, ProgressCallback progress,
                                ConversionStats* stats) __asm__("_vexloSse2_VexloMpegConvertToWav");

namespace {

bool ProcessorHasSse2() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (edx & bit_SSE2);
}

// A processor with SSE2 is not enough: the system must save the XMM registers
// when it switches tasks (Windows 95 and NT 4.0 do not). Systems that do answer
// IsProcessorFeaturePresent; the others do not export it.
bool SystemSavesSse2() {
    using FeatureQuery = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto query = kernel ? reinterpret_cast<FeatureQuery>(reinterpret_cast<void*>(
                              GetProcAddress(kernel, "IsProcessorFeaturePresent")))
                        : nullptr;
    const DWORD sse2Feature = 10;  // PF_XMMI64_INSTRUCTIONS_AVAILABLE
    return query && query(sse2Feature);
}

bool PlainAsked() {
    char value[2];
    return GetEnvironmentVariableA("VEXLO_MPEG_PLAIN", value, sizeof value) > 0;
}

bool UseSse2() {
    // VEXLO_MPEG_PLAIN (any value) keeps the plain copy: tests, comparisons.
    static const bool use = ProcessorHasSse2() && SystemSavesSse2() && !PlainAsked();
    return use;
}

}  // namespace

int ConvertToWav(ConversionJob& job, ProgressCallback progress) {
    if (!UseSse2()) return ConvertToWavPlain(job, progress);
    return ConvertToWavSse2(&job, progress, &lastConversion);
}
