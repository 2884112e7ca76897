#pragma once

#include "DeviceComponent.h"
#include "HostMutex.h"
#include "Types.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

class Device;

// The libraries the device loads by name. "X.dll" is the real shared library built for X
// (libX.so) in the device's library folder, the folder the layer's own libraries were loaded
// from; the layer's own modules ("fatutil.dll") and those a test registers live in the process.
// Once the device's images are installed (ProgramImages), a shared library also needs its image
// file where the device's loader looks: at the path given, or, for a bare name, in the calling
// program's folder, then in "\Windows"; without one the load fails with ERROR_MOD_NOT_FOUND.
// A loaded library has a device path, and its loads are counted per process. The last release
// ends the module for the calls (its handle and exports are refused), but the shared object stays
// mapped until the device ends: state, threads and timers its code made may still run its
// destructors and callbacks after the program freed it.
class LibraryLoader final : public DeviceComponent {
public:
    using Exports = std::map<std::string, void*, std::less<>>;
    struct Module {
        std::u16string device_path;
        Exports exports;
    };

    explicit LibraryLoader(Device&);
    ~LibraryLoader() override;
    LibraryLoader(const LibraryLoader&) = delete;
    LibraryLoader& operator=(const LibraryLoader&) = delete;

    // An in-process module under a file name ("ZolManagerU.dll"); it replaces a shared library of
    // that name. A module lacking an export is simply registered without it.
    void add_module(std::u16string_view file_name, Module);
    // Makes every load of the name fail as if the file were missing, until cleared.
    void set_missing(std::u16string_view file_name, bool missing);
    // Makes the library's export of that name unknown to GetProcAddress, until cleared.
    void set_withheld(std::u16string_view file_name, std::string_view export_name, bool withheld);

    static std::filesystem::path library_folder();

    HMODULE load(std::u16string_view name, DWORD& error);
    void* find_export(HMODULE, std::string_view name, DWORD& error);
    DWORD release(HMODULE);
    // How many loads the calling process holds of a module (0 when not loaded).
    int load_count(HMODULE) const;

    void process_ending(Process&) override;

private:
    struct Loaded {
        HMODULE module = nullptr;
        void* handle = nullptr; // dlopen's; null for an in-process module
        const Module* in_process = nullptr;
        std::map<DWORD, int> loads; // by process id
    };

    void unload_if_unused(const std::u16string& key);
    // The library's "DllMain", called without the lock (it runs the library's own code).
    void* entry_point(const Loaded&) const;
    static BOOL call_entry(void* entry, HMODULE, DWORD reason);
    // The device path of a shared library's image file, found as the device's loader finds it;
    // null when the device checks images and there is none. Called without the lock.
    std::optional<std::u16string> image_of(std::u16string_view name) const;

    Device& m_device;
    mutable HostMutex m_lock { LockRank::LibraryLoader };
    std::map<std::u16string, Module> m_modules;
    std::set<std::u16string> m_missing;
    std::map<std::u16string, std::set<std::string, std::less<>>> m_withheld;
    std::map<std::u16string, Loaded> m_loaded;
    // dlopen's handles of libraries no process holds any more, closed with the loader.
    std::vector<void*> m_released;
};

} // namespace kivo
