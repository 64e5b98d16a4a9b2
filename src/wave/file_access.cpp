#include "wave/file_access.h"

#include <fcntl.h>

#if defined(_WIN32)
#include <io.h>
#include <share.h>
#else
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// The runtime's unbuffered integer-handle calls under one set of names; the only platform split of the core.
namespace {

#if defined(_WIN32)
int OpenReadOnly(const char* path) { return _sopen(path, _O_RDONLY | _O_BINARY, _SH_DENYNO); }
int DuplicateAboveZero(int handle) { return _dup(handle); } // fd 0 is taken by `handle`, so the copy is above it
int ReadSome(int handle, void* destination, unsigned bytes) { return _read(handle, destination, bytes); }
long long Seek(int handle, long offset, int origin) { return _lseek(handle, offset, origin); }
int Close(int handle) { return _close(handle); }
#else
int OpenReadOnly(const char* path) {
    const int handle = open(path, O_RDONLY | O_CLOEXEC);
    // Windows opens no directory as a file; open() here would, and every read of it would then fail.
    struct stat status;
    if (handle >= 0 && fstat(handle, &status) == 0 && S_ISDIR(status.st_mode)) {
        close(handle);
        return -1;
    }
    return handle;
}
int DuplicateAboveZero(int handle) { return fcntl(handle, F_DUPFD_CLOEXEC, 1); }
long ReadSome(int handle, void* destination, unsigned bytes) {
    long delivered;
    do
        delivered = read(handle, destination, bytes);
    while (delivered < 0 && errno == EINTR);
    return delivered;
}
long long Seek(int handle, long offset, int origin) { return lseek(handle, offset, origin); }
int Close(int handle) { return close(handle); }
#endif

// Positions that do not fit the layer's signed 32-bit results count as errors.
LONG ToPosition(long long position) { return position < 0 || position > 0x7FFFFFFF ? -1 : static_cast<LONG>(position); }

} // namespace

FileHandle FileOpen(const char* path) {
    // An integer resource name (MAKEINTRESOURCE) that named no resource is no path: reading it would fault.
    if (IS_INTRESOURCE(path)) return 0;
    int handle = OpenReadOnly(path);
    if (handle < 0) return 0;
    // With standard input closed the runtime may hand out 0, which here means "no file".
    if (handle == 0) {
        const int moved = DuplicateAboveZero(handle);
        Close(handle);
        if (moved < 0) return 0;
        handle = moved;
    }
    return handle;
}

DWORD FileRead(FileHandle file, void* destination, DWORD bytes) {
    if (file == 0) return 0;
    // One call may deliver less than asked before the end of the file, so read on until it gives nothing.
    DWORD total = 0;
    while (total < bytes) {
        const DWORD remaining = bytes - total;
        const unsigned request = remaining > 0x40000000u ? 0x40000000u : remaining;
        const auto delivered = ReadSome(file, static_cast<BYTE*>(destination) + total, request);
        if (delivered <= 0) break;
        total += static_cast<DWORD>(delivered);
    }
    return total;
}

LONG FileSeek(FileHandle file, LONG offset, int origin) {
    if (file == 0) return -1;
    return ToPosition(Seek(file, offset, origin));
}

LONG FileTell(FileHandle file) { return FileSeek(file, 0, FileFromCurrent); }

LONG FileLength(FileHandle file) {
    const LONG position = FileTell(file);
    if (position < 0) return -1;
    const LONG length = FileSeek(file, 0, FileFromEnd);
    FileSeek(file, position, FileFromStart);
    return length;
}

BOOL FileClose(FileHandle file) {
    if (file == 0) return FALSE;
    return Close(file) == 0;
}
