#include "interface/library_lock.h"

namespace {
CRITICAL_SECTION libraryLock;
bool libraryLockExists = false;
} // namespace

void CreateLibraryLock() {
    // A second start-up keeps the lock it has; initialising a live critical section again would leak it.
    if (libraryLockExists) return;
    InitializeCriticalSection(&libraryLock);
    libraryLockExists = true;
}

void DestroyLibraryLock() {
    // A release without a start-up, or a second one, has no lock to destroy.
    if (!libraryLockExists) return;
    DeleteCriticalSection(&libraryLock);
    libraryLockExists = false;
}

LibraryLockGuard::LibraryLockGuard() { EnterCriticalSection(&libraryLock); }
LibraryLockGuard::~LibraryLockGuard() { LeaveCriticalSection(&libraryLock); }
