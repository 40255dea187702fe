# Cross-compiles the 32-bit disc target, which must load on Windows 95 and
# NT 4.0. What ships uses the win32 thread model: the posix one links
# winpthread, which imports kernel32 functions those systems lack
# (GetTickCount64, AddVectoredExceptionHandler, TryEnterCriticalSection...).
# The tests, which need std::thread, are compiled with the posix compiler of
# the same version (cmake/Testing.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
set(MINGW_THREAD_MODEL win32)
set(VEXLO_TEST_THREAD_MODEL posix)
# Windows 95 refuses to start a program whose header asks for a newer
# subsystem than 4.0: set explicitly rather than left to the linker's default.
# (tools/check-imports.sh checks the headers.)
set(MINGW_HEADER_FLAGS
    "-Wl,--major-subsystem-version,4,--minor-subsystem-version,0,--major-os-version,4,--minor-os-version,0")
# The programs must run on the processors those systems ran on, the 486 and
# the Pentium among them; the compilers would default to the Pentium Pro
# (cmov, fcomi), which stops at its first such instruction there. Only the
# decoder's SSE2 copy, chosen after a processor check, is compiled for more
# (cmake/MpegSse2.cmake). tools/check-instructions.sh checks the programs.
# (Applied by the top CMakeLists.txt to every target, whatever the cache
# holds.)
set(VEXLO_ISA_FLAGS -march=i486 -mtune=pentium)
# No C++ exceptions: the programs throw and catch none, and the disc's own
# C++ runtime (disc/runtime/cxx_runtime.cpp) ends the program where the
# library would throw, so that the toolchain's unwinder and exception support,
# compiled for the Pentium Pro, stay out of the programs.
set(VEXLO_CXX_RUNTIME_FLAGS -fno-exceptions)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
