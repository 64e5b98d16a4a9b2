// Events as kernel objects: handles are references, and a named event is shared process-wide by its name.
#include <time.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <windows.h>
#include "failure_value.h"
#include "immortal.h"

namespace {

struct Event {
    std::mutex mutex;
    std::condition_variable changed;
    bool manualReset;
    bool signalled;
    std::string name;
};

// Live handles and the name table. A handle holds one reference; the name lives as long as any handle does.
struct EventTable {
    std::mutex mutex;
    std::map<HANDLE, std::shared_ptr<Event>> handles;
    std::map<std::string, std::weak_ptr<Event>> names;
    uintptr_t nextHandle = 0x1000;

    HANDLE Add(std::shared_ptr<Event> event) {
        HANDLE handle = reinterpret_cast<HANDLE>(nextHandle += 4);
        handles.emplace(handle, std::move(event));
        return handle;
    }
    std::shared_ptr<Event> Get(HANDLE handle) {
        std::lock_guard lock(mutex);
        auto found = handles.find(handle);
        return found == handles.end() ? nullptr : found->second;
    }
};

EventTable& Events() {
    static posix_win32::Immortal<EventTable> table;
    return *table;
}

thread_local DWORD lastError = ERROR_SUCCESS;

} // namespace

extern "C" HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
    return posix_win32::AnswerOr<HANDLE>(nullptr, [&]() -> HANDLE {
        EventTable& table = Events();
        std::lock_guard lock(table.mutex);
        if (name) {
            auto named = table.names.find(name);
            if (named != table.names.end()) {
                if (auto existing = named->second.lock()) {
                    lastError = ERROR_ALREADY_EXISTS;
                    return table.Add(existing);
                }
            }
        }
        auto event = std::make_shared<Event>();
        event->manualReset = manualReset;
        event->signalled = initialState;
        if (name) {
            event->name = name;
            table.names[name] = event;
        }
        lastError = ERROR_SUCCESS;
        return table.Add(std::move(event));
    });
}

extern "C" HANDLE WINAPI OpenEventA(DWORD, BOOL, LPCSTR name) {
    return posix_win32::AnswerOr<HANDLE>(nullptr, [&]() -> HANDLE {
        EventTable& table = Events();
        std::lock_guard lock(table.mutex);
        auto named = name ? table.names.find(name) : table.names.end();
        std::shared_ptr<Event> existing = named == table.names.end() ? nullptr : named->second.lock();
        if (!existing) {
            lastError = ERROR_FILE_NOT_FOUND;
            return nullptr;
        }
        return table.Add(std::move(existing));
    });
}

extern "C" BOOL WINAPI SetEvent(HANDLE handle) {
    std::shared_ptr<Event> event = Events().Get(handle);
    if (!event) return FALSE;
    {
        std::lock_guard lock(event->mutex);
        event->signalled = true;
    }
    event->changed.notify_all();
    return TRUE;
}

extern "C" BOOL WINAPI ResetEvent(HANDLE handle) {
    std::shared_ptr<Event> event = Events().Get(handle);
    if (!event) return FALSE;
    std::lock_guard lock(event->mutex);
    event->signalled = false;
    return TRUE;
}

extern "C" DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    std::shared_ptr<Event> event = Events().Get(handle);
    if (!event) {
        lastError = ERROR_INVALID_HANDLE;
        return WAIT_FAILED;
    }
    std::unique_lock lock(event->mutex);
    auto isSignalled = [&] { return event->signalled; };
    if (milliseconds == INFINITE)
        event->changed.wait(lock, isSignalled);
    else if (!event->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), isSignalled))
        return WAIT_TIMEOUT;
    if (!event->manualReset) event->signalled = false;
    return WAIT_OBJECT_0;
}

extern "C" BOOL WINAPI CloseHandle(HANDLE handle) {
    EventTable& table = Events();
    std::lock_guard lock(table.mutex);
    auto found = table.handles.find(handle);
    if (found == table.handles.end()) {
        lastError = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    // The name entry is a weak reference: it lapses with the last handle.
    table.handles.erase(found);
    return TRUE;
}

extern "C" DWORD WINAPI GetLastError(void) { return lastError; }

extern "C" void WINAPI Sleep(DWORD milliseconds) {
    struct timespec delay = {static_cast<time_t>(milliseconds / 1000),
                             static_cast<long>(milliseconds % 1000) * 1000000};
    nanosleep(&delay, nullptr);
}
