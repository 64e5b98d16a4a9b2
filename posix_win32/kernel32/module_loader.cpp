// LoadLibraryA, GetProcAddress and FreeLibrary over the built-in modules.
#include <string.h>
#include <strings.h>

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "kernel32/builtin_modules.h"
#include "seams/module_seams.h"
#include "failure_value.h"
#include "immortal.h"

namespace posix_win32 {
namespace {

struct LoadedModule {
    explicit LoadedModule(const BuiltinModule& builtin) : module(&builtin) {}
    const BuiltinModule* module;
    int loadCount = 0;
    bool failLoad = false;
    std::set<std::string> hidden;
    std::map<std::string, FARPROC> replaced;
};

struct ModuleRegistry {
    std::mutex mutex;
    LoadedModule modules[3] = {LoadedModule(Ole32Module()), LoadedModule(WinmmModule()), LoadedModule(Msacm32Module())};

    LoadedModule* Find(const char* name) {
        if (!name) return nullptr;
        for (LoadedModule& loaded : modules)
            if (strcasecmp(loaded.module->name, name) == 0) return &loaded;
        return nullptr;
    }
    LoadedModule* FromHandle(HMODULE handle) {
        for (LoadedModule& loaded : modules)
            if (reinterpret_cast<HMODULE>(&loaded) == handle) return &loaded;
        return nullptr;
    }
};

ModuleRegistry& Registry() {
    static posix_win32::Immortal<ModuleRegistry> registry;
    return *registry;
}

} // namespace

void FailModuleLoad(const char* module) {
    std::lock_guard lock(Registry().mutex);
    if (LoadedModule* loaded = Registry().Find(module)) loaded->failLoad = true;
}

void HideEntryPoint(const char* module, const char* name) {
    std::lock_guard lock(Registry().mutex);
    if (LoadedModule* loaded = Registry().Find(module)) loaded->hidden.insert(name);
}

void ReplaceEntryPoint(const char* module, const char* name, FARPROC replacement) {
    std::lock_guard lock(Registry().mutex);
    if (LoadedModule* loaded = Registry().Find(module)) loaded->replaced[name] = replacement;
}

int ModuleLoadCount(const char* module) {
    std::lock_guard lock(Registry().mutex);
    LoadedModule* loaded = Registry().Find(module);
    return loaded ? loaded->loadCount : 0;
}

void ResetModuleSeams() {
    std::lock_guard lock(Registry().mutex);
    for (LoadedModule& loaded : Registry().modules) {
        loaded.failLoad = false;
        loaded.hidden.clear();
        loaded.replaced.clear();
    }
}

} // namespace posix_win32

using posix_win32::LoadedModule;

extern "C" HMODULE WINAPI LoadLibraryA(LPCSTR fileName) {
    auto& registry = posix_win32::Registry();
    std::lock_guard lock(registry.mutex);
    LoadedModule* loaded = registry.Find(fileName);
    if (!loaded || loaded->failLoad) return nullptr;
    ++loaded->loadCount;
    return reinterpret_cast<HMODULE>(loaded);
}

extern "C" FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
    return posix_win32::AnswerOr<FARPROC>(nullptr, [&]() -> FARPROC {
        auto& registry = posix_win32::Registry();
        std::lock_guard lock(registry.mutex);
        LoadedModule* loaded = registry.FromHandle(module);
        if (!loaded || loaded->loadCount == 0 || !procName || IS_INTRESOURCE(procName)) return nullptr;
        if (loaded->hidden.count(procName)) return nullptr;
        if (auto replaced = loaded->replaced.find(procName); replaced != loaded->replaced.end())
            return replaced->second;
        const posix_win32::BuiltinModule& builtin = *loaded->module;
        for (size_t i = 0; i < builtin.exportCount; ++i)
            if (strcmp(builtin.exports[i].name, procName) == 0) return builtin.exports[i].address;
        return nullptr;
    });
}

extern "C" BOOL WINAPI FreeLibrary(HMODULE module) {
    auto& registry = posix_win32::Registry();
    std::lock_guard lock(registry.mutex);
    LoadedModule* loaded = registry.FromHandle(module);
    if (!loaded || loaded->loadCount == 0) return FALSE;
    --loaded->loadCount;
    return TRUE;
}
