#pragma once

#include "gdi/tests/ScreenPixels.h"
#include "kernel/tests/TestDevice.h"

#include "Colour.h"
#include "FrameBuffer.h"
#include "Gdi.h"
#include "TestPictures.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kivo::test {

// A device with the drawing layer, the draw log on, the test pictures in the controller's
// resources and a full-screen test window of the controller's own.
class PaintTest : public ::testing::Test {
protected:
    PaintTest()
    {
        TestPictures::add(gdi.resources(AfxGetResourceHandle()));
        gdi.draw_log().set_recording(true);
        window.CreateEx(0, nullptr, u"paint test", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr);
        drain();
    }
    ~PaintTest() override { window.DestroyWindow(); }

    static constexpr uint16_t c565(COLORREF colour) { return rgb565_of_colorref(colour); }
    uint16_t pixel(int x, int y) { return frame_buffer.pixel(x, y); }
    // How many screen pixels inside the rectangle differ from a colour.
    int pixels_not(const RECT& rect, COLORREF colour)
    {
        return screen_pixels_not(frame_buffer, rect, colour);
    }
    void fill_screen(COLORREF colour)
    {
        CDC* screen = CDC::FromHandle(GetDC(nullptr));
        screen->FillSolidRect(0, 0, FrameBuffer::width, FrameBuffer::height, colour);
        ReleaseDC(nullptr, screen->m_hDC);
        CDC::release_temporary(screen->m_hDC);
    }
    ResourceTable& resources() { return gdi.resources(AfxGetResourceHandle()); }
    // Handles what is queued for the controller's windows: paints and timer ticks.
    static void drain()
    {
        MSG message {};
        while (PeekMessage(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                break;
            DispatchMessage(&message);
        }
    }
    // Lets device time pass, handling what comes due on the way as a message loop would (a due
    // timer only marks itself pending until it is handled).
    void pass(uint32_t ms)
    {
        constexpr uint32_t step = 50;
        for (uint32_t done = 0; done < ms; done += step) {
            device->advance(std::min(step, ms - done));
            drain();
        }
    }

    std::unique_ptr<Device> device = make_test_device();
    FrameBuffer& frame_buffer = device->component<FrameBuffer>();
    Gdi& gdi = device->component<Gdi>();
    CWnd window;
};

} // namespace kivo::test
