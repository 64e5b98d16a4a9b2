#include "interface/library_lock.h"

namespace {
CRITICAL_SECTION libraryLock;
CRITICAL_SECTION refillHandshakeLock;
bool locksExist = false;
} // namespace

void CreateLibraryLock() {
    // A second start-up keeps the locks it has; initialising a live critical section again would leak it.
    if (locksExist) return;
    InitializeCriticalSection(&libraryLock);
    InitializeCriticalSection(&refillHandshakeLock);
    locksExist = true;
}

void DestroyLibraryLock() {
    // A release without a start-up, or a second one, has no lock to destroy.
    if (!locksExist) return;
    DeleteCriticalSection(&refillHandshakeLock);
    DeleteCriticalSection(&libraryLock);
    locksExist = false;
}

LibraryLockGuard::LibraryLockGuard() { EnterCriticalSection(&libraryLock); }
LibraryLockGuard::~LibraryLockGuard() { LeaveCriticalSection(&libraryLock); }

RefillHandshakeGuard::RefillHandshakeGuard() { EnterCriticalSection(&refillHandshakeLock); }
RefillHandshakeGuard::~RefillHandshakeGuard() { LeaveCriticalSection(&refillHandshakeLock); }
