#include "GdiApi.h"

#include "GwesApi.h"
#include "PaintTargets.h"

#include "Bitmap.h"
#include "Brush.h"
#include "Colour.h"
#include "GdiCall.h"
#include "Pen.h"
#include "Raster.h"
#include "RegionObject.h"
#include "WideText.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace kivo;

namespace {

// Coordinates beyond this are refused rather than overflowing when a width is added.
constexpr int64_t coordinate_limit = 1 << 28;

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

bool in_range(int64_t value)
{
    return value > -coordinate_limit && value < coordinate_limit;
}

// The rectangle at (x, y) of a size, or nothing when it cannot be represented.
std::optional<RECT> rect_of(int64_t x, int64_t y, int64_t width, int64_t height)
{
    if (!in_range(x) || !in_range(y) || !in_range(width) || !in_range(height))
        return std::nullopt;
    return RECT { LONG(x), LONG(y), LONG(x + width), LONG(y + height) };
}

int region_kind(const Region& region)
{
    if (region.empty())
        return NULLREGION;
    return region.rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

std::optional<RasterOp> raster_op(DWORD rop)
{
    switch (rop) {
    case SRCCOPY:
        return RasterOp::Copy;
    case SRCAND:
        return RasterOp::And;
    case SRCPAINT:
        return RasterOp::Or;
    case SRCINVERT:
        return RasterOp::Xor;
    default:
        return std::nullopt;
    }
}

UINT resource_id_of(const DeviceContext& dc)
{
    return dc.on_screen() ? 0 : dc.state().bitmap.object->resource_id();
}

// The copy behind BitBlt, StretchBlt and the transparent copies, from a context or a bitmap.
BOOL blit(GdiCall& call, const char* name, HDC destination, int x, int y, int width, int height, const Surface& from,
    POINT source_origin, UINT bitmap_id, int source_x, int source_y, int source_width, int source_height, RasterOp op,
    std::optional<uint16_t> key)
{
    auto dc = call.dc(destination);
    if (!dc)
        return FALSE;
    if (width < 0 || height < 0 || source_width < 0 || source_height < 0) {
        // FIXME: mirrored copies (negative sizes); no program asks for them.
        call.device().write_debug(format_wide(u"%hs: mirrored copies are not supported\r\n", name));
        return fail(ERROR_NOT_SUPPORTED);
    }
    auto target = rect_of(x, y, width, height);
    auto source = rect_of(int64_t(source_x) + source_origin.x, int64_t(source_y) + source_origin.y, source_width, source_height);
    if (!target || !source)
        return fail(ERROR_INVALID_PARAMETER);
    RECT on_surface = dc->to_surface(*target);
    bool painted = copy_pixels(dc->surface(), on_surface, dc->clip(), from, *source, op, key);
    call.log(*dc, { name, on_surface, bitmap_id, {}, 0, painted });
    return TRUE;
}

void paint_fill(GdiCall& call, DeviceContext& dc, const char* name, const RECT& logical, COLORREF colour)
{
    RECT on_surface = dc.to_surface(logical);
    Region clip = dc.clip();
    dc.surface().fill(on_surface, rgb565_of_colorref(colour), clip);
    clip.intersect(on_surface);
    call.log(dc, { name, on_surface, 0, {}, colour, !clip.empty() });
}

// A line from the pen's position to (x, y), the end point left out, as the platform draws it.
bool paint_line(DeviceContext& dc, POINT from, POINT to, const Pen& pen)
{
    Surface surface = dc.surface();
    Region clip = dc.clip();
    uint16_t colour = rgb565_of_colorref(pen.colour());
    int dx = std::abs(to.x - from.x);
    int dy = -std::abs(to.y - from.y);
    int step_x = from.x < to.x ? 1 : -1;
    int step_y = from.y < to.y ? 1 : -1;
    int error = dx + dy;
    int reach = pen.width() / 2;
    bool painted = false;
    POINT at = from;
    while (at.x != to.x || at.y != to.y) {
        painted = painted || clip.contains(at.x, at.y);
        surface.fill({ at.x - reach, at.y - reach, at.x - reach + pen.width(), at.y - reach + pen.width() }, colour, clip);
        int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            at.x += step_x;
        }
        if (twice <= dx) {
            error += dx;
            at.y += step_y;
        }
    }
    return painted;
}

} // namespace

