// What the tests of the uninstallers, the stand-in game and the stand-in
// DirectX setup library share: scratch folders on the prefix's C: drive,
// files, the Uninstall registry entries and archives appended to programs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "prefix_state.h"
// The product's names and texts: the programs under test are built with them.
#include "product_names.h"
#include "ui_driver.h"

// Waits, in milliseconds. Starting a program under Wine takes a second or so.
constexpr unsigned WindowTimeoutMs = 20000;
constexpr unsigned ProcessEndTimeoutMs = 20000;

// The folder of the test program, where the programs under test are built.
std::string ProgramPath(const char* name);

// A new, empty folder C:\vexlo-<tag>-<process>-<n>; removed with everything
// in it when the object goes.
class ScratchFolder {
  public:
    explicit ScratchFolder(const char* tag);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path; }

  private:
    std::string path;
};

bool CopyFileTo(const std::string& from, const std::string& to);

// A silent 8 kHz mono 16-bit RIFF/WAVE file of dataSize sample bytes.
std::string SilentWave(uint32_t dataSize = 1600);

// Gives a file an empty archive at its end; then members can be added.
bool AppendEmptyArchive(const std::string& path);
bool AddMember(const std::string& archivePath, const char* name, const std::string& bytes);
bool AddMemberFromFile(const std::string& archivePath, const char* name,
                       const std::string& sourcePath);

// The processes a test started; whatever still runs at the end is ended.
class ProcessList {
  public:
    ProcessList() = default;
    ~ProcessList();
    ProcessList(const ProcessList&) = delete;
    ProcessList& operator=(const ProcessList&) = delete;
    // Starts a program (a bare name: from the build folder) with the build
    // folder as its current directory; false if it could not be started.
    bool Start(const char* program, const char* arguments, StartedProcess* started);
    // Also ends a process that one of ours started (found by its window).
    void Adopt(DWORD processId);

  private:
    static constexpr int MaxProcesses = 16;
    DWORD ids[MaxProcesses] = {};
    int count = 0;
};

// Folders of the temporary folder matching a pattern that appear while the
// object lives are removed when it goes (declare it before the ProcessList
// whose programs leave them, so they have ended by then).
class TempLeftovers {
  public:
    explicit TempLeftovers(const char* pattern);
    ~TempLeftovers();
    // Full paths of the matching folders that appeared meanwhile.
    std::vector<std::string> Appeared() const;
    // Waits until every folder that appeared is gone again; false on timeout.
    bool WaitAllGone(unsigned timeoutMs) const;
    TempLeftovers(const TempLeftovers&) = delete;
    TempLeftovers& operator=(const TempLeftovers&) = delete;

  private:
    std::string folder;
    std::string pattern;
    std::vector<std::string> before;
};

// The Start Menu Programs folder of the prefix's user, "" if unknown.
std::string ProgramsFolder();
// A name no other test process uses: "<base> <process>-<n>".
std::string UniqueName(const char* base);

// The text of a message box, "" if it cannot be read.
std::string BoxText(HWND box);
