// The one lock that serialises every slot and master-volume operation. The refill never takes it: it meets the
// host calls through its slot event.
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
