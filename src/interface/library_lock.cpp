#include "interface/library_lock.h"

namespace {
CRITICAL_SECTION libraryLock;
bool lockExists = false;
} // namespace

void CreateLibraryLock() {
    // A second start-up keeps the lock it has; initialising a live critical section again would leak
    // it and let a caller in beside the one that holds it.
    if (lockExists) return;
    InitializeCriticalSection(&libraryLock);
    lockExists = true;
}

void DestroyLibraryLock() {
    // A release without a start-up, or a second one, has no lock to destroy.
    if (!lockExists) return;
    DeleteCriticalSection(&libraryLock);
    lockExists = false;
}

LibraryLockGuard::LibraryLockGuard() { EnterCriticalSection(&libraryLock); }
LibraryLockGuard::~LibraryLockGuard() { LeaveCriticalSection(&libraryLock); }
