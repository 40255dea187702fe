// The disc programs' own C++ runtime (disc/runtime/cxx_runtime.cpp) under
// Wine: aligned blocks aligned and apart whatever is asked, sizes that would
// wrap refused, one construction of a static object however many threads
// race for it, and every failure the library would throw ending the program
// (run as a child process of the test, which must not end with 0).
//
// A plain program without GoogleTest, which would bring libstdc++'s own
// runtime: it prints one line per failed check and ends with their count.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cxxabi.h>
#include <new>
#include <string>

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::printf("FAIL: %s\n", what);
        ++failures;
    }
}

// Sizes the compiler cannot see, so that it lets them through.
std::size_t Opaque(std::size_t size) {
    volatile std::size_t hidden = size;
    return hidden;
}

bool Aligned(const void* block, std::size_t alignment) {
    return (reinterpret_cast<std::uintptr_t>(block) & (alignment - 1)) == 0;
}

void AlignedBlocks() {
    // Many blocks of mixed sizes and alignments, each filled whole and read
    // back after all are made: overlapping blocks or a wrong saved pointer
    // show as a changed byte or a crash at delete.
    const std::size_t alignments[] = {4, 8, 16, 32, 64, 128, 4096};
    const int count = 200;
    unsigned char* blocks[count];
    std::size_t sizes[count];
    std::size_t aligns[count];
    for (int i = 0; i < count; ++i) {
        aligns[i] = alignments[i % 7];
        sizes[i] = static_cast<std::size_t>((i * 37) % 300);
        blocks[i] = static_cast<unsigned char*>(
            ::operator new(sizes[i], static_cast<std::align_val_t>(aligns[i])));
        Check(blocks[i] != nullptr, "aligned new gave no block");
        Check(Aligned(blocks[i], aligns[i]), "aligned new gave a block off its alignment");
        std::memset(blocks[i], i & 0xff, sizes[i]);
    }
    for (int i = 0; i < count; ++i) {
        bool intact = true;
        for (std::size_t j = 0; j < sizes[i]; ++j)
            intact = intact && blocks[i][j] == (i & 0xff);
        Check(intact, "an aligned block was overwritten by another");
    }
    // Freed in another order than made.
    for (int i = count - 1; i >= 0; i -= 2)
        ::operator delete(blocks[i], static_cast<std::align_val_t>(aligns[i]));
    for (int i = 0; i < count; i += 2)
        ::operator delete(blocks[i], sizes[i], static_cast<std::align_val_t>(aligns[i]));

    // Two empty blocks are two blocks.
    void* a = ::operator new(0, std::align_val_t(16));
    void* b = ::operator new(0, std::align_val_t(16));
    Check(a && b && a != b, "empty aligned blocks are not distinct");
    ::operator delete(a, std::align_val_t(16));
    ::operator delete(b, std::align_val_t(16));

    // Sizes that would wrap around with the alignment's room added, and
    // alignments that are no power of two: no block.
    Check(::operator new(Opaque(SIZE_MAX - 8), std::align_val_t(64), std::nothrow) == nullptr,
          "a size that wraps gave an aligned block");
    Check(::operator new(Opaque(SIZE_MAX), std::align_val_t(16), std::nothrow) == nullptr,
          "SIZE_MAX gave an aligned block");
    Check(::operator new(16, std::align_val_t(48), std::nothrow) == nullptr,
          "an alignment of 48 gave a block");
    Check(::operator new(Opaque(SIZE_MAX - 8), std::nothrow) == nullptr,
          "a huge nothrow new gave a block");

    // Over-aligned types through new-expressions (the SSE2 decoder's case).
    struct alignas(64) Wide {
        float lanes[16];
    };
    Wide* one = new Wide();
    Wide* many = new Wide[5];
    Check(Aligned(one, 64) && Aligned(many, 64), "an over-aligned object off its alignment");
    delete one;
    delete[] many;
}

// A static object made by several threads at once: made once, seen made.
volatile LONG constructions = 0;
HANDLE start = nullptr;

struct Slow {
    int value;
    Slow() {
        InterlockedIncrement(&constructions);
        Sleep(100);  // the other threads arrive meanwhile
        value = 4321;
    }
};

