// Stand-in for the DirectX redistributable's setup library on the sample
// disc. It installs nothing: DirectXSetupA returns the result that the
// environment variable VEXLO_DSETUP_RESULT names (decimal, may be negative;
// 0, success, when unset), so tests can choose every outcome of the setup.
//
// Each call writes one trace line to the debugger's output and, when the
// environment variable VEXLO_DSETUP_LOG names a file, appends the same line
// to it:
//   DirectXSetupA owner=<0|1> source=<source path> flags=0x<8 hex digits> result=<n>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr char ResultVariable[] = "VEXLO_DSETUP_RESULT";
constexpr char LogVariable[] = "VEXLO_DSETUP_LOG";
constexpr DWORD VariableSize = 260;

int ChosenResult() {
    char text[VariableSize];
    DWORD length = GetEnvironmentVariableA(ResultVariable, text, sizeof text);
    if (length == 0 || length >= sizeof text) return 0;
    char* end = nullptr;
    long value = strtol(text, &end, 10);
    if (end == text) return 0;
    return int(value);
}

void AppendToLog(const char* line) {
    char path[VariableSize];
    DWORD length = GetEnvironmentVariableA(LogVariable, path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    FILE* log = fopen(path, "ab");
    if (!log) return;
    fputs(line, log);
    fclose(log);
}

}  // namespace

extern "C" int WINAPI DirectXSetupA(HWND owner, LPSTR sourcePath, DWORD flags) {
    int result = ChosenResult();
    char line[600];
    snprintf(line, sizeof line, "DirectXSetupA owner=%d source=%s flags=0x%08lX result=%d\r\n",
             owner ? 1 : 0, sourcePath ? sourcePath : "(null)", static_cast<unsigned long>(flags),
             result);
    OutputDebugStringA(line);
    AppendToLog(line);
    return result;
}
