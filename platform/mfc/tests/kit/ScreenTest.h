#pragma once

#include "kernel/tests/TestDevice.h"

#include "Colour.h"
#include "FrameBuffer.h"
#include "Gdi.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace kivo::test {

// A device with the screen's drawing layer and the draw log on, for the tests that look at the
// screen: pixels compared in RGB565, the controller's resources, and the messages of the
// controller's own windows handled by hand (the controller has no message loop).
class ScreenTest : public ::testing::Test {
protected:
    ScreenTest();

    static constexpr uint16_t c565(COLORREF colour) { return rgb565_of_colorref(colour); }
    uint16_t pixel(int x, int y) const { return frame_buffer.pixel(x, y); }
    // How many screen pixels inside the rectangle differ from a colour.
    int pixels_not(const RECT&, COLORREF) const;
    void fill_screen(COLORREF);
    ResourceTable& resources();
    // Handles what is queued for the controller's windows: paints, posts and timer ticks.
    static void drain();
    // Lets device time pass, handling what comes due on the way as a message loop would (a due
    // timer only marks itself pending until it is handled).
    void pass(uint32_t ms);

    std::unique_ptr<Device> device = make_test_device();
    FrameBuffer& frame_buffer = device->component<FrameBuffer>();
    Gdi& gdi = device->component<Gdi>();
};

} // namespace kivo::test
