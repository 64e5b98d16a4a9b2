// Test seam over the module resources FindResourceA serves: register extra tables beside the host's own.
#pragma once

#include <stddef.h>

namespace posix_win32 {

// One resource, as cmake/ZorvaWaveResources.cmake lays it out in a host executable (keep the two in step).
// A table is an array of these ended by an entry whose name is null. A name of decimal digits is an integer id.
struct ResourceEntry {
    const char* name;
    const char* type;
    const unsigned char* bytes;
    size_t size;
};

// Tables registered here are searched before the host executable's own, newest first; the table must outlive its use.
void RegisterResourceTable(const ResourceEntry* table);
// Forgets every registered table; the host executable's own stays.
void ClearRegisteredResourceTables();

} // namespace posix_win32