HDC GetDC(HWND window)
{
    GdiCall call;
    if (!window) {
        RECT screen = call.gdi().screen().bounds();
        auto dc = std::make_shared<DeviceContext>(call.gdi().screen(), POINT { 0, 0 }, Region(screen), call.gdi().fresh_state());
        return static_cast<HDC>(call.device().handles().insert(std::move(dc), call.process()));
    }
    // Windows have no frame here, so a window's context and its client area's are the same.
    auto target = PaintTargets::of(call.device()).paint_target(window);
    if (!target) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    auto dc = std::make_shared<DeviceContext>(call.gdi().screen(), target->origin, std::move(target->visible), call.gdi().fresh_state());
    return static_cast<HDC>(call.device().handles().insert(std::move(dc), call.process()));
}

HDC GetWindowDC(HWND window)
{
    return GetDC(window);
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint)
{
    HDC handle = nullptr;
    RECT bounds {};
    bool erase = false;
    {
        GdiCall call;
        if (!paint) {
            SetLastError(PaintTargets::of(call.device()).paint_target(window) ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        // Painting covers what was invalid, and only where the window shows; the window is valid
        // now.
        auto target = PaintTargets::of(call.device()).begin_paint(window);
        if (!target) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        Region invalid = std::move(target->update);
        invalid.offset(target->origin.x, target->origin.y);
        invalid.intersect(target->visible);
        bounds = target->update_bounds;
        erase = target->erase;
        auto dc = std::make_shared<DeviceContext>(call.gdi().screen(), target->origin, std::move(invalid), call.gdi().fresh_state());
        handle = static_cast<HDC>(call.device().handles().insert(std::move(dc), call.process()));
    }
    *paint = {};
    paint->hdc = handle;
    paint->rcPaint = bounds;
    // Sent without the drawing lock: the window's handler draws with the context.
    if (erase)
        paint->fErase = SendMessage(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(handle), 0) == 0;
    return handle;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint)
{
    if (!paint)
        return FALSE;
    return ReleaseDC(window, paint->hdc) ? TRUE : FALSE;
}

int ReleaseDC(HWND, HDC handle)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc || !dc->on_screen())
        return 0;
    call.device().handles().close(handle, call.process());
    return 1;
}

HDC CreateCompatibleDC(HDC like)
{
    GdiCall call;
    if (like && !call.dc(like))
        return nullptr;
    auto dc = std::make_shared<DeviceContext>(call.gdi().fresh_state());
    return static_cast<HDC>(call.device().handles().insert(std::move(dc), call.process()));
}

BOOL DeleteDC(HDC handle)
{
    GdiCall call;
    if (!call.dc(handle))
        return FALSE;
    call.device().handles().close(handle, call.process());
    return TRUE;
}

int SaveDC(HDC handle)
{
    GdiCall call;
    auto dc = call.dc(handle);
    return dc ? dc->save() : 0;
}

