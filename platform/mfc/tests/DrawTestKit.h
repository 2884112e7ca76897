#pragma once

#include "Colour.h"
#include "FrameBuffer.h"
#include "Gdi.h"
#include "TestDevice.h"
#include "gdi/tests/ScreenPixels.h"
#include "platform.h"

#include <gtest/gtest.h>

namespace kivo::test {

// A device with the screen's drawing layer, the controller's resources and the draw log on.
class DrawTest : public ::testing::Test {
protected:
    DrawTest() { gdi.draw_log().set_recording(true); }

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

    std::unique_ptr<Device> device = make_test_device();
    FrameBuffer& frame_buffer = device->component<FrameBuffer>();
    Gdi& gdi = device->component<Gdi>();
};

} // namespace kivo::test
