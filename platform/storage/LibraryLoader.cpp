#include "LibraryLoader.h"

#include "Device.h"
#include "Errors.h"
#include "LibraryApi.h"
#include "Process.h"
#include "SimThread.h"
#include "StorageManager.h"
#include "WideText.h"

#include <algorithm>
#include <dlfcn.h>

namespace kivo {

namespace {

std::u16string_view file_name_of(std::u16string_view path)
{
    auto slash = path.find_last_of(u"\\/");
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

std::u16string key_of(std::u16string_view path)
{
    std::u16string key;
    for (char16_t c : file_name_of(path))
        key += fold_case(c);
    return key;
}

DWORD caller_id()
{
    auto* thread = SimThread::current();
    return thread ? thread->process().id() : 0;
}

} // namespace

LibraryLoader::LibraryLoader(Device& device)
    : m_device(device)
{
    add_module(u"fatutil.dll", { u"\\Windows\\fatutil.dll", { { "FormatVolume", reinterpret_cast<void*>(&fatutil_format_volume) } } });
}

LibraryLoader::~LibraryLoader()
{
    for (auto& [key, loaded] : m_loaded) {
        if (loaded.handle)
            dlclose(loaded.handle);
    }
    for (void* handle : m_released)
        dlclose(handle);
}

void LibraryLoader::add_module(std::u16string_view file_name, Module module)
{
    std::lock_guard guard(m_lock);
    m_modules[key_of(file_name)] = std::move(module);
}

void LibraryLoader::set_withheld(std::u16string_view file_name, std::string_view export_name, bool withheld)
{
    std::lock_guard guard(m_lock);
    auto& names = m_withheld[key_of(file_name)];
    if (withheld)
        names.emplace(export_name);
    else if (auto it = names.find(export_name); it != names.end())
        names.erase(it);
}

void LibraryLoader::set_missing(std::u16string_view file_name, bool missing)
{
    std::lock_guard guard(m_lock);
    if (missing)
        m_missing.insert(key_of(file_name));
    else
        m_missing.erase(key_of(file_name));
}

std::filesystem::path LibraryLoader::library_folder()
{
    Dl_info info {};
    if (!dladdr(reinterpret_cast<void*>(&LibraryLoader::library_folder), &info) || !info.dli_fname)
        return {};
    return std::filesystem::path(info.dli_fname).parent_path();
}

HMODULE LibraryLoader::load(std::u16string_view name, DWORD& error)
{
    error = ERROR_SUCCESS;
    std::u16string key = key_of(name);
    if (key.empty()) {
        error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    std::unique_lock guard(m_lock);
    if (m_missing.contains(key)) {
        error = ERROR_MOD_NOT_FOUND;
        return nullptr;
    }
    auto in_process = m_modules.find(key);
    auto held = m_loaded.find(key);
    bool held_by_caller = held != m_loaded.end() && held->second.loads.contains(caller_id());
    std::optional<std::u16string> image;
    if (in_process == m_modules.end() && !held_by_caller) {
        // A shared library needs its image file, unless the process holds it already. It is
        // looked for without the lock, since the file system's locks come first.
        guard.unlock();
        image = image_of(name);
        if (!image) {
            m_device.write_debug(u"LoadLibrary: " + std::u16string(file_name_of(name)) + u" not found: no image file\r\n");
            error = ERROR_MOD_NOT_FOUND;
            return nullptr;
        }
        guard.lock();
    }
    auto loaded = m_loaded.find(key);
    if (loaded == m_loaded.end()) {
        Loaded entry;
        std::u16string device_path;
        if (in_process != m_modules.end()) {
            entry.in_process = &in_process->second;
            device_path = in_process->second.device_path;
        } else {
            std::u16string stem(file_name_of(name));
            if (stem.size() > 4 && equals_ignoring_case(stem.substr(stem.size() - 4), u".dll"))
                stem.resize(stem.size() - 4);
            auto library = library_folder() / ("lib" + to_utf8(stem) + ".so");
            entry.handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!entry.handle) {
                std::u16string why = to_utf16(dlerror());
                guard.unlock();
                m_device.write_debug(u"LoadLibrary: " + std::u16string(file_name_of(name)) + u" not found: " + why + u"\r\n");
                error = ERROR_MOD_NOT_FOUND;
                return nullptr;
            }
            device_path = *image;
        }
        entry.module = m_device.register_module(device_path);
        loaded = m_loaded.emplace(key, std::move(entry)).first;
    }
    if (++loaded->second.loads[caller_id()] > 1)
        return loaded->second.module;
    // The process's first load: the library sets itself up for it, and may refuse.
    HMODULE module = loaded->second.module;
    void* entry = entry_point(loaded->second);
    guard.unlock();
    if (!entry || call_entry(entry, module, DLL_PROCESS_ATTACH))
        return module;
    call_entry(entry, module, DLL_PROCESS_DETACH);
    guard.lock();
    if (auto again = m_loaded.find(key); again != m_loaded.end()) {
        auto count = again->second.loads.find(caller_id());
        if (count != again->second.loads.end() && --count->second == 0)
            again->second.loads.erase(count);
        unload_if_unused(key);
    }
    error = ERROR_DLL_INIT_FAILED;
    return nullptr;
}

std::optional<std::u16string> LibraryLoader::image_of(std::u16string_view name) const
{
    const auto& check = m_device.image_check();
    std::u16string file(file_name_of(name));
    // A library named with its folder is looked for there alone.
    if (file.size() != name.size()) {
        if (check && check(name) != ERROR_SUCCESS)
            return std::nullopt;
        return std::u16string(name);
    }
    // A bare name is found beside the program that loads it, then in \Windows. Before the images
    // are installed, a library is taken to lie beside the program.
    std::u16string image = Process::current().image_path();
    std::u16string beside = image.substr(0, image.find_last_of(u'\\') + 1) + file;
    if (!check || check(beside) == ERROR_SUCCESS)
        return beside;
    std::u16string in_windows = u"\\Windows\\" + file;
    if (check(in_windows) == ERROR_SUCCESS)
        return in_windows;
    return std::nullopt;
}

void* LibraryLoader::entry_point(const Loaded& loaded) const
{
    if (loaded.in_process) {
        auto it = loaded.in_process->exports.find("DllMain");
        return it == loaded.in_process->exports.end() ? nullptr : it->second;
    }
    return dlsym(loaded.handle, "DllMain");
}

BOOL LibraryLoader::call_entry(void* entry, HMODULE module, DWORD reason)
{
    return reinterpret_cast<PDLLMAIN>(entry)(module, reason, nullptr);
}

void* LibraryLoader::find_export(HMODULE module, std::string_view name, DWORD& error)
{
    std::lock_guard guard(m_lock);
    auto found = std::find_if(m_loaded.begin(), m_loaded.end(), [&](auto& entry) { return entry.second.module == module; });
    if (found == m_loaded.end()) {
        error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    auto* loaded = &found->second;
    void* address = nullptr;
    if (auto withheld = m_withheld.find(found->first); withheld != m_withheld.end() && withheld->second.contains(name)) {
        address = nullptr;
    } else if (loaded->in_process) {
        auto it = loaded->in_process->exports.find(name);
        address = it == loaded->in_process->exports.end() ? nullptr : it->second;
    } else {
        address = dlsym(loaded->handle, std::string(name).c_str());
    }
    error = address ? ERROR_SUCCESS : ERROR_PROC_NOT_FOUND;
    return address;
}

int LibraryLoader::load_count(HMODULE module) const
{
    std::lock_guard guard(m_lock);
    for (auto& [key, loaded] : m_loaded) {
        if (loaded.module == module) {
            auto it = loaded.loads.find(caller_id());
            return it == loaded.loads.end() ? 0 : it->second;
        }
    }
    return 0;
}

DWORD LibraryLoader::release(HMODULE module)
{
    std::unique_lock guard(m_lock);
    for (auto& [key, loaded] : m_loaded) {
        if (loaded.module != module)
            continue;
        auto it = loaded.loads.find(caller_id());
        if (it == loaded.loads.end())
            return ERROR_INVALID_HANDLE;
        if (it->second > 1) {
            --it->second;
            return ERROR_SUCCESS;
        }
        // The process's last load: the library lets go of the process while it is still loaded.
        std::u16string gone = key;
        if (void* entry = entry_point(loaded)) {
            guard.unlock();
            call_entry(entry, module, DLL_PROCESS_DETACH);
            guard.lock();
        }
        if (auto again = m_loaded.find(gone); again != m_loaded.end()) {
            again->second.loads.erase(caller_id());
            unload_if_unused(gone);
        }
        return ERROR_SUCCESS;
    }
    return ERROR_INVALID_HANDLE;
}

void LibraryLoader::unload_if_unused(const std::u16string& key)
{
    auto it = m_loaded.find(key);
    if (it == m_loaded.end() || !it->second.loads.empty())
        return;
    if (void* handle = it->second.handle) {
        // Loaded, freed and loaded again, a library is kept once: dlopen counted the extra load,
        // and closing it here leaves the library mapped.
        if (std::find(m_released.begin(), m_released.end(), handle) != m_released.end())
            dlclose(handle);
        else
            m_released.push_back(handle);
    }
    m_loaded.erase(it);
}

void LibraryLoader::process_ending(Process& process)
{
    std::unique_lock guard(m_lock);
    std::vector<std::pair<HMODULE, void*>> entries;
    for (auto& [key, loaded] : m_loaded) {
        if (!loaded.loads.contains(process.id()))
            continue;
        if (void* entry = entry_point(loaded))
            entries.emplace_back(loaded.module, entry);
    }
    // Each library the process still holds lets go of it before it may be unloaded.
    guard.unlock();
    for (auto [module, entry] : entries)
        call_entry(entry, module, DLL_PROCESS_DETACH);
    guard.lock();
    std::vector<std::u16string> keys;
    for (auto& [key, loaded] : m_loaded) {
        if (loaded.loads.erase(process.id()))
            keys.push_back(key);
    }
    for (auto& key : keys)
        unload_if_unused(key);
}

} // namespace kivo
