// Skinkit reads skin and language INI files from the flash disk and the card: any bytes must read,
// every text must stay within its buffer, and a layout made from them must draw and take taps.

#include "FuzzDevice.h"
#include "Skinkit.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr const char16_t* file = u"\\NAND\\skin.ini";
constexpr int buffer_chars = 8;

// A text output may fill the buffer but never pass it.
void check_guard(const WCHAR* buffer)
{
    if (buffer[buffer_chars] != u'#')
        std::abort();
    bool terminated = false;
    for (int i = 0; i < buffer_chars; ++i)
        terminated |= buffer[i] == 0;
    if (!terminated)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Unreadable pictures and unknown texts write a debug line on every input.
    fuzz_device().trace_limit().set(256);
    write_fuzz_file(file, data, size);

    WCHAR buffer[buffer_chars + 1];
    auto fresh = [&] {
        for (auto& c : buffer)
            c = u'#';
        buffer[0] = 0;
    };
    fresh();
    al_GetSettingString(u"panel", u"name", file, buffer, buffer_chars);
    check_guard(buffer);
    int number = 0;
    RECT rect {};
    COLORREF colour = 0;
    al_GetSettingInt(u"panel", u"count", file, &number);
    al_GetSettingRect(u"panel", u"rect", file, &rect);
    al_GetSettingColor(u"panel", u"TextColor", file, &colour);

    if (SetLanguageFile(file)) {
        for (int id : { 0, 1, 100, -1 }) {
            fresh();
            LoadStringFromRC(buffer, buffer_chars, id);
            check_guard(buffer);
        }
    }

    StaticInfo info;
    GetStaticCtlInfoFromSetting(info, u"text", file);
    CLayout layout;
    layout.InitLayout(file, u"layout", nullptr);
    HDC screen = GetDC(nullptr);
    layout.DrawLayout(screen);
    DrawStaticText(screen, info, 1);
    ReleaseDC(nullptr, screen);
    for (POINT point : { POINT { 10, 10 }, POINT { 100, 100 } }) {
        layout.OnLButtonDown(0, point);
        layout.OnLButtonUp(0, point);
    }
    if (layout.GetAllbtnList()->GetCount() < 0)
        std::abort();
    return 0;
}
