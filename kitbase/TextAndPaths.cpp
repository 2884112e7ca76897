// Text conversion between UTF-16 and the device's ANSI code page, the library's own path splitting
// and joining, and the wall clock in milliseconds.

#include "Kitbase.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

// Every part that _wsplitpath writes holds a whole path, its terminating zero included.
constexpr size_t part_room = MAX_PATH;

void put_part(WCHAR* part, std::u16string_view text)
{
    if (!part)
        return;
    size_t length = std::min(text.size(), part_room - 1);
    std::copy_n(text.begin(), length, part);
    part[length] = 0;
}

std::u16string_view part_or_empty(const WCHAR* part)
{
    return part ? std::u16string_view(part) : std::u16string_view();
}

} // namespace

char* WideChar2ANSI(const WCHAR* text)
{
    int length = static_cast<int>(wcslen(text));
    // Two bytes per character is what a double-byte page needs; a page with longer sequences
    // (UTF-8) gets the room it asks for, so that its text is never emptied.
    int room = 2 * (length + 1);
    if (length > 0)
        room = std::max(room, WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr) + 1);
    auto* result = new char[room];
    int produced = length > 0 ? WideCharToMultiByte(CP_ACP, 0, text, length, result, room, nullptr, nullptr) : 0;
    result[produced] = 0;
    return result;
}

WCHAR* ANSI2WideChar(const char* text)
{
    int length = static_cast<int>(std::strlen(text)) + 1;
    auto* result = new WCHAR[length]();
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, result, length) == 0)
        result[0] = 0;
    return result;
}

void _wsplitpath(const WCHAR* path, WCHAR* drive, WCHAR* dir, WCHAR* fname, WCHAR* ext)
{
    for (WCHAR* part : { drive, dir, fname, ext })
        put_part(part, {});
    std::u16string_view whole(path);
    if (whole.empty())
        return;
    // The separator is chosen per path: the backslash when there is one, else the slash.
    WCHAR separator = whole.find(u'\\') != std::u16string_view::npos ? u'\\' : u'/';
    std::u16string_view name = whole;
    auto first = whole.find(separator);
    if (first != std::u16string_view::npos) {
        put_part(drive, whole.substr(0, first));
        std::u16string_view rest = whole.substr(first + 1);
        auto last = rest.rfind(separator);
        if (last != std::u16string_view::npos) {
            put_part(dir, rest.substr(0, last));
            name = rest.substr(last + 1);
        } else {
            name = rest;
        }
    }
    // The extension starts at the name's first dot.
    auto dot = name.find(u'.');
    if (dot == std::u16string_view::npos) {
        put_part(fname, name);
        return;
    }
    put_part(fname, name.substr(0, dot));
    put_part(ext, name.substr(dot));
}

void _wmakepath(WCHAR* path, const WCHAR* drive, const WCHAR* dir, const WCHAR* fname, const WCHAR* ext)
{
    std::u16string result(part_or_empty(drive));
    result += u'\\';
    result += part_or_empty(dir);
    result += u'\\';
    result += part_or_empty(fname);
    std::u16string_view extension = part_or_empty(ext);
    if (!extension.empty()) {
        if (extension.front() != u'.')
            result += u'.';
        result += extension;
    }
    std::copy(result.begin(), result.end(), path);
    path[result.size()] = 0;
}

ULONGLONG CE_clock()
{
    SYSTEMTIME now {};
    GetSystemTime(&now);
    FILETIME file_time {};
    SystemTimeToFileTime(&now, &file_time);
    ULONGLONG intervals = (static_cast<ULONGLONG>(file_time.dwHighDateTime) << 32) | file_time.dwLowDateTime;
    return intervals / 10000;
}
