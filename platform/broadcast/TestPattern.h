#pragma once

// The picture of a test service: colour bars, the service's name large on a dark band and a clock
// of the stream's own time (hh:mm:ss.f), drawn with the layer's canvas so the text is the device's.

#include "gdi/Bitmap.h"
#include "gdi/FontEngine.h"

#include <memory>
#include <string>

namespace kivo {

class TestPattern {
public:
    TestPattern(int width, int height, std::u16string name, FontEngine&);

    // Draws picture `index` of the stream (at 25 pictures a second); the bars and the name stay,
    // the clock moves.
    void draw(int index);
    // RGB565 pixels, top row first.
    Bitmap& bitmap() { return *m_bitmap; }

    RECT bars_area() const;
    RECT name_area() const;
    RECT clock_area() const;

    static std::u16string clock_text(int index);

private:
    int m_width;
    int m_height;
    std::shared_ptr<Bitmap> m_bitmap;
    FontEngine& m_fonts;
};

} // namespace kivo
