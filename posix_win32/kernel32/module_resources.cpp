// FindResourceA, LoadResource, SizeofResource and LockResource over the resources a Linux host embeds in its own
// executable with zorva_add_wave_resources(): one table under a well-known exported symbol.
#include <dlfcn.h>
#include <stdlib.h>
#include <strings.h>

#include <windows.h>

#include <mutex>
#include <vector>

#include "seams/resource_seams.h"
#include "failure_value.h"
#include "immortal.h"

namespace posix_win32 {
namespace {

constexpr const char* kHostTableSymbol = "zorva_wave_resources";

struct ResourceTables {
    std::mutex mutex;
    std::vector<const ResourceEntry*> registered;
};

ResourceTables& Tables() {
    static posix_win32::Immortal<ResourceTables> tables;
    return *tables;
}

const ResourceEntry* HostTable() {
    static const ResourceEntry* table = [] {
        void* self = dlopen(nullptr, RTLD_NOW);
        auto* found = self ? static_cast<const ResourceEntry*>(dlsym(self, kHostTableSymbol)) : nullptr;
        if (self) dlclose(self);
        return found;
    }();
    return table;
}

// An integer id, from MAKEINTRESOURCE or from "#123" as Windows reads it; -1 for a name.
long ResourceId(const char* name) {
    if (IS_INTRESOURCE(name)) return static_cast<long>(reinterpret_cast<uintptr_t>(name));
    if (name[0] != '#' || name[1] == '\0') return -1;
    char* end = nullptr;
    const long id = strtol(name + 1, &end, 10);
    return *end == '\0' && id >= 0 && id <= 0xFFFF ? id : -1;
}

// Table names made only of decimal digits are integer ids, as a resource script writes them.
long TableId(const char* name) {
    if (name[0] < '0' || name[0] > '9') return -1;
    char* end = nullptr;
    const long id = strtol(name, &end, 10);
    return *end == '\0' && id <= 0xFFFF ? id : -1;
}

// Windows compares resource names and types without regard to case.
bool Matches(const char* tableName, const char* wanted) {
    const long wantedId = ResourceId(wanted);
    if (wantedId >= 0) return TableId(tableName) == wantedId;
    return TableId(tableName) < 0 && strcasecmp(tableName, wanted) == 0;
}

const ResourceEntry* FindIn(const ResourceEntry* table, const char* name, const char* type) {
    for (; table && table->name; ++table)
        if (table->type && Matches(table->name, name) && Matches(table->type, type)) return table;
    return nullptr;
}

} // namespace

void RegisterResourceTable(const ResourceEntry* table) {
    std::lock_guard lock(Tables().mutex);
    Tables().registered.push_back(table);
}

void ClearRegisteredResourceTables() {
    std::lock_guard lock(Tables().mutex);
    Tables().registered.clear();
}

} // namespace posix_win32

using posix_win32::ResourceEntry;

// Only the host executable has resources here: module handle null stands for it, as on Windows.
extern "C" HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    return posix_win32::AnswerOr<HRSRC>(nullptr, [&]() -> HRSRC {
        if (module || !name || !type) return nullptr;
        const ResourceEntry* found = nullptr;
        {
            auto& tables = posix_win32::Tables();
            std::lock_guard lock(tables.mutex);
            for (auto table = tables.registered.rbegin(); !found && table != tables.registered.rend(); ++table)
                found = posix_win32::FindIn(*table, name, type);
        }
        if (!found) found = posix_win32::FindIn(posix_win32::HostTable(), name, type);
        return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(found));
    });
}

// The bytes are already mapped with the executable: loading is just handing out their address.
extern "C" HGLOBAL WINAPI LoadResource(HMODULE, HRSRC resource) {
    if (!resource) return nullptr;
    return const_cast<unsigned char*>(reinterpret_cast<const ResourceEntry*>(resource)->bytes);
}

extern "C" DWORD WINAPI SizeofResource(HMODULE, HRSRC resource) {
    if (!resource) return 0;
    const size_t size = reinterpret_cast<const ResourceEntry*>(resource)->size;
    return size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(size);
}

extern "C" LPVOID WINAPI LockResource(HGLOBAL data) { return data; }
