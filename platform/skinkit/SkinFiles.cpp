// Skin and language files, settings in the registry and the library's paths.

#include "SkinkitState.h"

#include "IniDocument.h"
#include "AnsiText.h"
#include "Kitbase.h"
#include "program_services.h"

#include <cstdlib>
#include <memory>

namespace skinkit {

namespace {

constexpr const char16_t* module_path = u"\\NAND\\App\\BT\\Skinkit.dll";
constexpr const char16_t* registry_root = u"Software\\ZOLSOFT\\Skinkit\\";
constexpr const char16_t* language_section = u"Text";
constexpr const char16_t* click_file = u"touch.wav";

kivo::ProcessLocal<ProcessState> s_state;

std::string ansi(std::u16string_view text)
{
    std::u16string terminated(text);
    std::unique_ptr<char[]> converted(WideChar2ANSI(terminated.c_str()));
    return converted ? converted.get() : std::string();
}

std::u16string wide(const std::string& text)
{
    std::unique_ptr<WCHAR[]> converted(ANSI2WideChar(text.c_str()));
    return converted ? converted.get() : std::u16string();
}

std::u16string folder_of(const std::u16string& path)
{
    auto slash = path.find_last_of(u'\\');
    return slash == std::u16string::npos ? std::u16string(u"\\") : path.substr(0, slash + 1);
}

std::u16string module_folder(HINSTANCE instance)
{
    WCHAR path[MAX_PATH] = {};
    DWORD length = GetModuleFileName(instance, path, MAX_PATH);
    return folder_of(std::u16string(path, length));
}

std::u16string skin_folder(HINSTANCE instance)
{
    return module_folder(instance) + u"skin\\default\\";
}

std::u16string_view text_of(LPCWSTR text)
{
    return text ? std::u16string_view(text) : std::u16string_view();
}

// The registry key of a section, opened or made; null on failure.
HKEY section_key(LPCWSTR section, bool create)
{
    std::u16string path = std::u16string(registry_root) + std::u16string(text_of(section));
    HKEY key = nullptr;
    LONG result = create ? RegCreateKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr)
                         : RegOpenKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    return result == ERROR_SUCCESS ? key : nullptr;
}

// Sets one value and flushes its key, so that the setting is on the flash disk at once.
BOOL set_registry_value(LPCWSTR section, LPCWSTR key, DWORD type, const BYTE* data, DWORD size)
{
    HKEY handle = section_key(section, true);
    if (!handle)
        return FALSE;
    bool done = RegSetValueEx(handle, key, 0, type, data, size) == ERROR_SUCCESS && RegFlushKey(handle) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return done;
}

} // namespace

ProcessState& state()
{
    ProcessState& state = s_state.get();
    if (!state.module)
        state.module = kivo::register_module(module_path);
    return state;
}

SkinFile::SkinFile(const WCHAR* path)
{
    IniDocument::Records records;
    if (!path || !IniDocument::Load(ansi(path), records))
        return;
    m_readable = true;
    for (auto& record : records) {
        if (record.commented != ' ' || record.key.empty())
            continue;
        m_entries.push_back({ record.section, record.key, wide(record.value) });
    }
}

const SkinFile::Entry* SkinFile::find(std::u16string_view section, std::u16string_view key) const
{
    std::string wanted_section = ansi(section);
    std::string wanted_key = ansi(key);
    for (auto& entry : m_entries) {
        if (kitbase::names_equal_ignoring_case(entry.section, wanted_section) && kitbase::names_equal_ignoring_case(entry.key, wanted_key))
            return &entry;
    }
    return nullptr;
}

std::optional<std::u16string> SkinFile::value(std::u16string_view section, std::u16string_view key) const
{
    const Entry* entry = find(section, key);
    if (!entry)
        return std::nullopt;
    return entry->value;
}