int SharedValue() {
    static Slow slow;
    return slow.value;
}

DWORD WINAPI Racer(void* seen) {
    WaitForSingleObject(start, INFINITE);
    *static_cast<int*>(seen) = SharedValue();
    return 0;
}

void StaticObjects() {
    const int threads = 8;
    start = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE handles[threads];
    int seen[threads] = {};
    for (int i = 0; i < threads; ++i)
        handles[i] = CreateThread(nullptr, 0, Racer, &seen[i], 0, nullptr);
    SetEvent(start);
    WaitForMultipleObjects(threads, handles, TRUE, INFINITE);
    for (int i = 0; i < threads; ++i) {
        CloseHandle(handles[i]);
        Check(seen[i] == 4321, "a thread saw the static object before it was made");
    }
    CloseHandle(start);
    Check(constructions == 1, "the static object was made more than once");

    // An initialisation given up may be tried again; a finished one is not.
    __cxxabiv1::__guard guard = 0;
    Check(__cxxabiv1::__cxa_guard_acquire(&guard) == 1, "a new guard was not taken");
    __cxxabiv1::__cxa_guard_abort(&guard);
    Check(__cxxabiv1::__cxa_guard_acquire(&guard) == 1, "a guard given up was not taken again");
    __cxxabiv1::__cxa_guard_release(&guard);
    Check(*reinterpret_cast<unsigned char*>(&guard) == 1,
          "a released guard's first byte is not set");
    Check(__cxxabiv1::__cxa_guard_acquire(&guard) == 0, "a finished guard was taken again");
}

void Strings() {
    // The std::string members compiled with the runtime.
    std::string text = "Vexlo";
    for (int i = 0; i < 10; ++i)
        text += " demo";
    Check(text.size() == 55, "append: wrong length");
    Check(text.find("demo", 10) == 11, "find: wrong position");
    Check(text.substr(6, 4) == "demo", "substr: wrong text");
    Check(text.compare(0, 5, "Vexlo") == 0, "compare: not equal");
    text.replace(0, 5, "V");
    Check(text.rfind('V') == 0 && text.size() == 51, "replace: wrong text");
}

// Child cases: each must end the program, never return.
int Child(const char* name) {
    if (std::strcmp(name, "huge-new") == 0) {
        void* block = ::operator new(Opaque(SIZE_MAX - 8));
        std::printf("huge new returned %p\n", block);
    } else if (std::strcmp(name, "huge-aligned-new") == 0) {
        void* block = ::operator new(Opaque(SIZE_MAX - 8), std::align_val_t(64));
        std::printf("huge aligned new returned %p\n", block);
    } else if (std::strcmp(name, "substr") == 0) {
        std::string text = "short";
        std::printf("substr returned %s\n", text.substr(10).c_str());
    } else if (std::strcmp(name, "length") == 0) {
        std::string text;
        text.reserve(text.max_size() + 1);
        std::printf("reserve beyond max_size returned\n");
    } else if (std::strcmp(name, "recursive") == 0) {
        __cxxabiv1::__guard guard = 0;
        __cxxabiv1::__cxa_guard_acquire(&guard);
        // The same thread again: an initialisation that needs itself.
        __cxxabiv1::__cxa_guard_acquire(&guard);
        std::printf("recursive initialisation returned\n");
    } else {
        std::printf("unknown child case %s\n", name);
    }
    return 0;  // reached only when the runtime failed to end the program
}

void ChildEnds(const char* name) {
    char self[MAX_PATH];
    char command[MAX_PATH + 64];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::snprintf(command, sizeof command, "\"%s\" %s", self, name);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        Check(false, "child not started");
        return;
    }
    DWORD waited = WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::printf("child %s: exit code %lu\n", name, static_cast<unsigned long>(code));
    Check(waited == WAIT_OBJECT_0, "child did not end");
    Check(code != 0, name);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2) return Child(argv[1]);
    AlignedBlocks();
    StaticObjects();
    Strings();
    for (const char* name : {"huge-new", "huge-aligned-new", "substr", "length", "recursive"})
        ChildEnds(name);
    std::printf("%s: %d failed\n", failures ? "FAILED" : "PASSED", failures);
    return failures ? 1 : 0;
}
