// The entry of the decoder's SSE2 copy (32-bit Windows build): compiled only
// into that copy, whose symbols all get a prefix, so it has a plain C name the
// plain build can call. See isa_dispatch.cpp.
#include <windows.h>
#include <cstring>

#include "setup/mpeg/conversion.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// The copy's static constructors use SSE2: they must not run at the program's
// start. cmake/isa-rename.sh moves their table into the section .sse2ini,
// which this runs, once, before the copy's first use.
void RunConstructorsOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    auto* base = reinterpret_cast<BYTE*>(&__ImageBase);
    auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(base + __ImageBase.e_lfanew);
    IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers);
    for (WORD i = 0; i < headers->FileHeader.NumberOfSections; ++i, ++section) {
        if (memcmp(section->Name, ".sse2ini", IMAGE_SIZEOF_SHORT_NAME) != 0) continue;
        using Constructor = void (*)();
        auto* table = reinterpret_cast<Constructor*>(base + section->VirtualAddress);
        DWORD count = section->Misc.VirtualSize / sizeof(Constructor);
        for (DWORD entry = 0; entry < count; ++entry)
            if (table[entry]) table[entry]();
    }
}

}  // namespace

extern "C" int VexloMpegConvertToWav(ConversionJob* job, ProgressCallback progress,
                                     ConversionStats* stats) {
    RunConstructorsOnce();
    int result = ConvertToWav(*job, progress);
    *stats = lastConversion;
    return result;
}
