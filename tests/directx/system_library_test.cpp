// The detection loads DirectInput from the system folder: a DINPUT.DLL planted
// beside the program (the folder searched first for a bare name) is never
// taken. Runs a copy of the probe program from a folder holding such a file,
// under NT 4, where the detection loads DINPUT.DLL.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

constexpr char ProbeName[] = "directx_probe.exe";

std::string ModuleFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    *(strrchr(path, '\\') + 1) = '\0';
    return path;
}

// Wine reports the named Windows version to every program of that name.
void PretendVersion(const char* version) {
    HKEY key;
    ASSERT_EQ(
        RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\directx_probe.exe", &key),
        ERROR_SUCCESS);
    if (version)
        RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                       static_cast<DWORD>(strlen(version) + 1));
    else
        RegDeleteValueA(key, "Version");
    RegCloseKey(key);
}

// Makes Wine take a native DINPUT.DLL, where it finds one, before its own
// (as Windows always does); null restores Wine's choice.
void PreferNativeDirectInput(const char* order) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER,
                            "Software\\Wine\\AppDefaults\\directx_probe.exe\\DllOverrides", &key),
              ERROR_SUCCESS);
    if (order)
        RegSetValueExA(key, "dinput", 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                       static_cast<DWORD>(strlen(order) + 1));
    else
        RegDeleteValueA(key, "dinput");
    RegCloseKey(key);
}

// Runs a program and returns what it printed.
std::string RunAndRead(const std::string& program) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return "";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    std::string output;
    std::string folder = program.substr(0, program.find_last_of('\\'));
    if (CreateProcessA(program.c_str(), nullptr, nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                       &startup, &process)) {
        CloseHandle(writeEnd);
        writeEnd = nullptr;
        // Only what is there: a process Wine starts meanwhile may keep the pipe open.
        auto drain = [&] {
            char buffer[256];
            DWORD available = 0, got = 0;
            while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available &&
                   ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got)
                output.append(buffer, got);
        };
        for (int waited = 0; waited < 30000; waited += 50) {
            drain();
            if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;
        }
        drain();
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    if (writeEnd) CloseHandle(writeEnd);
    CloseHandle(readEnd);
    return output;
}

TEST(SystemLibraries, PlantedDirectInputBesideTheProgramIsNotLoaded) {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
    std::string folder =
        std::string(temp) + "vexlo-planted-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::string probe = folder + "\\" + ProbeName;
    std::string planted = folder + "\\DINPUT.DLL";
    ASSERT_TRUE(CopyFileA((ModuleFolder() + ProbeName).c_str(), probe.c_str(), FALSE));
    // A library that loads but has no DirectInputCreateA: taken instead of
    // the system's, it would lower the version and leave a trace line.
    ASSERT_TRUE(CopyFileA((ModuleFolder() + "DSetup.dll").c_str(), planted.c_str(), FALSE));

    PretendVersion("nt40");
    PreferNativeDirectInput("native,builtin");
    std::string output = RunAndRead(probe);
    PreferNativeDirectInput(nullptr);
    PretendVersion(nullptr);
    DeleteFileA(probe.c_str());
    DeleteFileA(planted.c_str());
    RemoveDirectoryA(folder.c_str());

    EXPECT_NE(output.find("version=0x300 platform=2 system=4.0.1381 held=0 trace="),
              std::string::npos)
        << output;
    EXPECT_EQ(output.find("Couldn't"), std::string::npos) << output;
}

}  // namespace
