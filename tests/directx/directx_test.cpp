// DirectX detection run for real under the Windows versions Wine reports per
// program, and the disc's DirectX setup run with the stand-in library.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "dialog_answerer.h"
#include "setup/directx/directx.h"
#include "setup/shell/resource.h"
#include "setup/shell/setup_state.h"

namespace {

constexpr char ProbeName[] = "directx_probe.exe";

std::string ModuleFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    *(strrchr(path, '\\') + 1) = '\0';
    return path;
}

// Wine reports the named Windows version to the probe program alone.
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

// Wine's own DLLs named in `libraries` (comma-separated) are not loaded for the probe.
void DisableLibraries(const char* libraries) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER,
                            "Software\\Wine\\AppDefaults\\directx_probe.exe\\DllOverrides", &key),
              ERROR_SUCCESS);
    for (const char* name : {"ddraw", "dinput"}) {
        if (strstr(libraries, name))
            RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
        else
            RegDeleteValueA(key, name);
    }
    RegCloseKey(key);
}

// Runs the probe (by default the build's own copy, from this folder) and
// returns what it printed.
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

std::string RunProbe(const std::string& program = ModuleFolder() + ProbeName,
                     const std::string& arguments = "") {
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
    std::string commandLine = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
    if (CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                       folder.c_str(), &startup, &process)) {
        CloseHandle(writeEnd);
        writeEnd = nullptr;
        // Read only what is there, never waiting for the pipe's end: a process
        // that Wine starts on the probe's behalf (the desktop) can inherit the
        // probe's output handle and keep the pipe open after the probe ended.
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

struct Detected {
    unsigned version = 0xDEAD, platform = 0xDEAD;
    std::string system;
    int held = -99;     // libraries loaded by the detection and not unloaded
    std::string trace;  // debugger lines, "\r\n" shown as "|/"
};

// Runs the probe under a Windows version, with Wine's own DLLs listed in
// `disabled` made unavailable to it.
// With build, the detection sees a Windows 95-family system of that build.
Detected DetectUnder(const char* wineVersion, const char* disabled = "", int build = -1) {
    PretendVersion(wineVersion);
    DisableLibraries(disabled);
    std::string output =
        RunProbe(ModuleFolder() + ProbeName, build < 0 ? "" : std::to_string(build));
    Detected found;
    char system[64] = "";
    sscanf(output.c_str(), "version=0x%X platform=%u system=%63s held=%d", &found.version,
           &found.platform, system, &found.held);
    found.system = system;
    // The trace holds spaces: it is the rest of the line.
    size_t at = output.find("trace=");
    if (at != std::string::npos) found.trace = output.substr(at + 6);
    while (!found.trace.empty() && (found.trace.back() == '\n' || found.trace.back() == '\r'))
        found.trace.pop_back();
    return found;
}

TEST(DirectXDetection, EachSystemVersionTakesItsBranch) {
    struct {
        const char* wine;
        const char* system;  // major.minor.build as the probe saw it
        unsigned version, platform;
    } cases[] = {
        // NT 4: DirectInput found among Wine's libraries gives DirectX 3.
        {"nt40", "4.0.1381", DirectX3, PlatformNT},
        // NT 3.51: nothing usable, no platform either.
        {"nt351", "3.51.1057", DirectXNone, PlatformNone},
        // NT 5 and later: taken for granted without loading anything.
        {"winxp64", "5.2.3790", DirectX5OrLater, PlatformNT},
        {"win10", "6.2.9200", DirectX5OrLater, PlatformNT},  // unmanifested programs see 6.2
        // Windows 98 SE (build 2222 > 1353): granted from the build number.
        {"win98", "4.10.2222", DirectX5OrLater, PlatformWindows95},
        // Windows 95 (build 950): the full DirectDraw and DirectInput probe.
        {"win95", "4.0.950", DirectX5, PlatformWindows95},
    };
    for (const auto& c : cases) {
        Detected found = DetectUnder(c.wine);
        EXPECT_EQ(found.system, c.system) << c.wine;
        EXPECT_EQ(found.version, c.version) << c.wine;
        EXPECT_EQ(found.platform, c.platform) << c.wine;
        EXPECT_EQ(found.held, 0) << c.wine;
        EXPECT_EQ(found.trace, "") << c.wine;
    }
    PretendVersion(nullptr);
}

// The Windows 95 family up to build 1353 is probed; from 1354 on DirectX 5
// or later is taken for granted. Without DirectDraw the two part: the probe
// finds nothing, the grant loads nothing and grants all the same.
TEST(DirectXDetection, BuildNumberBoundaryOfTheWindows95Family) {
    struct {
        int build;
        const char* disabled;
        unsigned version, platform;
    } cases[] = {
        {1353, "", DirectX5, PlatformWindows95},
        {1353, "ddraw", DirectXNone, PlatformNone},
        {1354, "ddraw", DirectX5OrLater, PlatformWindows95},
        {1354, "", DirectX5OrLater, PlatformWindows95},
        {950, "ddraw", DirectXNone, PlatformNone},
        {1998, "ddraw", DirectX5OrLater, PlatformWindows95},
        // Only the low word counts: the high word holds the version 4.0.
        {65535, "ddraw", DirectX5OrLater, PlatformWindows95},
        {0, "ddraw", DirectXNone, PlatformNone},
    };
    for (const auto& c : cases) {
        Detected found = DetectUnder("win95", c.disabled, c.build);
        std::string where = "build " + std::to_string(c.build) + " without " + c.disabled;
        EXPECT_EQ(found.system, "4.0." + std::to_string(c.build)) << where;
        EXPECT_EQ(found.version, c.version) << where;
        EXPECT_EQ(found.platform, c.platform) << where;
        EXPECT_EQ(found.held, 0) << where;
    }
    DisableLibraries("");
    PretendVersion(nullptr);
}

TEST(DirectXDetection, MissingLibrariesLowerTheVersionAndLeaveTraces) {
    struct {
        const char* wine;
        const char* disabled;
        unsigned version, platform;
        const char* trace;
    } cases[] = {
        // NT 4 without DirectInput still counts as DirectX 2, which is enough.
        {"nt40", "dinput", DirectX2, PlatformNT, "Couldn't LoadLibrary DInput|/"},
        {"win95", "dinput", DirectX2, PlatformWindows95, "Couldn't LoadLibrary DInput|/"},
        // No DirectDraw at all on the Windows 95 family: nothing, silently.
        {"win95", "ddraw", DirectXNone, PlatformNone, ""},
        // NT 5 and later load nothing, so a missing library changes nothing.
        {"winxp64", "ddraw,dinput", DirectX5OrLater, PlatformNT, ""},
    };
    for (const auto& c : cases) {
        Detected found = DetectUnder(c.wine, c.disabled);
        std::string where = std::string(c.wine) + " without " + c.disabled;
        EXPECT_EQ(found.version, c.version) << where;
        EXPECT_EQ(found.platform, c.platform) << where;
        EXPECT_EQ(found.held, 0) << where;
        EXPECT_EQ(found.trace, c.trace) << where;
    }
    DisableLibraries("");
    PretendVersion(nullptr);
}

// ---- the DirectX setup from the disc ----

constexpr char OfferTitle[] = "Install Microsoft Direct X";
constexpr char ResultTitle[] = "Microsoft Direct X Installation";

class DirectXSetup : public ::testing::Test {
  protected:
    void SetUp() override {
        setupState = SetupState();
        setupState.instance = GetModuleHandleA(nullptr);
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        disc = std::string(temp) + "vexlo-dx-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(disc.c_str(), nullptr);
        CreateDirectoryA((disc + "DXSetup").c_str(), nullptr);
        log = disc + "dsetup.log";
        SetEnvironmentVariableA("VEXLO_DSETUP_LOG", log.c_str());
        strcpy(setupState.sourceFolder, disc.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableA("VEXLO_DSETUP_LOG", nullptr);
        SetEnvironmentVariableA("VEXLO_DSETUP_RESULT", nullptr);
        DeleteFileA((disc + "DXSetup\\DSetup.dll").c_str());
        DeleteFileA(log.c_str());
        RemoveDirectoryA((disc + "DXSetup").c_str());
        RemoveDirectoryA(disc.c_str());
    }
    void PutLibraryOnDisc() {
        ASSERT_TRUE(CopyFileA((ModuleFolder() + "DSetup.dll").c_str(),
                              (disc + "DXSetup\\DSetup.dll").c_str(), FALSE));
    }
    std::string Log() {
        std::ifstream in(log, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string disc;
    std::string log;
};

TEST_F(DirectXSetup, MissingLibraryFailsWithoutAsking) {
    DialogAnswerer noOffer({});  // an offer would be closed and reported
    uint8_t restart = 7;
    EXPECT_FALSE(RunDirectXSetup(&restart));
    EXPECT_EQ(restart, 0);
}

TEST_F(DirectXSetup, CancelInTheOfferGoesOnWithoutRunningTheSetup) {
    PutLibraryOnDisc();
    DialogAnswerer answerer({{OfferTitle, IDCANCEL}});
    uint8_t restart = 7;
    EXPECT_TRUE(RunDirectXSetup(&restart));
    EXPECT_EQ(restart, 0);
    auto answered = answerer.Finish();
    ASSERT_EQ(answered.size(), 1u);
    EXPECT_TRUE(answered[0].centred);
    EXPECT_EQ(Log(), "");
}

TEST_F(DirectXSetup, ResultsDecideMessageOutcomeAndRestart) {
    PutLibraryOnDisc();
    struct {
        const char* result;
        bool outcome;
        uint8_t restart;
        const char* message;
    } cases[] = {
        {"0", true, 0, "Microsoft Direct X 5.0 successfully installed."},
        {"1", true, 1, "Microsoft Direct X 5.0 successfully installed."},
        {"-9", false, 0, "There was a problem installing Microsoft Direct X 5.0."},
        {"2", false, 0, "There was a problem installing Microsoft Direct X 5.0."},
    };
    for (const auto& c : cases) {
        SetEnvironmentVariableA("VEXLO_DSETUP_RESULT", c.result);
        DeleteFileA(log.c_str());
        DialogAnswerer answerer({{OfferTitle, IDOK}, {ResultTitle, IDOK}});
        uint8_t restart = 7;
        EXPECT_EQ(RunDirectXSetup(&restart), c.outcome) << c.result;
        EXPECT_EQ(restart, c.restart) << c.result;
        auto answered = answerer.Finish();
        ASSERT_EQ(answered.size(), 2u) << c.result;
        EXPECT_EQ(answered[1].text, c.message) << c.result;
        std::string expected = "DirectXSetupA owner=0 source=" + disc +
                               "DXSetup\\DirectX flags=0x00010018 result=" + c.result + "\r\n";
        EXPECT_EQ(Log(), expected);
    }
}

TEST(DirectXMissingDialog, ButtonsEndTheDialogAsTheLauncherExpects) {
    setupState.instance = GetModuleHandleA(nullptr);
    struct {
        int button;
        INT_PTR result;
    } cases[] = {{IDC_INSTALL_WITHOUT_DIRECTX, IDC_INSTALL_WITHOUT_DIRECTX},
                 {IDCANCEL, IDCANCEL},
                 {PressEscape, IDCANCEL}};
    for (const auto& c : cases) {
        DialogAnswerer answerer({{DirectXErrorCaption, c.button}});
        EXPECT_EQ(DialogBoxParamA(setupState.instance, MAKEINTRESOURCEA(IDD_DIRECTX_ERROR), nullptr,
                                  DirectXMissingDialogProc, 0),
                  c.result);
        auto answered = answerer.Finish();
        ASSERT_EQ(answered.size(), 1u);
        EXPECT_TRUE(answered[0].centred);
    }
    EXPECT_STREQ(DirectXHelpPage, "https://www.vexlo.example/DirectX.htm");
}

// The detection loads DirectInput from the system folder: a DINPUT.DLL planted
// beside the program (the folder searched first for a bare name) is never
// taken. A copy of the probe runs from a folder holding such a file, under
// NT 4, where the detection loads DINPUT.DLL.
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
    std::string output = RunProbe(probe);
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
