// Profile strings of INI files in the library's folder, mirrored in the registry section by
// section: the INI file is read into the registry once and never written.

#include "AnsiText.h"
#include "Kitbase.h"
#include "KitbaseApp.h"
#include "ProfileText.h"
#include "program_services.h"

#include <cstdarg>
#include <memory>
#include <optional>
#include <vector>

using namespace kitbase;

namespace {

constexpr const WCHAR* default_root = u"Software\\ZOLSOFT\\Applicaton";
constexpr const WCHAR* flush_key = u"Software\\ZOLSOFT";
// Key paths the mirror makes hold at most this many characters.
constexpr size_t longest_key_path = 259;
// A stored value above this many bytes, its terminating zero included, reads as missing.
constexpr DWORD longest_value_bytes = 260;

class Key {
public:
    Key() = default;
    ~Key()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    bool open(const std::u16string& path)
    {
        return RegOpenKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &m_key) == ERROR_SUCCESS;
    }
    bool create(const std::u16string& path)
    {
        DWORD disposition = 0;
        return RegCreateKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                   &m_key, &disposition)
            == ERROR_SUCCESS;
    }
    bool set_text(const std::u16string& name, std::u16string_view text)
    {
        std::u16string data(text);
        return RegSetValueEx(m_key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(WCHAR)))
            == ERROR_SUCCESS;
    }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// The folder the library lies in, with a closing backslash: "\NAND\App\BT\".
std::u16string library_folder()
{
    WCHAR module[MAX_PATH] = {};
    if (GetModuleFileName(CKitbaseApp::current().m_hInstance, module, MAX_PATH) == 0)
        return {};
    WCHAR drive[MAX_PATH];
    WCHAR dir[MAX_PATH];
    WCHAR folder[3 * MAX_PATH];
    _wsplitpath(module, drive, dir, nullptr, nullptr);
    _wmakepath(folder, drive, dir, u"", u"");
    return folder;
}

// The INI path below the library's folder, or nothing when the file is not mirrored.
std::optional<std::u16string> mirrored_path(const WCHAR* iniPath)
{
    std::u16string folder = library_folder();
    std::u16string_view path = text_or_empty(iniPath);
    if (folder.empty() || path.size() < folder.size() || !kivo::equals_ignoring_case(path.substr(0, folder.size()), folder))
        return std::nullopt;
    return std::u16string(path.substr(folder.size()));
}

std::optional<std::u16string> joined(std::u16string_view parent, std::u16string_view child)
{
    std::u16string path(parent);
    path += u'\\';
    path += child;
    if (path.size() > longest_key_path)
        return std::nullopt;
    return path;
}

std::optional<std::u16string> file_key_of(const std::u16string& relative)
{
    const WCHAR* root = CKitbaseApp::current().m_registryRoot;
    return joined(root[0] ? root : default_root, relative);
}

// The whole file as an 8-bit text with a closing line end, or nothing when it cannot be read.
std::optional<std::string> read_ini_text(const WCHAR* iniPath)
{
    HANDLE file = CreateFile(iniPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string text;
    char chunk[4096];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof(chunk), &read, nullptr)) && read > 0)
        text.append(chunk, read);
    CloseHandle(file);
    if (!ok)
        return std::nullopt;
    text += "\r\n";
    return text;
}

std::optional<IniEntryList> parse_ini_file(const WCHAR* iniPath)
{
    auto text = read_ini_text(iniPath);
    if (!text)
        return std::nullopt;
    IniEntryList entries;
    GetANSIIniFileInfo(text->data(), entries);
    return entries;
}

enum class Absent {
    Skip,   // a section the file does not hold is not made (a read)
    Create, // the key is made even so (before a write, or when asked for)
};

// Copies one section of the INI file into its key under the file key, named as the caller gave it.
bool copy_section(const WCHAR* iniPath, const std::u16string& fileKey, const WCHAR* section, Absent absent)
{
    auto entries = parse_ini_file(iniPath);
    if (!entries && absent == Absent::Skip)
        return false;
    auto section_key = joined(fileKey, section);
    if (!section_key)
        return false;
    // Section names are compared as the INI document compares them, in the ANSI code page; a
    // name the page cannot hold is in no file.
    std::string wanted_name = to_ansi(section);
    std::vector<const IniEntry*> wanted;
    if (entries && from_ansi(wanted_name.c_str()) == section) {
        for (auto& entry : *entries) {
            if (!entry.key.empty() && names_equal_ignoring_case(to_ansi(entry.section.c_str()), wanted_name))
                wanted.push_back(&entry);
        }
    }
    if (wanted.empty() && absent == Absent::Skip)
        return false;
    Key key;
    if (!key.create(*section_key))
        return false;
    for (auto* entry : wanted)
        key.set_text(entry->key, entry->value);
    return true;
}

