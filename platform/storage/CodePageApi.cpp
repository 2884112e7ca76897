#include "CodePageApi.h"

#include "CodePages.h"
#include "Device.h"
#include "KernelApi.h"
#include "WideCrt.h"

#include <algorithm>
#include <cstring>

using namespace kivo;

namespace {

CodePages& pages()
{
    return Device::current().component<CodePages>();
}

int fail(DWORD error)
{
    SetLastError(error);
    return 0;
}

// Hands the result to the caller: its size when asked with no room, else the copy when it fits.
template<typename Char>
int deliver(std::basic_string_view<Char> result, Char* output, int room)
{
    int size = static_cast<int>(result.size());
    if (room == 0) {
        SetLastError(ERROR_SUCCESS);
        return size;
    }
    if (!output || size > room)
        return fail(ERROR_INSUFFICIENT_BUFFER);
    std::copy(result.begin(), result.end(), output);
    SetLastError(ERROR_SUCCESS);
    return size;
}

} // namespace

int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int length, LPWSTR wide, int wide_length)
{
    if (!text || length == 0 || length < -1 || wide_length < 0)
        return fail(ERROR_INVALID_PARAMETER);
    // A length of -1 takes the text with its terminating zero.
    size_t size = length == -1 ? std::strlen(text) + 1 : static_cast<size_t>(length);
    auto converted = pages().to_wide(code_page, std::string_view(text, size));
    if (!converted)
        return fail(ERROR_INVALID_PARAMETER);
    if (converted->replaced && (flags & MB_ERR_INVALID_CHARS))
        return fail(ERROR_NO_UNICODE_TRANSLATION);
    return deliver(std::u16string_view(converted->text), wide, wide_length);
}

int WideCharToMultiByte(UINT code_page, DWORD, LPCWSTR text, int length, LPSTR narrow, int narrow_length,
    LPCSTR default_character, LPBOOL used_default)
{
    if (!text || length == 0 || length < -1 || narrow_length < 0)
        return fail(ERROR_INVALID_PARAMETER);
    // UTF-8 holds every character: it takes no default character, as on the device.
    if (pages().actual(code_page) == CP_UTF8 && (default_character || used_default))
        return fail(ERROR_INVALID_PARAMETER);
    size_t size = length == -1 ? wcslen(text) + 1 : static_cast<size_t>(length);
    auto converted = pages().to_narrow(code_page, std::u16string_view(text, size), default_character ? *default_character : '?');
    if (!converted)
        return fail(ERROR_INVALID_PARAMETER);
    if (used_default)
        *used_default = converted->replaced ? TRUE : FALSE;
    return deliver(std::string_view(converted->text), narrow, narrow_length);
}

UINT GetACP()
{
    return pages().ansi_code_page();
}
