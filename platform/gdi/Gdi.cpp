#include "Gdi.h"

#include "DrawingCalls.h"
#include "GdiApi.h"
#include "GwesApi.h"
#include "PaintTargets.h"

#include "Bitmap.h"
#include "Brush.h"
#include "Colour.h"
#include "Device.h"
#include "Font.h"
#include "FrameBuffer.h"
#include "Pen.h"

#include <algorithm>

namespace kivo {

namespace {

// Stock objects have fixed handles below every handle the device issues, so that one value
// works in every process.
constexpr uintptr_t stock_handle_base = 0x80;

// What the window system's own windows paint with.
constexpr DrawingCalls drawing_calls {
    BeginPaint,
    EndPaint,
    GetDC,
    ReleaseDC,
    CreateCompatibleDC,
    DeleteDC,
    SelectObject,
    DeleteObject,
    GetObject,
    CreateSolidBrush,
    FillRect,
    BitBlt,
    SetTextColor,
    SetBkMode,
    DrawText,
    GetTextExtentPoint32,
    ImageList_Draw,
    ImageList_GetIconSize,
};

} // namespace

Gdi::Gdi(Device& device)
    : m_device(device)
    , m_lock(device.component<FrameBuffer>().lock())
{
    m_draw_log.follow(device.trace_limit());
    auto& frame_buffer = device.component<FrameBuffer>();
    m_screen = Surface(reinterpret_cast<uint8_t*>(frame_buffer.pixels()), FrameBuffer::width * 2, FrameBuffer::width,
        FrameBuffer::height, 16);

    m_stock[WHITE_BRUSH] = std::make_shared<Brush>(RGB(255, 255, 255));
    m_stock[LTGRAY_BRUSH] = std::make_shared<Brush>(RGB(192, 192, 192));
    m_stock[GRAY_BRUSH] = std::make_shared<Brush>(RGB(128, 128, 128));
    m_stock[DKGRAY_BRUSH] = std::make_shared<Brush>(RGB(64, 64, 64));
    m_stock[BLACK_BRUSH] = std::make_shared<Brush>(RGB(0, 0, 0));
    m_stock[NULL_BRUSH] = std::make_shared<Brush>(Brush::hollow);
    m_stock[WHITE_PEN] = std::make_shared<Pen>(false, 1, RGB(255, 255, 255));
    m_stock[BLACK_PEN] = std::make_shared<Pen>(false, 1, RGB(0, 0, 0));
    m_stock[NULL_PEN] = std::make_shared<Pen>(true, 1, RGB(0, 0, 0));
    m_stock[default_bitmap] = Bitmap::create_compatible(1, 1);

    PaintTargets::of(device).set_painter({
        [](HWND window) {
            HDC dc = GetDC(window);
            SendMessage(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
            ReleaseDC(window, dc);
        },
        [](HDC dc, HWND window, HBRUSH brush) {
            RECT client {};
            GetClientRect(window, &client);
            FillRect(dc, &client, brush);
        },
        &drawing_calls,
    });
}

Gdi::~Gdi() = default;

FontEngine& Gdi::fonts()
{
    std::lock_guard guard(m_fonts_lock);
    if (!m_fonts) {
        m_fonts = std::make_unique<FontEngine>(FontEngine::installed_files());
        // A fresh device context has this font: the Arial stand-in at the system font's height.
        LOGFONT logical {};
        logical.lfWeight = FW_NORMAL;
        logical.lfCharSet = DEFAULT_CHARSET;
        std::char_traits<char16_t>::copy(logical.lfFaceName, u"Arial", 6);
        m_stock[SYSTEM_FONT] = std::make_shared<Font>(logical, m_fonts->style_for(logical));
    }
    return *m_fonts;
}

ResourceTable& Gdi::resources(HMODULE module)
{
    std::lock_guard guard(m_resources_lock);
    auto& table = m_resources[module];
    if (!table)
        table = std::make_unique<ResourceTable>();
    return *table;
}

HGDIOBJ Gdi::stock_handle(int index) const
{
    return reinterpret_cast<HGDIOBJ>(stock_handle_base + uintptr_t(index) * 4);
}

bool Gdi::is_stock(HGDIOBJ handle) const
{
    auto value = reinterpret_cast<uintptr_t>(handle);
    if (value < stock_handle_base || value % 4 != 0)
        return false;
    size_t index = (value - stock_handle_base) / 4;
    return index < m_stock.size() && (m_stock[index] || index == SYSTEM_FONT);
}

std::shared_ptr<GdiObject> Gdi::stock_object(int index)
{
    if (index < 0 || index >= stock_count)
        return nullptr;
    if (index == SYSTEM_FONT)
        fonts();
    return m_stock[size_t(index)];
}

std::shared_ptr<GdiObject> Gdi::resolve(HGDIOBJ handle, const Process& process)
{
    if (is_stock(handle))
        return stock_object(static_cast<int>((reinterpret_cast<uintptr_t>(handle) - stock_handle_base) / 4));
    return m_device.handles().resolve_as<GdiObject>(handle, process);
}

HGDIOBJ Gdi::insert(std::shared_ptr<GdiObject> object, const Process& process)
{
    return m_device.handles().insert(std::move(object), process);
}

DeviceContext::State Gdi::fresh_state()
{
    DeviceContext::State state;
    state.bitmap = { std::static_pointer_cast<Bitmap>(m_stock[default_bitmap]), stock_handle(default_bitmap) };
    state.font = { std::static_pointer_cast<Font>(stock_object(SYSTEM_FONT)), stock_handle(SYSTEM_FONT) };
    state.brush = { std::static_pointer_cast<Brush>(m_stock[WHITE_BRUSH]), stock_handle(WHITE_BRUSH) };
    state.pen = { std::static_pointer_cast<Pen>(m_stock[BLACK_PEN]), stock_handle(BLACK_PEN) };
    return state;
}

std::optional<RECT> Gdi::video_key_bounds() const
{
    std::lock_guard guard(m_lock);
    RECT bounds { m_screen.width(), m_screen.height(), 0, 0 };
    bool any = false;
    for (int y = 0; y < m_screen.height(); ++y) {
        const uint16_t* row = m_screen.row_565(y);
        for (int x = 0; x < m_screen.width(); ++x) {
            if (row[x] != video_key_565)
                continue;
            any = true;
            bounds.left = std::min<LONG>(bounds.left, x);
            bounds.top = std::min<LONG>(bounds.top, y);
            bounds.right = std::max<LONG>(bounds.right, x + 1);
            bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
        }
    }
    if (!any)
        return std::nullopt;
    return bounds;
}

std::optional<RECT> Gdi::video_key_bounds(const RECT& within) const
{
    const int left = std::clamp<LONG>(within.left, 0, m_screen.width());
    const int right = std::clamp<LONG>(within.right, 0, m_screen.width());
    const int top = std::clamp<LONG>(within.top, 0, m_screen.height());
    const int bottom = std::clamp<LONG>(within.bottom, 0, m_screen.height());
    if (left >= right || top >= bottom)
        return std::nullopt;

    std::lock_guard guard(m_lock);
    auto row_has_key = [&](int y) {
        const uint16_t* row = m_screen.row_565(y);
        return std::find(row + left, row + right, video_key_565) != row + right;
    };
    int first_row = top;
    while (first_row < bottom && !row_has_key(first_row))
        ++first_row;
    if (first_row == bottom)
        return std::nullopt;
    int last_row = bottom - 1;
    while (!row_has_key(last_row))
        --last_row;

    // Each row is searched only beyond the columns already known to hold the key, so a key
    // that fills the rectangle costs about one pass over its edges.
    RECT bounds { right, first_row, left, last_row + 1 };
    for (int y = first_row; y <= last_row; ++y) {
        const uint16_t* row = m_screen.row_565(y);
        for (int x = left; x < bounds.left; ++x) {
            if (row[x] == video_key_565) {
                bounds.left = x;
                break;
            }
        }
        for (int x = right - 1; x >= bounds.right; --x) {
            if (row[x] == video_key_565) {
                bounds.right = x + 1;
                break;
            }
        }
    }
    return bounds;
}

static_assert(Gdi::video_key_565 == rgb565_of_colorref(Gdi::video_key));

} // namespace kivo
