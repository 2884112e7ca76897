#include "GdiApi.h"

#include "GdiCall.h"
#include "Icon.h"
#include "WideText.h"

#include <algorithm>

using namespace kivo;

namespace {

// Resources are found by number; a name that is text is refused loudly.
bool resource_number(GdiCall& call, const char* caller, LPCWSTR name, UINT& id)
{
    if (!name || !IS_INTRESOURCE(name)) {
        // FIXME: resources named by text; the programs name theirs by number.
        call.device().write_debug(format_wide(u"%hs: only numbered resources are supported\r\n", caller));
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return false;
    }
    id = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name));
    return true;
}

} // namespace

HBITMAP LoadBitmap(HINSTANCE module, LPCWSTR name)
{
    GdiCall call;
    UINT id = 0;
    if (!resource_number(call, "LoadBitmap", name, id))
        return nullptr;
    auto bitmap = module ? call.gdi().resources(module).load_bitmap(id, call.gdi().fonts()) : nullptr;
    if (!bitmap) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HBITMAP>(call.insert(std::move(bitmap)));
}

HICON LoadIcon(HINSTANCE module, LPCWSTR name)
{
    GdiCall call;
    UINT id = 0;
    if (!resource_number(call, "LoadIcon", name, id))
        return nullptr;
    auto picture = module ? call.gdi().resources(module).load_icon(id, call.gdi().fonts()) : nullptr;
    if (!picture) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HICON>(call.device().handles().insert(std::make_shared<Icon>(std::move(picture)), call.process()));
}

BOOL DestroyIcon(HICON icon)
{
    GdiCall call;
    if (!call.device().handles().resolve_as<Icon>(icon, call.process())) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    call.device().handles().close(icon, call.process());
    return TRUE;
}

int LoadString(HINSTANCE module, UINT id, LPWSTR buffer, int size)
{
    GdiCall call;
    if (!buffer || size <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto text = module ? call.gdi().resources(module).string(id) : std::nullopt;
    if (!text) {
        buffer[0] = 0;
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    // Cut to fit, always terminated.
    size_t length = std::min(text->size(), size_t(size) - 1);
    std::char_traits<char16_t>::copy(buffer, text->data(), length);
    buffer[length] = 0;
    return static_cast<int>(length);
}
