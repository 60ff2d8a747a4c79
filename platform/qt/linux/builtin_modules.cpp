// Run-time loading over a table of modules built into the program: there is no ICMP.DLL on Linux,
// so its name stands for the echo module compiled into this library.
#include <strings.h>

#include <cstring>

#include "echo_module.h"
#include "winapi.h"

namespace {

struct EntryPoint {
    const char* name;
    win::FARPROC address;
};

struct BuiltinModule {
    const char* name;
    const EntryPoint* entryPoints;
};

const EntryPoint kEchoEntryPoints[] = {
    {"IcmpCreateFile", reinterpret_cast<win::FARPROC>(&linuxsvc::IcmpCreateFile)},
    {"IcmpCloseHandle", reinterpret_cast<win::FARPROC>(&linuxsvc::IcmpCloseHandle)},
    {"IcmpSendEcho", reinterpret_cast<win::FARPROC>(&linuxsvc::IcmpSendEcho)},
    {nullptr, nullptr},
};

const BuiltinModule kModules[] = {
    {"ICMP.DLL", kEchoEntryPoints},
};

const BuiltinModule* FindModule(win::HMODULE handle) {
    for (const BuiltinModule& module : kModules) {
        if (handle == reinterpret_cast<win::HMODULE>(const_cast<BuiltinModule*>(&module))) {
            return &module;
        }
    }
    return nullptr;
}

}  // namespace

namespace win {

HMODULE LoadLibraryA(const char* name) {
    if (name == nullptr) return nullptr;
    for (const BuiltinModule& module : kModules) {
        // Module names are file names on Windows, which match without regard to case.
        if (strcasecmp(name, module.name) == 0) {
            return reinterpret_cast<HMODULE>(const_cast<BuiltinModule*>(&module));
        }
    }
    return nullptr;
}

FARPROC GetProcAddress(HMODULE handle, const char* name) {
    const BuiltinModule* module = FindModule(handle);
    if (module == nullptr || name == nullptr) return nullptr;
    for (const EntryPoint* entry = module->entryPoints; entry->name != nullptr; ++entry) {
        if (std::strcmp(name, entry->name) == 0) return entry->address;
    }
    return nullptr;
}

BOOL FreeLibrary(HMODULE handle) {
    return FindModule(handle) != nullptr ? TRUE : FALSE;
}

}  // namespace win
