// The one lock that serialises every slot and master-volume operation, and the short lock that makes a
// refill's take-over of its slot event exclusive with a closer's wait for it.
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

class RefillHandshakeGuard {
public:
    RefillHandshakeGuard();
    ~RefillHandshakeGuard();
    RefillHandshakeGuard(const RefillHandshakeGuard&) = delete;
    RefillHandshakeGuard& operator=(const RefillHandshakeGuard&) = delete;
};