BOOL RestoreDC(HDC handle, int saved)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return FALSE;
    if (!dc->restore(saved))
        return fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object_handle)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return nullptr;
    auto object = call.object<GdiObject>(object_handle);
    if (!object)
        return nullptr;
    auto& state = dc->state();
    auto swap = [&](auto& selected, auto new_object) -> HGDIOBJ {
        HGDIOBJ previous = selected.handle;
        selected = { std::move(new_object), object_handle };
        return previous;
    };
    switch (object->type()) {
    case GdiObject::Type::Bitmap:
        if (dc->on_screen()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        return swap(state.bitmap, std::static_pointer_cast<Bitmap>(object));
    case GdiObject::Type::Font:
        return swap(state.font, std::static_pointer_cast<Font>(object));
    case GdiObject::Type::Brush:
        return swap(state.brush, std::static_pointer_cast<Brush>(object));
    case GdiObject::Type::Pen:
        return swap(state.pen, std::static_pointer_cast<Pen>(object));
    case GdiObject::Type::Region: {
        // Selecting a region sets the clip region and answers its kind, as SelectClipRgn does.
        Region clip = std::static_pointer_cast<RegionObject>(object)->region();
        clip.offset(dc->origin().x, dc->origin().y);
        state.clip = std::move(clip);
        return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(region_kind(dc->clip())));
    }
    }
    return nullptr;
}

BOOL DeleteObject(HGDIOBJ handle)
{
    GdiCall call;
    if (call.gdi().is_stock(handle))
        return TRUE;
    if (!call.object<GdiObject>(handle))
        return FALSE;
    // A context that has the object selected keeps it until it selects another or is deleted.
    call.device().handles().close(handle, call.process());
    return TRUE;
}

HGDIOBJ GetStockObject(int index)
{
    GdiCall call;
    bool handed_out = (index >= WHITE_BRUSH && index <= NULL_PEN) || index == SYSTEM_FONT;
    if (!handed_out) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    call.gdi().stock_object(index);
    return call.gdi().stock_handle(index);
}

int GetObject(HGDIOBJ handle, int size, LPVOID buffer)
{
    GdiCall call;
    auto object = call.object<GdiObject>(handle);
    if (!object)
        return 0;
    auto answer = [&](const auto& value) -> int {
        int needed = static_cast<int>(sizeof(value));
        if (!buffer)
            return needed;
        if (size < needed) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(buffer, &value, sizeof(value));
        return needed;
    };
    switch (object->type()) {
    case GdiObject::Type::Bitmap: {
        auto& bitmap = static_cast<Bitmap&>(*object);
        BITMAP info {};
        info.bmWidth = bitmap.width();
        info.bmHeight = bitmap.height();
        info.bmWidthBytes = bitmap.width_bytes();
        info.bmPlanes = 1;
        info.bmBitsPixel = static_cast<WORD>(bitmap.bits_per_pixel());
        info.bmBits = bitmap.is_dib() ? bitmap.bits() : nullptr;
        return answer(info);
    }
    case GdiObject::Type::Font:
        return answer(static_cast<Font&>(*object).logical());
    case GdiObject::Type::Brush:
    case GdiObject::Type::Pen:
    case GdiObject::Type::Region:
        break;
    }
    // FIXME: the descriptions of brushes, pens and regions; no program reads them back.
    call.device().write_debug(u"GetObject: only bitmaps and fonts are described\r\n");
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
}

