#include "BluetoothStrip.h"

#include "Colour.h"
#include "Device.h"
#include "FrameBuffer.h"
#include "GdiApi.h"
#include "SimulatedPhones.h"
#include "VideoPlane.h"

#include <algorithm>

namespace kivo {

namespace {

struct Rgb {
    uint8_t red, green, blue;
};

constexpr Rgb background { 16, 40, 72 };
constexpr Rgb separator { 160, 184, 208 };
constexpr Rgb text_colour { 255, 255, 255 };
constexpr Rgb dim { 128, 140, 156 };
constexpr Rgb empty_bar { 56, 80, 112 };
constexpr Rgb radio_blue { 40, 128, 232 };
constexpr Rgb in_range_green { 48, 176, 72 };
constexpr Rgb ringing_amber { 255, 176, 32 };
constexpr Rgb low_amber { 255, 176, 32 };
constexpr Rgb active_green { 48, 176, 72 };
constexpr Rgb outgoing_blue { 48, 96, 152 };
constexpr Rgb current_frame { 255, 176, 32 };

// Drawing in one picture, clipped to its rows from top to bottom.
class Painter {
public:
    Painter(RgbPicture& picture, FontEngine& fonts, int top, int bottom)
        : m_picture(picture)
        , m_fonts(fonts)
        , m_top(std::max(top, 0))
        , m_bottom(std::min(bottom, picture.height))
    {
    }

    void fill(int left, int top, int right, int bottom, Rgb colour)
    {
        for (int y = std::max(top, m_top); y < std::min(bottom, m_bottom); ++y) {
            for (int x = std::max(left, 0); x < std::min(right, m_picture.width); ++x)
                put(x, y, colour, 255);
        }
    }

    void frame(int left, int top, int right, int bottom, Rgb colour)
    {
        fill(left, top, right, top + 1, colour);
        fill(left, bottom - 1, right, bottom, colour);
        fill(left, top, left + 1, bottom, colour);
        fill(right - 1, top, right, bottom, colour);
    }

    // Text with its baseline at y; answers the x where it ends.
    int text(int x, int baseline, std::u16string_view text, Rgb colour, int em, bool bold = false)
    {
        auto style = font(em, bold);
        for (char32_t character : code_points(text)) {
            const Glyph& glyph = m_fonts.glyph(style, character);
            for (int row = 0; row < glyph.rows; ++row) {
                int y = baseline - glyph.top + row;
                for (int column = 0; column < glyph.width; ++column) {
                    int px = x + glyph.left + column;
                    if (y >= m_top && y < m_bottom && px >= 0 && px < m_picture.width)
                        put(px, y, colour, glyph.coverage[size_t(row) * size_t(glyph.width) + size_t(column)]);
                }
            }
            x += glyph.advance;
        }
        return x;
    }

    int text_width(std::u16string_view text, int em, bool bold = false)
    {
        auto style = font(em, bold);
        int width = 0;
        for (char32_t character : code_points(text))
            width += m_fonts.advance(style, character);
        return width;
    }

    // A word on a coloured plate; answers the x where the plate ends.
    int plate(int x, int baseline, std::u16string_view word, Rgb plate_colour, int em)
    {
        int width = text_width(word, em, true) + 12;
        fill(x, baseline - em, x + width, baseline + em / 3 + 1, plate_colour);
        text(x + 6, baseline, word, text_colour, em, true);
        return x + width;
    }

    // Five bars rising to the right, as many lit as the level.
    int signal_bars(int x, int baseline, int level, Rgb lit)
    {
        for (int bar = 0; bar < phone_max_bars; ++bar) {
            int height = 4 + bar * 3;
            fill(x + bar * 5, baseline - height, x + bar * 5 + 3, baseline, bar < level ? lit : empty_bar);
        }
        return x + phone_max_bars * 5;
    }

    // A battery of five cells, as many full as the level.
    int battery(int x, int baseline, int level, Rgb lit)
    {
        frame(x, baseline - 14, x + 30, baseline, separator);
        fill(x + 30, baseline - 10, x + 32, baseline - 4, separator);
        for (int cell = 0; cell < phone_max_bars; ++cell)
            fill(x + 2 + cell * 5 + (cell > 0 ? 1 : 0), baseline - 12, x + 6 + cell * 5, baseline - 2, cell < level ? lit : empty_bar);
        return x + 32;
    }

private:
    FontStyle font(int em, bool bold)
    {
        LOGFONT logical {};
        logical.lfHeight = -em;
        logical.lfWeight = bold ? FW_BOLD : FW_NORMAL;
        return m_fonts.style_for(logical);
    }

    void put(int x, int y, Rgb colour, int coverage)
    {
        uint8_t* pixel = &m_picture.bytes[(size_t(y) * size_t(m_picture.width) + size_t(x)) * 3];
        auto mix = [coverage](uint8_t under, uint8_t over) {
            return static_cast<uint8_t>((under * (255 - coverage) + over * coverage + 127) / 255);
        };
        pixel[0] = mix(pixel[0], colour.red);
        pixel[1] = mix(pixel[1], colour.green);
        pixel[2] = mix(pixel[2], colour.blue);
    }

