// Profile strings read and written directly in an INI file, through the INI document.

#include "IniDocument.h"
#include "Kitbase.h"
#include "ProfileText.h"
#include "program_services.h"

using namespace kitbase;

DWORD GetPrivateProfileString(const WCHAR* section, const WCHAR* key, const WCHAR* defaultText, WCHAR* buffer, DWORD size,
    const WCHAR* iniPath)
{
    if (section && key && iniPath) {
        std::string value = IniDocument::GetValue(to_ansi(key), to_ansi(section), to_ansi(iniPath));
        std::u16string text = from_ansi(value.c_str());
        // A value that does not fit is refused, as the registry path refuses it, rather than cut.
        if (!text.empty() && text.size() < size / sizeof(WCHAR)) {
            copy_bounded(buffer, size, text);
            return 1;
        }
    }
    copy_bounded(buffer, size, text_or_empty(defaultText));
    return 0;
}

int GetPrivateProfileInt(const WCHAR* section, const WCHAR* key, int defaultValue, const WCHAR* iniPath)
{
    std::u16string fallback = kivo::format_wide(u"%d", defaultValue);
    WCHAR text[MAX_PATH] = {};
    GetPrivateProfileString(section, key, fallback.c_str(), text, MAX_PATH, iniPath);
    return static_cast<int>(wcstol(text, nullptr, 10));
}

int WritePrivateProfileString(const WCHAR* section, const WCHAR* key, const WCHAR* value, const WCHAR* iniPath)
{
    if (!section || !key || !value || !iniPath)
        return 0;
    return IniDocument::SetValue(to_ansi(key), to_ansi(value), to_ansi(section), to_ansi(iniPath)) ? 1 : 0;
}
