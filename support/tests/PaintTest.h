#pragma once

#include "ScreenTest.h"
#include "TestPictures.h"

namespace kivo::test {

// The screen kit with the test pictures in the controller's resources and a full-screen test
// window of the controller's own to paint on.
class PaintTest : public ScreenTest {
protected:
    PaintTest()
    {
        TestPictures::add(resources());
        window.CreateEx(0, nullptr, u"paint test", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr);
        drain();
    }
    ~PaintTest() override { window.DestroyWindow(); }

    CWnd window;
};

} // namespace kivo::test
