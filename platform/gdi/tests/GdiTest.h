#pragma once

#include "Colour.h"
#include "Device.h"
#include "FrameBuffer.h"
#include "Gdi.h"
#include "TestDevice.h"
#include "gdi/tests/ScreenPixels.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <functional>

namespace kivo::test {

// A window procedure that fills the whole client area with the colour kept in the window's user
// data (GWL_USERDATA).
inline LRESULT fill_with_own_colour(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message != WM_PAINT)
        return DefWindowProc(hwnd, message, wparam, lparam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    RECT client {};
    GetClientRect(hwnd, &client);
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLong(hwnd, GWL_USERDATA)));
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    EndPaint(hwnd, &paint);
    return 0;
}

// Fills the whole screen with two colours by turns until `done` is set (bounded, should the
// thread waiting for it never run), for readers that must never see half of each.
inline void fill_screen_by_turns(COLORREF first, COLORREF second, const std::function<bool()>& done)
{
    HDC screen = GetDC(nullptr);
    HBRUSH brushes[] = { CreateSolidBrush(first), CreateSolidBrush(second) };
    RECT all { 0, 0, FrameBuffer::width, FrameBuffer::height };
    for (int i = 0; !done() && i < 1'000'000; ++i)
        FillRect(screen, &all, brushes[i % 2]);
    for (HBRUSH brush : brushes)
        DeleteObject(brush);
    ReleaseDC(nullptr, screen);
}

// A device with the screen's context open, and helpers to read the screen and to make bitmaps.
class GdiTest : public ::testing::Test {
protected:
    ~GdiTest() override
    {
        for (HDC dc : m_memory_dcs)
            DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    }

    uint16_t pixel(int x, int y) { return frame_buffer.pixel(x, y); }
    static constexpr uint16_t c565(COLORREF colour) { return rgb565_of_colorref(colour); }

    void fill_screen(COLORREF colour)
    {
        RECT all { 0, 0, FrameBuffer::width, FrameBuffer::height };
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(screen, &all, brush);
        DeleteObject(brush);
    }

    // A memory context with a new bitmap of one colour selected (the bitmap dies with the test).
    HDC memory_dc(int width, int height, COLORREF colour)
    {
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        SelectObject(dc, bitmap);
        RECT all { 0, 0, width, height };
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &all, brush);
        DeleteObject(brush);
        DeleteObject(bitmap); // the context keeps it
        m_memory_dcs.push_back(dc);
        return dc;
    }

    // How many screen pixels inside the rectangle differ from a colour.
    int pixels_not(const RECT& rect, COLORREF colour)
    {
        return screen_pixels_not(frame_buffer, rect, colour);
    }

    std::unique_ptr<Device> device = make_test_device();
    FrameBuffer& frame_buffer = device->component<FrameBuffer>();
    Gdi& gdi = device->component<Gdi>();
    HDC screen = GetDC(nullptr);

private:
    std::vector<HDC> m_memory_dcs;
};

} // namespace kivo::test