HBITMAP CreateCompatibleBitmap(HDC like, int width, int height)
{
    GdiCall call;
    if (!call.dc(like))
        return nullptr;
    if (width < 0 || height < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (int64_t(width) * height > Bitmap::largest_pixels) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    // An empty size gives the one-pixel default bitmap, as on the device.
    if (width == 0 || height == 0)
        return static_cast<HBITMAP>(call.gdi().stock_handle(Gdi::default_bitmap));
    return static_cast<HBITMAP>(call.insert(Bitmap::create_compatible(width, height)));
}

HBITMAP CreateDIBSection(HDC like, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD)
{
    GdiCall call;
    if (bits)
        *bits = nullptr;
    if (like && !call.dc(like))
        return nullptr;
    if (section) {
        // FIXME: DIB sections in a file mapping; no program makes one.
        call.device().write_debug(u"CreateDIBSection: sections in a file mapping are not supported\r\n");
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (!info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) || usage != DIB_RGB_COLORS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const BITMAPINFOHEADER& header = info->bmiHeader;
    LONG width = header.biWidth;
    int64_t height = std::abs(int64_t(header.biHeight));
    if (width <= 0 || height == 0 || header.biPlanes != 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (width * height > Bitmap::largest_pixels) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    bool format_known = false;
    if (header.biBitCount == 24 && header.biCompression == BI_RGB)
        format_known = true;
    if (header.biBitCount == 16 && header.biCompression == BI_BITFIELDS) {
        DWORD masks[3];
        std::memcpy(masks, reinterpret_cast<const uint8_t*>(info) + header.biSize, sizeof(masks));
        format_known = masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F;
    }
    if (!format_known) {
        // FIXME: other DIB formats (palettes, 5-5-5, 32 bits); the programs use RGB565 and 24 bits.
        call.device().write_debug(format_wide(u"CreateDIBSection: %u bits with compression %u are not supported\r\n",
            unsigned(header.biBitCount), unsigned(header.biCompression)));
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto bitmap = Bitmap::create_dib(width, static_cast<int>(height), header.biBitCount, header.biHeight > 0);
    if (bits)
        *bits = bitmap->bits();
    return static_cast<HBITMAP>(call.insert(std::move(bitmap)));
}

HBRUSH CreateSolidBrush(COLORREF colour)
{
    GdiCall call;
    return static_cast<HBRUSH>(call.insert(std::make_shared<Brush>(colour & 0x00FFFFFF)));
}

HPEN CreatePen(int style, int width, COLORREF colour)
{
    GdiCall call;
    if (style != PS_SOLID && style != PS_NULL) {
        // FIXME: dashed and dotted pens; the programs draw solid lines only.
        call.device().write_debug(format_wide(u"CreatePen: style %d is not supported\r\n", style));
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return static_cast<HPEN>(call.insert(std::make_shared<Pen>(style == PS_NULL, width, colour & 0x00FFFFFF)));
}

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    GdiCall call;
    RECT rect { std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom) };
    return static_cast<HRGN>(call.insert(std::make_shared<RegionObject>(Region(rect))));
}

HRGN CreateRectRgnIndirect(const RECT* rect)
{
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int CombineRgn(HRGN destination, HRGN first, HRGN second, int mode)
{
    GdiCall call;
    auto target = call.object<RegionObject>(destination);
    auto a = call.object<RegionObject>(first);
    auto b = mode == RGN_COPY ? a : call.object<RegionObject>(second);
    if (!target || !a || !b)
        return RGN_ERROR;
    Region result = a->region();
    switch (mode) {
    case RGN_AND:
        result.intersect(b->region());
        break;
    case RGN_OR:
        result.unite(b->region());
        break;
    case RGN_XOR: {
        Region other = b->region();
        other.subtract(a->region());
        result.subtract(b->region());
        result.unite(other);
        break;
    }
    case RGN_DIFF:
        result.subtract(b->region());
        break;
    case RGN_COPY:
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return RGN_ERROR;
    }
    target->region() = std::move(result);
    return region_kind(target->region());
}

int SetWindowRgn(HWND hwnd, HRGN handle, BOOL redraw)
{
    std::optional<Region> region;
    if (handle) {
        GdiCall call;
        auto object = call.object<RegionObject>(handle);
        if (!object)
            return 0;
        region = object->region();
    }
    if (!PaintTargets::of(Device::current()).set_window_region(hwnd, std::move(region), redraw)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    // The window system owns the region now.
    if (handle)
        DeleteObject(handle);
    return 1;
}

int GetWindowRgn(HWND hwnd, HRGN handle)
{
    auto region = PaintTargets::of(Device::current()).window_region(hwnd);
    GdiCall call;
    auto target = call.object<RegionObject>(handle);
    if (!region || !target)
        return RGN_ERROR;
    target->region() = *region;
    return region_kind(*region);
}

int SelectClipRgn(HDC handle, HRGN region)
{
    if (region)
        return static_cast<int>(reinterpret_cast<uintptr_t>(SelectObject(handle, region)));
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return RGN_ERROR;
    dc->state().clip.reset();
    return region_kind(dc->clip());
}

namespace {

// Narrows a context's clip region by a rectangle in its own coordinates: keeps only what lies in
// it, or cuts it out.
int narrow_clip(HDC handle, const RECT& rect, bool keep_inside)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return RGN_ERROR;
    auto& clip = dc->state().clip;
    if (!clip)
        clip = dc->visible();
    if (keep_inside)
        clip->intersect(dc->to_surface(rect));
    else
        clip->subtract(dc->to_surface(rect));
    return region_kind(dc->clip());
}

} // namespace

int IntersectClipRect(HDC handle, int left, int top, int right, int bottom)
{
    return narrow_clip(handle, RECT { left, top, right, bottom }, true);
}

int ExcludeClipRect(HDC handle, int left, int top, int right, int bottom)
{
    return narrow_clip(handle, RECT { left, top, right, bottom }, false);
}

int GetClipBox(HDC handle, LPRECT box)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc || !box)
        return RGN_ERROR;
    Region clip = dc->clip();
    clip.offset(-dc->origin().x, -dc->origin().y);
    *box = clip.bounds();
    return region_kind(clip);
}

BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int source_x, int source_y, DWORD rop)
{
    return StretchBlt(destination, x, y, width, height, source, source_x, source_y, width, height, rop);
}

BOOL StretchBlt(HDC destination, int x, int y, int width, int height, HDC source, int source_x, int source_y,
    int source_width, int source_height, DWORD rop)
{
    GdiCall call;
    const char* name = width == source_width && height == source_height ? "BitBlt" : "StretchBlt";
    if (rop == BLACKNESS || rop == WHITENESS) {
        auto dc = call.dc(destination);
        auto rect = rect_of(x, y, width, height);
        if (!dc || !rect)
            return dc ? fail(ERROR_INVALID_PARAMETER) : FALSE;
        paint_fill(call, *dc, name, *rect, rop == BLACKNESS ? RGB(0, 0, 0) : RGB(255, 255, 255));
        return TRUE;
    }
    auto op = raster_op(rop);
    if (!op) {
        // FIXME: raster operations with a pattern or a negated source; no program names one.
        call.device().write_debug(format_wide(u"%hs: raster operation 0x%08X is not supported\r\n", name, unsigned(rop)));
        return fail(ERROR_NOT_SUPPORTED);
    }
    auto from = call.dc(source);
    if (!from)
        return FALSE;
    return blit(call, name, destination, x, y, width, height, from->surface(), from->origin(), resource_id_of(*from),
        source_x, source_y, source_width, source_height, *op, std::nullopt);
}

BOOL TransparentImage(HDC destination, int x, int y, int width, int height, HANDLE source, int source_x, int source_y,
    int source_width, int source_height, COLORREF key)
{
    GdiCall call;
    // The key is compared in the screen's format, so every colour that becomes the same RGB565
    // value is see-through.
    uint16_t key_565 = rgb565_of_colorref(key);
    auto object = call.device().handles().resolve(source, call.process());
    if (auto from = std::dynamic_pointer_cast<DeviceContext>(object)) {
        return blit(call, "TransparentImage", destination, x, y, width, height, from->surface(), from->origin(),
            resource_id_of(*from), source_x, source_y, source_width, source_height, RasterOp::Copy, key_565);
    }
    if (auto bitmap = std::dynamic_pointer_cast<Bitmap>(object)) {
        return blit(call, "TransparentImage", destination, x, y, width, height, bitmap->surface(), POINT { 0, 0 },
            bitmap->resource_id(), source_x, source_y, source_width, source_height, RasterOp::Copy, key_565);
    }
    return fail(ERROR_INVALID_HANDLE);
}

BOOL TransparentBlt(HDC destination, int x, int y, int width, int height, HDC source, int source_x, int source_y,
    int source_width, int source_height, UINT key)
{
    GdiCall call;
    auto from = call.dc(source);
    if (!from)
        return FALSE;
    return blit(call, "TransparentBlt", destination, x, y, width, height, from->surface(), from->origin(),
        resource_id_of(*from), source_x, source_y, source_width, source_height, RasterOp::Copy, rgb565_of_colorref(key));
}

int FillRect(HDC handle, const RECT* rect, HBRUSH brush_handle)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return 0;
    auto brush = call.object<Brush>(brush_handle);
    if (!brush || !rect)
        return fail(brush ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    if (!brush->is_hollow())
        paint_fill(call, *dc, "FillRect", *rect, brush->colour());
    return 1;
}

BOOL Rectangle(HDC handle, int left, int top, int right, int bottom)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return FALSE;
    auto& state = dc->state();
    const Pen& pen = *state.pen.object;
    const Brush& brush = *state.brush.object;
    RECT outer { std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom) };
    if (pen.is_null()) {
        // Without an outline the filled area is one pixel smaller, as on the device.
        outer.right -= 1;
        outer.bottom -= 1;
        if (!brush.is_hollow())
            paint_fill(call, *dc, "Rectangle", outer, brush.colour());
        return TRUE;
    }
    int thickness = pen.width();
    RECT inner { outer.left + thickness, outer.top + thickness, outer.right - thickness, outer.bottom - thickness };
    Surface surface = dc->surface();
    Region clip = dc->clip();
    if (!brush.is_hollow() && !Region::is_empty(inner))
        surface.fill(dc->to_surface(inner), rgb565_of_colorref(brush.colour()), clip);
    Region frame(dc->to_surface(outer));
    frame.subtract(dc->to_surface(inner));
    for (auto& piece : frame.rects())
        surface.fill(piece, rgb565_of_colorref(pen.colour()), clip);
    Region painted = clip;
    painted.intersect(dc->to_surface(outer));
    call.log(*dc, { "Rectangle", dc->to_surface(outer), 0, {}, pen.colour(), !painted.empty() });
    return TRUE;
}

