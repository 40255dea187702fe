#include "setup/media/large_file.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/types.h>
#include <unistd.h>
#endif

// Windows: fgetpos/fsetpos carry a 64-bit fpos_t in every C runtime the disc
// programs meet, and SetEndOfFile cuts at any length; both date back to the
// first Windows 95 and NT 4.0 releases.
#ifdef _WIN32

bool SeekFileTo(std::FILE* file, uint64_t offset) {
    if (offset > uint64_t(INT64_MAX)) return false;
    fpos_t position = fpos_t(offset);
    return std::fsetpos(file, &position) == 0;
}

int64_t TellFile(std::FILE* file) {
    fpos_t position;
    if (std::fgetpos(file, &position) != 0) return -1;
    return int64_t(position);
}

int64_t FileLength(std::FILE* file) {
    fpos_t here;
    if (std::fgetpos(file, &here) != 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    fpos_t end;
    bool ok = std::fgetpos(file, &end) == 0;
    if (std::fsetpos(file, &here) != 0) return -1;
    return ok ? int64_t(end) : -1;
}

bool CutFileTo(std::FILE* file, uint64_t length) {
    if (length > uint64_t(INT64_MAX) || std::fflush(file) != 0) return false;
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (handle == INVALID_HANDLE_VALUE) return false;
    LONG high = LONG(length >> 32);
    DWORD low = SetFilePointer(handle, LONG(uint32_t(length)), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return false;
    return SetEndOfFile(handle) != FALSE;
}

#else

bool SeekFileTo(std::FILE* file, uint64_t offset) {
    if (offset > uint64_t(INT64_MAX) || off_t(offset) < 0 || uint64_t(off_t(offset)) != offset)
        return false;
    return fseeko(file, off_t(offset), SEEK_SET) == 0;
}

int64_t TellFile(std::FILE* file) {
    off_t position = ftello(file);
    return position < 0 ? -1 : int64_t(position);
}

int64_t FileLength(std::FILE* file) {
    off_t here = ftello(file);
    if (here < 0 || fseeko(file, 0, SEEK_END) != 0) return -1;
    off_t end = ftello(file);
    if (fseeko(file, here, SEEK_SET) != 0) return -1;
    return end < 0 ? -1 : int64_t(end);
}

bool CutFileTo(std::FILE* file, uint64_t length) {
    if (length > uint64_t(INT64_MAX) || std::fflush(file) != 0) return false;
    return ftruncate(fileno(file), off_t(length)) == 0;
}

#endif
