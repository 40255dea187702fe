// File-system fixtures of the install engine tests: scratch folders under the
// temporary folder, files of given content, archives, and read-back helpers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "test_support.h"

// A fresh, empty folder below the temporary folder; removed with its content
// when the object goes.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder's path, without a trailing separator.
    const std::string& Path() const { return path; }
    // path + "\" + relative ('/' in relative is kept as it is).
    std::string operator/(const std::string& relative) const;

  private:
    std::string path;
};

// Makes the current directory folder while the object lives.
class CurrentFolder {
  public:
    explicit CurrentFolder(const std::string& folder);
    ~CurrentFolder();

  private:
    std::string previous;
};

// A file of size bytes of a simple pattern.
void WriteFileOfSize(const std::string& path, uint32_t size);
bool PathExists(const std::string& path);
void RemoveTree(const std::string& path);

// content followed by an archive end record without members.
void WriteEmptyArchive(const std::string& path, const std::string& content);

// The lines of a text file split at CRLF; crlfOnly is false when a line ends
// in a bare LF or the file does not end with a line end.
std::vector<std::string> SplitCrlfLines(const std::string& text, bool* crlfOnly);
