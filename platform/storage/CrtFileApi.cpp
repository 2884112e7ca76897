#include "CrtFileApi.h"

#include "CodePages.h"
#include "CrtStreams.h"
#include "Device.h"
#include "KernelApi.h"
#include "WideScanner.h"
#include "WideText.h"

#include <cerrno>

using namespace kivo;

namespace {

CrtStreams& streams()
{
    return Device::current().component<CrtStreams>();
}

FILE* open(std::u16string_view path, std::string_view mode)
{
    DWORD error = 0;
    FILE* stream = streams().open(path, mode, error);
    SetLastError(error);
    return stream;
}

WideStream wide(FILE* stream)
{
    return WideStream(stream, streams().is_text(stream));
}

} // namespace

FILE* _wfopen(const WCHAR* path, const WCHAR* mode)
{
    if (!path || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    return open(path, to_utf8(mode));
}

FILE* kivo_fopen(const char* path, const char* mode)
{
    if (!path || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    auto& device = Device::current();
    auto wide_path = device.component<CodePages>().to_wide(0, path);
    if (!wide_path) {
        errno = EINVAL;
        return nullptr;
    }
    return open(wide_path->text, mode);
}

int vfwprintf(FILE* stream, const WCHAR* format, va_list arguments)
{
    std::u16string text = vformat_wide(format, arguments);
    return wide(stream).put(text) ? static_cast<int>(text.size()) : -1;
}

int fwprintf(FILE* stream, const WCHAR* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    int result = vfwprintf(stream, format, arguments);
    va_end(arguments);
    return result;
}

int fwscanf(FILE* stream, const WCHAR* format, ...)
{
    auto reader = wide(stream);
    va_list arguments;
    va_start(arguments, format);
    int result = WideScanner(reader).scan(format, arguments);
    va_end(arguments);
    return result;
}

WCHAR* fgetws(WCHAR* buffer, int count, FILE* stream)
{
    if (!buffer || count <= 0)
        return nullptr;
    auto reader = wide(stream);
    int length = 0;
    while (length < count - 1) {
        auto c = reader.get();
        if (!c)
            break;
        buffer[length++] = *c;
        if (*c == u'\n')
            break;
    }
    if (length == 0)
        return nullptr;
    buffer[length] = 0;
    return buffer;
}

int fputws(const WCHAR* text, FILE* stream)
{
    return text && wide(stream).put(text) ? 0 : -1;
}
