// Skin pictures: BMP files, their descriptions, the process's cache and keyed drawing.

#include "SkinkitState.h"

#include "WideText.h"

namespace skinkit {

namespace {

std::u16string cache_key(const std::u16string& path)
{
    std::u16string key = path;
    for (auto& c : key)
        c = kivo::fold_case(c);
    return key;
}

BITMAP size_of(HBITMAP picture)
{
    BITMAP info {};
    GetObject(picture, sizeof(info), &info);
    return info;
}

} // namespace

HBITMAP cached_picture(std::u16string_view name)
{
    if (name.empty())
        return nullptr;
    std::u16string path = picture_path(name);
    auto& pictures = state().pictures;
    std::u16string key = cache_key(path);
    if (auto found = pictures.find(key); found != pictures.end())
        return found->second;
    HBITMAP picture = SHLoadDIBitmap(path.c_str());
    if (!picture) {
        OutputDebugString(kivo::format_wide(u"Skinkit: cannot load the picture \"%s\"\r\n", path.c_str()).c_str());
        return nullptr;
    }
    pictures.emplace(key, picture);
    return picture;
}

void draw_picture(HDC dc, HBITMAP picture, int x, int y, int width, int height, int sourceX, int sourceY)
{
    if (picture && width > 0 && height > 0)
        TransparentImage(dc, x, y, width, height, picture, sourceX, sourceY, width, height, SKIN_KEY_COLOUR);
}

} // namespace skinkit

using namespace skinkit;

BOOL al_LoadBitmapEx(CBitmap* bitmap, LPCWSTR fileName, AL_BITMAP* description)
{
    if (description)
        *description = {};
    // The caller's bitmap object owns the picture; without one it would have no owner.
    if (!bitmap)
        return FALSE;
    HBITMAP picture = al_LoadBitmapHandle(fileName);
    if (!picture)
        return FALSE;
    if (description) {
        BITMAP info = size_of(picture);
        // Handles are the device's 32-bit values, so the token fits the stored record.
        description->token = static_cast<DWORD>(reinterpret_cast<uintptr_t>(picture));
        description->width = info.bmWidth;
        description->height = info.bmHeight;
        description->keyColour = SKIN_KEY_COLOUR;
        description->transparent = 1;
    }
    bitmap->DeleteObject();
    bitmap->Attach(picture);
    return TRUE;
}

HBITMAP al_LoadBitmapHandle(LPCWSTR fileName)
{
    if (!fileName || !*fileName)
        return nullptr;
    return SHLoadDIBitmap(picture_path(fileName).c_str());
}

BOOL IsBmpLoad(LPCWSTR fileName)
{
    if (!fileName || !*fileName)
        return FALSE;
    std::u16string path = picture_path(fileName);
    for (auto& c : path)
        c = kivo::fold_case(c);
    return state().pictures.contains(path);
}