    RgbPicture& m_picture;
    FontEngine& m_fonts;
    int m_top;
    int m_bottom;
};

std::u16string call_word(CallState state)
{
    switch (state) {
    case CallState::Incoming:
        return u"RINGING";
    case CallState::Active:
        return u"IN CALL";
    case CallState::Outgoing:
        return u"DIALLING";
    case CallState::Idle:
        break;
    }
    return u"";
}

Rgb call_colour(CallState state)
{
    switch (state) {
    case CallState::Incoming:
        return ringing_amber;
    case CallState::Active:
        return active_green;
    default:
        return outgoing_blue;
    }
}

} // namespace

BluetoothStripView bluetooth_strip_view(const SimulatedPhones& phones)
{
    BluetoothStripView view;
    view.radio_on = phones.radio_power();
    auto connected = phones.connected_phone();
    auto current = phones.current_phone();
    for (auto& data : phones.phones()) {
        auto address = data.identity.address;
        auto world = phones.world_of(address);
        if (!world)
            continue; // removed meanwhile
        view.phones.push_back({ data.identity.name, data.paired, world->in_range, world->signal, world->battery,
            connected == address, current == address, world->call.state, world->call.number, world->call.name });
    }
    return view;
}

BluetoothStrip::BluetoothStrip()
    : m_fonts(FontEngine::installed_files())
{
}

void BluetoothStrip::paint(const BluetoothStripView& view, RgbPicture& picture, int top)
{
    constexpr int em = 17;
    constexpr int small = 14;
    constexpr int margin = 12;
    Painter paint(picture, m_fonts, top, top + height);
    paint.fill(0, top, picture.width, top + height, background);
    paint.fill(0, top, picture.width, top + 2, separator);

    // The device's radio and its link.
    int line = top + 27;
    int x = paint.text(margin, line, u"Bluetooth", text_colour, em, true) + 8;
    x = paint.plate(x, line, view.radio_on ? u"ON" : u"OFF", view.radio_on ? radio_blue : empty_bar, small) + 16;
    auto linked = std::find_if(view.phones.begin(), view.phones.end(), [](auto& phone) { return phone.connected; });
    if (linked != view.phones.end())
        paint.text(paint.text(x, line, u"Connected to ", text_colour, em), line, linked->name, text_colour, em, true);
    else
        paint.text(x, line, u"No phone connected", dim, em);
    std::u16string keys = u"F6 ring   F7 answer   F8 hang up   F9 SMS   F10 range";
    paint.text(picture.width - margin - paint.text_width(keys, small), line, keys, separator, small);

    // The phones around the device.
    line = top + 58;
    x = margin;
    if (view.phones.empty())
        paint.text(x, line, u"No phones", dim, em);
    for (auto& phone : view.phones) {
        int start = x;
        Rgb shade = phone.in_range ? text_colour : dim;
        paint.fill(x, line - 11, x + 8, line - 3, phone.in_range ? in_range_green : empty_bar);
        x = paint.text(x + 14, line, phone.name, shade, em, phone.connected) + 8;
        if (phone.in_range) {
            x = paint.signal_bars(x, line, phone.signal, separator) + 8;
            // A battery about to run out stands out.
            x = paint.battery(x, line, phone.battery, phone.battery <= 1 ? low_amber : in_range_green) + 6;
        } else {
            x = paint.text(x, line, u"out of range", dim, small) + 6;
        }
        if (!phone.paired)
            x = paint.text(x, line, u"not paired", dim, small) + 6;
        // The phone the keys act on is framed.
        if (phone.current)
            paint.frame(start - 5, line - 20, x + 1, line + 7, current_frame);
        x += 24;
    }

    // The calls under way.
    line = top + 89;
    x = margin;
    bool any_call = false;
    for (auto& phone : view.phones) {
        if (phone.call == CallState::Idle)
            continue;
        any_call = true;
        x = paint.plate(x, line, call_word(phone.call), call_colour(phone.call), small) + 10;
        x = paint.text(x, line, phone.number, text_colour, em, true) + 8;
        if (!phone.caller.empty())
            x = paint.text(x, line, phone.caller, text_colour, em) + 8;
        x = paint.text(x, line, u"on " + phone.name, dim, small) + 28;
    }
    if (!any_call)
        paint.text(x, line, u"No call", dim, em);
}

RgbPicture window_picture(Device& device, BluetoothStrip& strip)
{
    RgbPicture picture(FrameBuffer::width * window_scale, FrameBuffer::height * window_scale + BluetoothStrip::height);
    std::vector<uint16_t> screen(FrameBuffer::visible_pixels);
    device.component<VideoPlane>().copy_shown_screen(screen);
    for (int y = 0; y < FrameBuffer::height * window_scale; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            uint16_t pixel = screen[size_t(y / window_scale) * FrameBuffer::width + size_t(x / window_scale)];
            uint8_t* out = &picture.bytes[(size_t(y) * size_t(picture.width) + size_t(x)) * 3];
            out[0] = red_of(pixel);
            out[1] = green_of(pixel);
            out[2] = blue_of(pixel);
        }
    }
    strip.paint(bluetooth_strip_view(device.component<SimulatedPhones>()), picture, FrameBuffer::height * window_scale);
    return picture;
}

RgbPicture strip_picture(Device& device, BluetoothStrip& strip)
{
    RgbPicture picture(FrameBuffer::width * window_scale, BluetoothStrip::height);
    strip.paint(bluetooth_strip_view(device.component<SimulatedPhones>()), picture, 0);
    return picture;
}

} // namespace kivo
