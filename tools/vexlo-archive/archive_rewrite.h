// Takes a member out of an archive, or puts other bytes in its place. The
// archive format appends only, so both rewrite the archive part of the file:
// the bytes before the first member (the program's own) are copied unchanged,
// the other members and their directory records are copied as stored with
// their offsets moved, and a fresh end record closes the file. The new file is
// written beside the archive and renamed over it, so on any failure the
// archive stays byte for byte as it was.
#pragma once

#include <string>

struct RewriteFailure {
    std::string file;     // the file the message is about
    std::string message;  // what went wrong, without the file name
};

// Removes the member named member (A-Z compared without case), or, when
// replacement is not null, stores that file's bytes under the member's stored
// name at the same place in the directory. False with failure filled in when
// nothing was changed.
bool RewriteArchive(const char* archive, const char* member, const char* replacement,
                    RewriteFailure& failure);