BOOL MoveToEx(HDC handle, int x, int y, LPPOINT previous)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return FALSE;
    if (previous)
        *previous = dc->state().position;
    dc->state().position = { x, y };
    return TRUE;
}

BOOL LineTo(HDC handle, int x, int y)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return FALSE;
    if (!in_range(x) || !in_range(y))
        return fail(ERROR_INVALID_PARAMETER);
    auto& state = dc->state();
    POINT from = dc->to_surface(state.position);
    POINT to = dc->to_surface(POINT { x, y });
    state.position = { x, y };
    if (state.pen.object->is_null())
        return TRUE;
    bool painted = paint_line(*dc, from, to, *state.pen.object);
    RECT span { std::min(from.x, to.x), std::min(from.y, to.y), std::max(from.x, to.x) + 1, std::max(from.y, to.y) + 1 };
    call.log(*dc, { "LineTo", span, 0, {}, state.pen.object->colour(), painted });
    return TRUE;
}

COLORREF SetPixel(HDC handle, int x, int y, COLORREF colour)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return CLR_INVALID;
    POINT at = dc->to_surface(POINT { x, y });
    if (!dc->clip().contains(at.x, at.y))
        return CLR_INVALID;
    uint16_t value = rgb565_of_colorref(colour);
    dc->surface().set(at.x, at.y, value);
    return colorref_of_565(value);
}

COLORREF GetPixel(HDC handle, int x, int y)
{
    GdiCall call;
    auto dc = call.dc(handle);
    if (!dc)
        return CLR_INVALID;
    POINT at = dc->to_surface(POINT { x, y });
    if (!dc->clip().contains(at.x, at.y))
        return CLR_INVALID;
    return colorref_of_565(dc->surface().get(at.x, at.y));
}