std::optional<int> SkinFile::integer(std::u16string_view section, std::u16string_view key) const
{
    auto text = value(section, key);
    if (!text)
        return std::nullopt;
    auto numbers = integers(*text, 1);
    if (!numbers)
        return std::nullopt;
    return numbers->front();
}

std::optional<RECT> SkinFile::rect(std::u16string_view section, std::u16string_view key) const
{
    auto text = value(section, key);
    auto numbers = text ? integers(*text, 4) : std::nullopt;
    if (!numbers)
        return std::nullopt;
    auto& n = *numbers;
    return RECT { n[0], n[1], n[2], n[3] };
}

std::optional<COLORREF> SkinFile::colour(std::u16string_view section, std::u16string_view key) const
{
    auto text = value(section, key);
    auto numbers = text ? integers(*text, 3) : std::nullopt;
    if (!numbers)
        return std::nullopt;
    for (int part : *numbers) {
        if (part < 0 || part > 255)
            return std::nullopt;
    }
    auto& n = *numbers;
    return RGB(BYTE(n[0]), BYTE(n[1]), BYTE(n[2]));
}

std::vector<std::pair<std::u16string, std::u16string>> SkinFile::section(std::u16string_view section) const
{
    std::string wanted = ansi(section);
    std::vector<std::pair<std::u16string, std::u16string>> result;
    for (auto& entry : m_entries) {
        if (kitbase::names_equal_ignoring_case(entry.section, wanted))
            result.emplace_back(wide(entry.key), entry.value);
    }
    return result;
}

std::optional<std::vector<int>> integers(std::u16string_view text, size_t count)
{
    std::vector<int> result;
    size_t at = 0;
    auto skip_blanks = [&] {
        while (at < text.size() && (text[at] == u' ' || text[at] == u'\t'))
            ++at;
    };
    while (result.size() < count) {
        skip_blanks();
        bool negative = at < text.size() && text[at] == u'-';
        if (negative || (at < text.size() && text[at] == u'+'))
            ++at;
        size_t digits = at;
        long long number = 0;
        while (at < text.size() && text[at] >= u'0' && text[at] <= u'9' && at - digits < 10)
            number = number * 10 + (text[at++] - u'0');
        if (at == digits || (at < text.size() && text[at] >= u'0' && text[at] <= u'9') || number > 0x7FFFFFFF)
            return std::nullopt;
        result.push_back(static_cast<int>(negative ? -number : number));
        skip_blanks();
        if (result.size() < count) {
            if (at >= text.size() || text[at] != u',')
                return std::nullopt;
            ++at;
        }
    }
    if (at != text.size())
        return std::nullopt;
    return result;
}

int copy_to(LPWSTR buffer, int chars, std::u16string_view text)
{
    if (!buffer || chars <= 0)
        return 0;
    size_t length = std::min(text.size(), static_cast<size_t>(chars - 1));
    std::char_traits<char16_t>::copy(buffer, text.data(), length);
    buffer[length] = 0;
    return static_cast<int>(length);
}

std::u16string picture_path(std::u16string_view name)
{
    if (name.empty() || name.front() == u'\\')
        return std::u16string(name);
    return skin_folder(nullptr) + std::u16string(name);
}

std::u16string language_text(int id)
{
    auto& texts = state().texts;
    if (auto found = texts.find(id); found != texts.end())
        return found->second;
    OutputDebugString(kivo::format_wide(u"Skinkit: no text %d in the language file \"%s\"\r\n", id, state().languageFile.c_str()).c_str());
    return {};
}

void touch_click()
{
    if (!state().touchSound)
        return;
    std::u16string file = module_folder(reinterpret_cast<HINSTANCE>(state().module)) + click_file;
    PlaySound(file.c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NOSTOP);
}

} // namespace skinkit

using namespace skinkit;

BOOL al_GetSettingString(LPCWSTR section, LPCWSTR key, LPCWSTR file, LPWSTR buffer, int bufferChars)
{
    auto text = SkinFile(file).value(text_of(section), text_of(key));
    if (!text)
        return FALSE;
    copy_to(buffer, bufferChars, *text);
    return TRUE;
}