int flush_policy()
{
    auto& app = CKitbaseApp::current();
    if (app.m_flushKeyPolicy != -1)
        return app.m_flushKeyPolicy;
    HKEY key = nullptr;
    int policy = 1;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, flush_key, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        DWORD value = 0;
        DWORD type = 0;
        DWORD size = sizeof(value);
        if (RegQueryValueEx(key, u"FlushKey", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS
            && type == REG_DWORD && size <= sizeof(value))
            policy = static_cast<int>(value);
        RegCloseKey(key);
    }
    app.m_flushKeyPolicy = policy;
    return policy;
}

int leading_number(const WCHAR* text)
{
    return static_cast<int>(wcstol(text, nullptr, 10));
}

} // namespace

DWORD GetRegProfileString(const WCHAR* section, const WCHAR* key, const WCHAR* defaultText, WCHAR* buffer, DWORD bufferBytes,
    const WCHAR* iniPath)
{
    auto relative = mirrored_path(iniPath);
    if (!relative)
        return GetPrivateProfileString(section, key, defaultText, buffer, bufferBytes, iniPath);
    auto file_key = file_key_of(*relative);
    auto section_key = file_key && section ? joined(*file_key, section) : std::nullopt;
    if (section_key && key && buffer) {
        Key opened;
        // A section not mirrored yet is copied alone, so that values written into other sections
        // are never overwritten by the file's.
        if (opened.open(*section_key) || (copy_section(iniPath, *file_key, section, Absent::Skip) && opened.open(*section_key))) {
            DWORD type = 0;
            DWORD size = bufferBytes;
            if (RegQueryValueEx(opened.get(), key, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS
                && type == REG_SZ && size <= longest_value_bytes && size >= sizeof(WCHAR) && size % sizeof(WCHAR) == 0
                && buffer[size / sizeof(WCHAR) - 1] == 0)
                return size;
        }
    }
    copy_bounded(buffer, bufferBytes, text_or_empty(defaultText));
    return 0;
}

int GetRegProfileInt(const WCHAR* section, const WCHAR* key, int defaultValue, const WCHAR* iniPath)
{
    std::u16string fallback = kivo::format_wide(u"%d", defaultValue);
    WCHAR text[MAX_PATH] = {};
    GetRegProfileString(section, key, fallback.c_str(), text, MAX_PATH, iniPath);
    return leading_number(text);
}

int WriteRegProfileString(const WCHAR* section, const WCHAR* key, const WCHAR* value, const WCHAR* iniPath)
{
    auto relative = mirrored_path(iniPath);
    if (!relative)
        return WritePrivateProfileString(section, key, value, iniPath);
    auto file_key = file_key_of(*relative);
    auto section_key = file_key && section ? joined(*file_key, section) : std::nullopt;
    if (!section_key || !key || !value)
        return 0;
    {
        // A first write mirrors the section's values before it, so its other keys stay readable.
        Key existing;
        if (!existing.open(*section_key))
            copy_section(iniPath, *file_key, section, Absent::Create);
    }
    Key written;
    if (!written.create(*section_key) || !written.set_text(key, value))
        return 0;
    // A write that should have been flushed and was not would be lost by a reset: it failed.
    if (flush_policy() != 0 && RegFlushKey(written.get()) != ERROR_SUCCESS)
        return 0;
    return 1;
}

int CreateRegProfileSection(const WCHAR* section, const WCHAR* iniPath)
{
    auto relative = mirrored_path(iniPath);
    if (!relative || !section)
        return 0;
    auto file_key = file_key_of(*relative);
    auto section_key = file_key ? joined(*file_key, section) : std::nullopt;
    if (!section_key)
        return 0;
    Key opened;
    if (opened.open(*section_key))
        return 1;
    if (!copy_section(iniPath, *file_key, section, Absent::Create))
        return 0;
    return opened.open(*section_key) ? 1 : 0;
}

int LoadIniFile2Reg(const WCHAR* iniPath, const WCHAR* fileKey)
{
    if (!iniPath || !fileKey)
        return 0;
    auto entries = parse_ini_file(iniPath);
    if (!entries)
        return 0;
    std::u16string current_path;
    std::unique_ptr<Key> current;
    for (auto& entry : *entries) {
        if (entry.section.empty() || entry.key.empty())
            continue;
        auto path = joined(fileKey, entry.section);
        if (!path)
            continue;
        if (*path != current_path) {
            current_path = *path;
            current = std::make_unique<Key>();
            // A key that cannot be made is skipped with its entries.
            if (!current->create(current_path))
                current.reset();
        }
        if (current)
            current->set_text(entry.key, entry.value);
    }
    return 1;
}

int SetRegProfileKeyName(const WCHAR* format, ...)
{
    auto& app = CKitbaseApp::current();
    std::u16string root;
    if (format) {
        va_list arguments;
        va_start(arguments, format);
        root = kivo::vformat_wide(format, arguments);
        va_end(arguments);
    }
    return static_cast<int>(copy_bounded(app.m_registryRoot, sizeof(app.m_registryRoot), root));
}
