// The one lock that serialises every slot and master-volume operation.
#pragma once

#include <windows.h>

void CreateLibraryLock();
void DestroyLibraryLock();

class LibraryLockGuard {
public:
    LibraryLockGuard();
    ~LibraryLockGuard();
    LibraryLockGuard(const LibraryLockGuard&) = delete;
    LibraryLockGuard& operator=(const LibraryLockGuard&) = delete;
};