BOOL al_GetSettingInt(LPCWSTR section, LPCWSTR key, LPCWSTR file, int* value)
{
    auto number = SkinFile(file).integer(text_of(section), text_of(key));
    if (!number || !value)
        return FALSE;
    *value = *number;
    return TRUE;
}

BOOL al_GetSettingRect(LPCWSTR section, LPCWSTR key, LPCWSTR file, RECT* rect)
{
    auto found = SkinFile(file).rect(text_of(section), text_of(key));
    if (!found || !rect)
        return FALSE;
    *rect = *found;
    return TRUE;
}

BOOL al_GetSettingColor(LPCWSTR section, LPCWSTR key, LPCWSTR file, COLORREF* colour)
{
    auto found = SkinFile(file).colour(text_of(section), text_of(key));
    if (!found || !colour)
        return FALSE;
    *colour = *found;
    return TRUE;
}

BOOL al_GetRegSettingInt(LPCWSTR section, LPCWSTR key, int defaultValue, int* value)
{
    if (!value)
        return FALSE;
    *value = defaultValue;
    HKEY handle = section_key(section, false);
    if (!handle)
        return FALSE;
    DWORD type = 0;
    DWORD stored = 0;
    DWORD size = sizeof(stored);
    bool found = RegQueryValueEx(handle, key, nullptr, &type, reinterpret_cast<BYTE*>(&stored), &size) == ERROR_SUCCESS
        && type == REG_DWORD && size == sizeof(stored);
    RegCloseKey(handle);
    if (found)
        *value = static_cast<int>(stored);
    return found;
}

BOOL al_SetRegSettingInt(LPCWSTR section, LPCWSTR key, int value)
{
    DWORD stored = static_cast<DWORD>(value);
    return set_registry_value(section, key, REG_DWORD, reinterpret_cast<const BYTE*>(&stored), sizeof(stored));
}

BOOL al_GetRegSettingString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultText, LPWSTR buffer, int bufferChars)
{
    std::u16string text(text_of(defaultText));
    bool found = false;
    if (HKEY handle = section_key(section, false)) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueEx(handle, key, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
            std::u16string stored(size / sizeof(WCHAR) + 1, u'\0');
            size = static_cast<DWORD>(stored.size() * sizeof(WCHAR));
            if (RegQueryValueEx(handle, key, nullptr, &type, reinterpret_cast<BYTE*>(stored.data()), &size) == ERROR_SUCCESS) {
                stored.resize(std::char_traits<char16_t>::length(stored.c_str()));
                text = stored;
                found = true;
            }
        }
        RegCloseKey(handle);
    }
    copy_to(buffer, bufferChars, text);
    return found;
}

BOOL al_SetRegSettingString(LPCWSTR section, LPCWSTR key, LPCWSTR text)
{
    std::u16string value(text_of(text));
    return set_registry_value(section, key, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
        static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
}

BOOL al_GetModulePath(HINSTANCE instance, LPWSTR buffer, int bufferChars)
{
    copy_to(buffer, bufferChars, module_folder(instance));
    return TRUE;
}

BOOL al_GetSkinPath(HINSTANCE instance, LPWSTR buffer, int bufferChars)
{
    copy_to(buffer, bufferChars, skin_folder(instance));
    return TRUE;
}

BOOL SetLanguageFile(LPCWSTR path)
{
    SkinFile file(path);
    if (!file.readable())
        return FALSE;
    auto& process = state();
    process.languageFile = text_of(path);
    process.texts.clear();
    for (auto& [key, value] : file.section(language_section)) {
        auto id = integers(key, 1);
        if (id)
            process.texts.emplace(id->front(), value);
    }
    return TRUE;
}

int LoadStringFromRC(LPWSTR text, int textChars, int id)
{
    return copy_to(text, textChars, language_text(id));
}
