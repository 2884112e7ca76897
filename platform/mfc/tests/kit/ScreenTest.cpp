#include "ScreenTest.h"

#include "gdi/tests/ScreenPixels.h"

#include <algorithm>

namespace kivo::test {

ScreenTest::ScreenTest()
{
    gdi.draw_log().set_recording(true);
}

int ScreenTest::pixels_not(const RECT& rect, COLORREF colour) const
{
    return screen_pixels_not(frame_buffer, rect, colour);
}

void ScreenTest::fill_screen(COLORREF colour)
{
    HDC screen = GetDC(nullptr);
    CDC::FromHandle(screen)->FillSolidRect(0, 0, FrameBuffer::width, FrameBuffer::height, colour);
    ReleaseDC(nullptr, screen);
    CDC::release_temporary(screen);
}

ResourceTable& ScreenTest::resources()
{
    return gdi.resources(AfxGetResourceHandle());
}

void ScreenTest::drain()
{
    MSG message {};
    while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            break;
        DispatchMessage(&message);
    }
}

void ScreenTest::pass(uint32_t ms)
{
    constexpr uint32_t step = 50;
    for (uint32_t done = 0; done < ms; done += step) {
        device->advance(std::min(step, ms - done));
        drain();
    }
}

} // namespace kivo::test
