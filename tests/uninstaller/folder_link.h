// Links between folders of the Wine prefix, as a junction looks to a
// program: a folder with FILE_ATTRIBUTE_REPARSE_POINT. Wine cannot make a
// junction (FSCTL_SET_REPARSE_POINT is not supported) and its
// CreateSymbolicLink makes nothing, but it presents a Unix symbolic link to a
// folder that way, and walks through it as Windows walks through a junction.
// Made and removed with the host's ln and rm (Wine starts host programs too),
// so that no Windows call ever walks through the link to remove it.
#pragma once

#include <string>

class FolderLink {
  public:
    FolderLink(const std::string& link, const std::string& target);
    ~FolderLink();
    FolderLink(const FolderLink&) = delete;
    FolderLink& operator=(const FolderLink&) = delete;
    // True when the link is there and shows the reparse attribute.
    bool Made() const { return made; }
    // What was tried, for a failure message.
    const std::string& Description() const { return description; }

  private:
    std::string link;
    std::string description;
    bool made = false;
};
