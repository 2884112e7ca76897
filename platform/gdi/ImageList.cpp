// Image lists over the public drawing calls: the pictures live in one bitmap of the calling
// process, and every copy goes through BitBlt and TransparentBlt, which take the drawing lock
// themselves.

#include "GdiApi.h"
#include "GwesApi.h"

#include "Device.h"
#include "KernelApi.h"
#include "KernelObject.h"
#include "Process.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace kivo {

namespace {

class ImageListObject final : public KernelObject {
public:
    const char* kind() const override { return "image list"; }

    HBITMAP strip = nullptr;
    int cx = 0;
    int cy = 0;
    int capacity = 0;
    int grow = 1;
    UINT flags = 0;
    COLORREF background = CLR_NONE;
    // Each picture's mask colour, CLR_NONE when it has none.
    std::vector<COLORREF> masks;
};

std::shared_ptr<ImageListObject> image_list(HIMAGELIST handle)
{
    auto list = Device::current().handles().resolve_as<ImageListObject>(handle, Process::current());
    if (!list)
        SetLastError(ERROR_INVALID_HANDLE);
    return list;
}

// A memory context with a bitmap selected, put back as it was when it goes.
class SelectedBitmap {
public:
    explicit SelectedBitmap(HBITMAP bitmap)
        : m_dc(CreateCompatibleDC(nullptr))
        , m_previous(m_dc ? SelectObject(m_dc, bitmap) : nullptr)
    {
    }
    ~SelectedBitmap()
    {
        if (!m_dc)
            return;
        SelectObject(m_dc, m_previous);
        DeleteDC(m_dc);
    }
    SelectedBitmap(const SelectedBitmap&) = delete;
    SelectedBitmap& operator=(const SelectedBitmap&) = delete;
    HDC dc() const { return m_dc; }

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

bool reserve(ImageListObject& list, int count)
{
    if (count <= list.capacity)
        return true;
    int capacity = std::max(count, list.capacity + list.grow);
    HDC screen = GetDC(nullptr);
    HBITMAP strip = CreateCompatibleBitmap(screen, capacity * list.cx, list.cy);
    ReleaseDC(nullptr, screen);
    if (!strip)
        return false;
    if (list.strip) {
        SelectedBitmap to(strip);
        SelectedBitmap from(list.strip);
        BitBlt(to.dc(), 0, 0, static_cast<int>(list.masks.size()) * list.cx, list.cy, from.dc(), 0, 0, SRCCOPY);
        DeleteObject(list.strip);
    }
    list.strip = strip;
    list.capacity = capacity;
    return true;
}

} // namespace

} // namespace kivo

using namespace kivo;

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow)
{
    if (cx <= 0 || cy <= 0 || initial < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto list = std::make_shared<ImageListObject>();
    list->cx = cx;
    list->cy = cy;
    list->flags = flags;
    list->grow = std::max(grow, 1);
    if (!reserve(*list, std::max(initial, 1)))
        return nullptr;
    return static_cast<HIMAGELIST>(Device::current().handles().insert(list, Process::current()));
}

BOOL ImageList_Destroy(HIMAGELIST handle)
{
    auto list = image_list(handle);
    if (!list)
        return FALSE;
    DeleteObject(list->strip);
    list->strip = nullptr;
    list->masks.clear();
    return Device::current().handles().close(handle, Process::current());
}

int ImageList_AddMasked(HIMAGELIST handle, HBITMAP bitmap, COLORREF mask)
{
    auto list = image_list(handle);
    BITMAP info {};
    if (!list || !bitmap || !GetObject(bitmap, sizeof info, &info))
        return -1;
    int added = std::max(static_cast<int>(info.bmWidth) / list->cx, 1);
    int first = static_cast<int>(list->masks.size());
    if (!reserve(*list, first + added))
        return -1;
    {
        SelectedBitmap to(list->strip);
        SelectedBitmap from(bitmap);
        BitBlt(to.dc(), first * list->cx, 0, std::min(static_cast<int>(info.bmWidth), added * list->cx),
            std::min(static_cast<int>(info.bmHeight), list->cy), from.dc(), 0, 0, SRCCOPY);
    }
    list->masks.insert(list->masks.end(), added, (list->flags & ILC_MASK) ? mask : CLR_NONE);
    return first;
}

BOOL ImageList_Draw(HIMAGELIST handle, int image, HDC dc, int x, int y, UINT style)
{
    auto list = image_list(handle);
    if (!list || !dc || image < 0 || image >= static_cast<int>(list->masks.size()))
        return FALSE;
    SelectedBitmap from(list->strip);
    COLORREF mask = list->masks[static_cast<size_t>(image)];
    int source_x = image * list->cx;
    if (mask == CLR_NONE)
        return BitBlt(dc, x, y, list->cx, list->cy, from.dc(), source_x, 0, SRCCOPY);
    if (!(style & ILD_TRANSPARENT) && list->background != CLR_NONE) {
        RECT area { x, y, x + list->cx, y + list->cy };
        HBRUSH brush = CreateSolidBrush(list->background);
        FillRect(dc, &area, brush);
        DeleteObject(brush);
    }
    return TransparentBlt(dc, x, y, list->cx, list->cy, from.dc(), source_x, 0, list->cx, list->cy, mask);
}

int ImageList_GetImageCount(HIMAGELIST handle)
{
    auto list = image_list(handle);
    return list ? static_cast<int>(list->masks.size()) : 0;
}

BOOL ImageList_GetIconSize(HIMAGELIST handle, int* cx, int* cy)
{
    auto list = image_list(handle);
    if (!list || !cx || !cy)
        return FALSE;
    *cx = list->cx;
    *cy = list->cy;
    return TRUE;
}

BOOL ImageList_Remove(HIMAGELIST handle, int image)
{
    auto list = image_list(handle);
    if (!list)
        return FALSE;
    if (image == -1) {
        list->masks.clear();
        return TRUE;
    }
    int count = static_cast<int>(list->masks.size());
    if (image < 0 || image >= count)
        return FALSE;
    {
        // One picture at a time, so that no copy overlaps itself.
        SelectedBitmap strip(list->strip);
        for (int later = image + 1; later < count; ++later)
            BitBlt(strip.dc(), (later - 1) * list->cx, 0, list->cx, list->cy, strip.dc(), later * list->cx, 0, SRCCOPY);
    }
    list->masks.erase(list->masks.begin() + image);
    return TRUE;
}

COLORREF ImageList_SetBkColor(HIMAGELIST handle, COLORREF colour)
{
    auto list = image_list(handle);
    return list ? std::exchange(list->background, colour) : CLR_NONE;
}

COLORREF ImageList_GetBkColor(HIMAGELIST handle)
{
    auto list = image_list(handle);
    return list ? list->background : CLR_NONE;
}
