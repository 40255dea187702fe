// The parts of the C++ runtime that the 32-bit disc programs use, in place of
// the toolchain's static libstdc++, whose code is compiled for the Pentium
// Pro (cmov) and would run on no 486 or Pentium. The programs are compiled
// without exceptions: they neither throw nor catch, so every failure the
// library would report by throwing ends the program here, as an uncaught
// exception ended it before, and the unwinder, the exception objects and the
// demangler no longer come with them. Compiled for the 486 like the rest of
// the disc.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cxxabi.h>
#include <new>
#include <string>

// The library's own code for std::string, compiled here for the 486: the
// programs' references bind to these members and not to libstdc++'s.
template class std::basic_string<char>;

namespace {

[[noreturn]] void EndProgram(const char* what) {
    // A GUI program has no console to print to; a debugger sees why. (No
    // product's name here: the text goes into every product's programs.)
    OutputDebugStringA("C++ runtime: ");
    OutputDebugStringA(what ? what : "C++ runtime failure");
    OutputDebugStringA("\n");
    std::abort();
}

// Aligned blocks are carved out of malloc's (8-byte aligned on 32-bit
// Windows): the block malloc gave is kept in the word before the aligned one.
void* AllocateAligned(std::size_t size, std::size_t alignment) {
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return nullptr;
    const std::size_t extra = alignment - 1 + sizeof(void*);
    if (size > SIZE_MAX - extra) return nullptr;
    void* raw = std::malloc(size + extra);
    if (!raw) return nullptr;
    std::uintptr_t start = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
    start = (start + alignment - 1) & ~static_cast<std::uintptr_t>(alignment - 1);
    reinterpret_cast<void**>(start)[-1] = raw;
    return reinterpret_cast<void*>(start);
}

void FreeAligned(void* block) {
    if (block) std::free(static_cast<void**>(block)[-1]);
}

void* Allocate(std::size_t size) {
    return std::malloc(size ? size : 1);
}

void* AllocateOrEnd(std::size_t size) {
    void* block = Allocate(size);
    if (!block) EndProgram("out of memory");
    return block;
}

void* AllocateAlignedOrEnd(std::size_t size, std::size_t alignment) {
    void* block = AllocateAligned(size ? size : 1, alignment);
    if (!block) EndProgram("out of memory (aligned block)");
    return block;
}

// Static objects in functions: the first byte of the guard says "done" (the
// compiled code reads it before calling here), the second "being made", and
// the second word names the thread making it. One lock for all guards, taken
// only while a guard changes; InterlockedExchange is on Windows 95 and NT 4.0
// alike (InterlockedCompareExchange is not on 95).
volatile LONG guardLock = 0;

void LockGuards() {
    while (InterlockedExchange(&guardLock, 1) != 0)
        Sleep(0);
}

void UnlockGuards() {
    InterlockedExchange(&guardLock, 0);
}

struct GuardState {
    volatile unsigned char done;
    volatile unsigned char busy;
    unsigned char unused[2];
    volatile DWORD maker;
};
static_assert(sizeof(GuardState) == sizeof(__cxxabiv1::__guard), "guard layout");

GuardState* State(__cxxabiv1::__guard* guard) {
    return reinterpret_cast<GuardState*>(guard);
}

}  // namespace

namespace __cxxabiv1 {
extern "C" {

int __cxa_guard_acquire(__guard* guard) {
    GuardState* state = State(guard);
    const DWORD self = GetCurrentThreadId();
    for (;;) {
        LockGuards();
        if (state->done) {
            UnlockGuards();
            return 0;
        }
        if (!state->busy) {
            state->busy = 1;
            state->maker = self;
            UnlockGuards();
            return 1;
        }
        const bool itself = state->maker == self;
        UnlockGuards();
        // Waiting for itself would never end.
        if (itself) EndProgram("a static object's initialisation needs that object");
        Sleep(1);
    }
}

void __cxa_guard_release(__guard* guard) {
    GuardState* state = State(guard);
    LockGuards();
    state->done = 1;
    state->busy = 0;
    state->maker = 0;
    UnlockGuards();
}

void __cxa_guard_abort(__guard* guard) {
    GuardState* state = State(guard);
    LockGuards();
    state->busy = 0;
    state->maker = 0;
    UnlockGuards();
}

void __cxa_throw_bad_array_new_length() {
    EndProgram("array too large");
}

void __cxa_pure_virtual() {
    EndProgram("pure virtual function called");
}

void __cxa_deleted_virtual() {
    EndProgram("deleted virtual function called");
}

}  // extern "C"
}  // namespace __cxxabiv1

namespace std {

const nothrow_t nothrow{};

void __throw_bad_exception() {
    EndProgram("bad exception");
}
void __throw_bad_alloc() {
    EndProgram("out of memory");
}
void __throw_bad_array_new_length() {
    EndProgram("array too large");
}
void __throw_bad_cast() {
    EndProgram("bad cast");
}
void __throw_bad_typeid() {
    EndProgram("bad typeid");
}
void __throw_logic_error(const char* what) {
    EndProgram(what);
}
void __throw_domain_error(const char* what) {
    EndProgram(what);
}
void __throw_invalid_argument(const char* what) {
    EndProgram(what);
}
void __throw_length_error(const char* what) {
    EndProgram(what);
}
void __throw_out_of_range(const char* what) {
    EndProgram(what);
}
void __throw_out_of_range_fmt(const char* what, ...) {
    EndProgram(what);
}
void __throw_runtime_error(const char* what) {
    EndProgram(what);
}
void __throw_range_error(const char* what) {
    EndProgram(what);
}
void __throw_overflow_error(const char* what) {
    EndProgram(what);
}
void __throw_underflow_error(const char* what) {
    EndProgram(what);
}
void __throw_bad_function_call() {
    EndProgram("bad function call");
}

}  // namespace std

void* operator new(std::size_t size) {
    return AllocateOrEnd(size);
}
void* operator new[](std::size_t size) {
    return AllocateOrEnd(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return AllocateAlignedOrEnd(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return AllocateAlignedOrEnd(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAligned(size ? size : 1, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAligned(size ? size : 1, static_cast<std::size_t>(alignment));
}

void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    FreeAligned(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    FreeAligned(block);
}
