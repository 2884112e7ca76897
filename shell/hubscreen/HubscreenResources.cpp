#include "HubscreenResources.h"

#include "program_services.h"

#include <array>
#include <string>
#include <string_view>

namespace {

using kivo::BitmapCanvas;
using Palette = BitmapCanvas::Palette;

constexpr COLORREF page_blue = RGB(0, 17, 56);
constexpr COLORREF bar_blue = RGB(24, 56, 104);

// The seven programs, by icon index, with what their icon shows in a word and a small drawing.
const std::array<const char16_t*, icon_count> icon_names = { u"Navigation", u"TV", u"Phone", u"Music", u"Video", u"Photo", u"Setting" };

void draw_icon_symbol(BitmapCanvas& canvas, int index, COLORREF colour)
{
    switch (index) {
    case 0: // a direction arrow over a road
        canvas.fill_rect({ 36, 40, 44, 62 }, Palette::grey);
        canvas.arrow({ 22, 12, 58, 42 }, BitmapCanvas::Direction::Up, colour);
        break;
    case 1: // a television set with its stand
        canvas.frame_rect({ 14, 16, 66, 52 }, colour, 3);
        canvas.fill_rect({ 34, 52, 46, 60 }, colour);
        break;
    case 2: // a handset
        canvas.fill_round_rect({ 28, 10, 52, 62 }, 6, colour);
        canvas.fill_rect({ 32, 16, 48, 40 }, Palette::panel);
        break;
    case 3: // a note
        canvas.fill_ellipse({ 22, 44, 40, 60 }, colour);
        canvas.fill_rect({ 36, 14, 40, 52 }, colour);
        canvas.fill_rect({ 36, 14, 56, 20 }, colour);
        break;
    case 4: // a film strip with a play arrow
        canvas.frame_rect({ 14, 16, 66, 56 }, colour, 3);
        canvas.arrow({ 32, 24, 50, 48 }, BitmapCanvas::Direction::Right, colour);
        break;
    case 5: // a picture of a mountain under the sun
        canvas.frame_rect({ 14, 16, 66, 58 }, colour, 3);
        canvas.arrow({ 20, 32, 50, 54 }, BitmapCanvas::Direction::Up, colour);
        canvas.fill_ellipse({ 50, 22, 60, 32 }, colour);
        break;
    default: // a gear: a wheel with a hub
        canvas.fill_ellipse({ 22, 14, 58, 50 }, colour);
        canvas.fill_ellipse({ 32, 24, 48, 40 }, Palette::panel);
        break;
    }
}

void add_icon_pictures(kivo::ResourceTable& resources)
{
    for (int i = 0; i < icon_count; ++i) {
        for (bool selected : { false, true }) {
            UINT id = selected ? icon_selected_bitmaps[i] : icon_normal_bitmaps[i];
            resources.add_bitmap(id, icon_width, icon_height, [i, selected](BitmapCanvas& canvas) {
                canvas.fill(page_blue);
                canvas.fill_round_rect({ 2, 2, icon_width - 2, icon_height - 2 }, 10, selected ? Palette::panel_light : Palette::panel);
                if (selected)
                    canvas.frame_rect({ 0, 0, icon_width, icon_height }, Palette::highlight, 2);
                draw_icon_symbol(canvas, i, selected ? Palette::highlight : Palette::white);
                canvas.label({ 0, 70, icon_width, 96 }, icon_names[static_cast<size_t>(i)], Palette::white, 15, selected);
            });
        }
    }
    // The television's icon on a device without a tuner: the set crossed out.
    resources.add_bitmap(IDB_NO_TUNER, icon_width, icon_height, [](BitmapCanvas& canvas) {
        canvas.fill(page_blue);
        canvas.fill_round_rect({ 2, 2, icon_width - 2, icon_height - 2 }, 10, Palette::panel);
        draw_icon_symbol(canvas, 1, Palette::grey);
        canvas.line(14, 14, 66, 60, Palette::warning);
        canvas.line(66, 14, 14, 60, Palette::warning);
        canvas.label({ 0, 70, icon_width, 96 }, u"No tuner", Palette::grey, 15);
    });
}

void add_bar_pictures(kivo::ResourceTable& resources)
{
    resources.add_bitmap(IDB_BACKGROUND, 480, 272, [](BitmapCanvas& canvas) {
        canvas.vertical_gradient({ 0, 0, 480, 272 }, RGB(0, 30, 80), page_blue);
        canvas.label({ 0, 256, 480, 272 }, u"Home", Palette::grey, 12);
    });
    resources.add_bitmap(IDB_TOP_BAR, 464, 35, [](BitmapCanvas& canvas) {
        canvas.fill_round_rect({ 0, 0, 464, 35 }, 8, bar_blue);
        canvas.frame_rect({ 0, 0, 464, 35 }, Palette::frame);
    });
    for (bool on : { false, true }) {
        resources.add_bitmap(on ? IDB_KEYCLICK_ON : IDB_KEYCLICK_OFF, 40, 35, [on](BitmapCanvas& canvas) {
            canvas.fill(bar_blue);
            // A speaker, with sound waves when the key click is on and a cross when it is off.
            canvas.fill_rect({ 6, 13, 12, 22 }, Palette::white);
            canvas.arrow({ 8, 8, 20, 27 }, BitmapCanvas::Direction::Left, Palette::white);
            if (on) {
                canvas.line(24, 12, 24, 23, Palette::ok);
                canvas.line(29, 9, 29, 26, Palette::ok);
            } else {
                canvas.line(23, 12, 33, 23, Palette::warning);
                canvas.line(33, 12, 23, 23, Palette::warning);
            }
        });
    }
    resources.add_bitmap(IDB_CLOCK_BACKGROUND, 200, 35, [](BitmapCanvas& canvas) { canvas.fill(bar_blue); });
    resources.add_bitmap(IDB_LINK_BACKGROUND, 25, 35, [](BitmapCanvas& canvas) { canvas.fill(bar_blue); });
    // The battery: 0 empty, 1 to 3 rising charge, 4 on the mains adapter, 5 crossed out.
    for (int picture = 0; picture < 6; ++picture) {
        resources.add_bitmap(IDB_BATTERY_FIRST + static_cast<UINT>(picture), battery_picture_width, battery_picture_height, [picture](BitmapCanvas& canvas) {
            canvas.fill(BitmapCanvas::transparent_key);
            canvas.frame_rect({ 0, 2, 32, 18 }, Palette::white, 2);
            canvas.fill_rect({ 32, 7, 36, 13 }, Palette::white);
            int bars = picture >= 1 && picture <= 3 ? picture : 0;
            for (int bar = 0; bar < bars; ++bar)
                canvas.fill_rect({ 4 + bar * 9, 6, 11 + bar * 9, 14 }, Palette::ok);
            if (picture == 0)
                canvas.fill_rect({ 4, 6, 8, 14 }, Palette::warning);
            if (picture == 4)
                canvas.arrow({ 10, 4, 22, 16 }, BitmapCanvas::Direction::Down, Palette::highlight);
            if (picture == 5) {
                canvas.line(0, 0, 35, 19, Palette::warning);
                canvas.line(35, 0, 0, 19, Palette::warning);
            }
        });
    }
}

// A warning's picture: a framed panel with a symbol on the left and the message in words.
void add_message_picture(kivo::ResourceTable& resources, UINT id, int width, int height, COLORREF accent, std::u16string_view first,
    std::u16string_view second)
{
    resources.add_bitmap(id, width, height, [=](BitmapCanvas& canvas) {
        canvas.fill_round_rect({ 0, 0, width, height }, 10, Palette::panel);
        canvas.frame_rect({ 0, 0, width, height }, accent, 3);
        // An exclamation mark in a circle: something wants the user's attention.
        canvas.fill_ellipse({ 12, height / 2 - 22, 56, height / 2 + 22 }, accent);
        canvas.fill_rect({ 31, height / 2 - 14, 37, height / 2 + 4 }, Palette::white);
        canvas.fill_rect({ 31, height / 2 + 9, 37, height / 2 + 15 }, Palette::white);
        canvas.label({ 64, 8, width - 8, height / 2 }, std::u16string(first), Palette::white, 18, true);
        canvas.label({ 64, height / 2, width - 8, height - 8 }, std::u16string(second), Palette::white, 15);
    });
}

void add_button_pictures(kivo::ResourceTable& resources, UINT up, UINT down, int width, int height, std::u16string_view text)
{
    for (bool pressed : { false, true }) {
        resources.add_bitmap(pressed ? down : up, width, height, [=](BitmapCanvas& canvas) {
            canvas.fill(Palette::panel);
            canvas.fill_round_rect({ 0, 0, width, height }, 8, pressed ? Palette::highlight : Palette::panel_light);
            canvas.frame_rect({ 0, 0, width, height }, Palette::frame);
            canvas.label({ 0, 0, width, height }, std::u16string(text), Palette::white, 18, true);
        });
    }
}

void add_warning_pictures(kivo::ResourceTable& resources)
{
    constexpr int w = warning_picture_width;
    constexpr int h = warning_picture_height;
    resources.add_bitmap(IDB_WARNING_BACKGROUND, 480, 272, [](BitmapCanvas& canvas) {
        canvas.vertical_gradient({ 0, 0, 480, 272 }, RGB(40, 40, 72), RGB(8, 8, 24));
    });
    add_message_picture(resources, 152, w, h, Palette::warning, u"The card was removed", u"Insert it and start the program again");
    add_message_picture(resources, 155, w, h, Palette::warning, u"Card not supported", u"Use a FAT16 or FAT32 card");
    add_message_picture(resources, 156, w, h, Palette::warning, u"No memory card", u"Insert the card");
    add_message_picture(resources, 157, w, h, Palette::warning, u"Card write-protected", u"Release the card's lock switch");
    add_message_picture(resources, 158, w, h, Palette::warning, u"The card is full", u"Make room on the card");
    // The countdown's digits are painted over this picture at (154, 88)-(177, 108), between the words.
    resources.add_bitmap(IDB_LOW_BATTERY_COUNTDOWN, w, h, [](BitmapCanvas& canvas) {
        canvas.fill_round_rect({ 0, 0, w, h }, 10, Palette::panel);
        canvas.frame_rect({ 0, 0, w, h }, Palette::warning, 3);
        canvas.fill_ellipse({ 12, h / 2 - 22, 56, h / 2 + 22 }, Palette::warning);
        canvas.fill_rect({ 31, h / 2 - 14, 37, h / 2 + 4 }, Palette::white);
        canvas.fill_rect({ 31, h / 2 + 9, 37, h / 2 + 15 }, Palette::white);
        canvas.label({ 64, 8, w - 8, h / 2 }, u"Battery low", Palette::white, 18, true);
        canvas.label({ 60, 88, 150, 108 }, u"Shutting down in", Palette::white, 14);
        canvas.label({ 180, 88, 250, 108 }, u"seconds", Palette::white, 14);
    });
    add_message_picture(resources, IDB_LOW_BATTERY_USB, w, h, Palette::warning, u"Battery low", u"Connect the mains adapter for USB");
    add_message_picture(resources, IDB_NO_GPS, w, h, Palette::warning, u"Navigation failed to start", u"Install the navigation again");
    add_message_picture(resources, IDB_ASK_START_TV, w, h, Palette::highlight, u"Start the television?", u"The music player will close");
    add_message_picture(resources, IDB_ASK_START_AUDIO, w, h, Palette::highlight, u"Start the music player?", u"The television will close");
    add_message_picture(resources, IDB_KEYS_LOCKED, 204, 116, Palette::highlight, u"Keys locked", u"Unlock with the key switch");
    for (UINT id : { IDB_USB_CONNECTED, IDB_USB_BUSY }) {
        resources.add_bitmap(id, 480, 272, [id](BitmapCanvas& canvas) {
            canvas.vertical_gradient({ 0, 0, 480, 272 }, RGB(16, 48, 96), RGB(0, 17, 56));
            // A computer screen and the cable to the device; arrows while data moves.
            canvas.frame_rect({ 60, 70, 180, 160 }, Palette::white, 4);
            canvas.fill_rect({ 110, 160, 130, 180 }, Palette::white);
            canvas.fill_round_rect({ 320, 80, 420, 150 }, 8, Palette::panel_light);
            canvas.line(180, 115, 320, 115, Palette::white);
            if (id == IDB_USB_BUSY) {
                canvas.arrow({ 220, 90, 250, 110 }, BitmapCanvas::Direction::Right, Palette::highlight);
                canvas.arrow({ 250, 120, 280, 140 }, BitmapCanvas::Direction::Left, Palette::highlight);
            }
            canvas.label({ 0, 200, 480, 240 }, id == IDB_USB_BUSY ? u"USB data transfer under way" : u"USB connected", Palette::white, 24, true);
        });
    }
    resources.add_bitmap(IDB_SHUTTING_DOWN, 480, 272, [](BitmapCanvas& canvas) {
        canvas.fill(Palette::black);
        // The power symbol.
        canvas.fill_ellipse({ 200, 60, 280, 140 }, Palette::grey);
        canvas.fill_ellipse({ 212, 72, 268, 128 }, Palette::black);
        canvas.fill_rect({ 236, 50, 244, 100 }, Palette::grey);
        canvas.label({ 0, 170, 480, 210 }, u"Shutting down", Palette::white, 24, true);
    });
    add_button_pictures(resources, IDB_OK_UP, IDB_OK_DOWN, 63, 39, u"OK");
    add_button_pictures(resources, IDB_ONE_KEY_OK_UP, IDB_ONE_KEY_OK_DOWN, 68, 40, u"OK");
    add_button_pictures(resources, IDB_ONE_KEY_CANCEL_UP, IDB_ONE_KEY_CANCEL_DOWN, 68, 40, u"Cancel");
}

void add_dialogs(kivo::DialogTemplates& templates, HINSTANCE module)
{
    // The page fills the screen; its hidden command has no control.
    templates.add(module, { IDD_HUBSCREEN, WS_POPUP, 0, { 0, 0, 480, 272 }, u"hubscreen", {}, true });
    const kivo::DialogControl ok { IDOK, u"BUTTON", u"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, { 390, 200, 453, 239 }, 0 };
    for (UINT id : { IDD_INSERT_SD, IDD_LOW_BATTERY, IDD_GPS_CHECK })
        templates.add(module, { id, WS_POPUP, 0, { 0, 0, 480, 272 }, u"", { ok }, true });
    for (UINT id : { IDD_USB_CONNECT, IDD_SHUTDOWN })
        templates.add(module, { id, WS_POPUP, 0, { 0, 0, 480, 272 }, u"", {}, true });
    templates.add(module, { IDD_HARD_KEY, WS_POPUP, 0, { 138, 78, 342, 194 }, u"", {}, true });
    templates.add(module,
        { IDD_ONE_KEY_SELECT, WS_POPUP, 0, { 0, 0, 480, 272 }, u"One Key Selection",
            { { IDOK, u"BUTTON", u"", WS_CHILD | BS_OWNERDRAW, { 370, 205, 438, 245 }, 0 },
                { IDCANCEL, u"BUTTON", u"", WS_CHILD | BS_OWNERDRAW, { 27, 205, 95, 245 }, 0 } },
            true });
}

} // namespace

void add_hubscreen_resources()
{
    HINSTANCE module = AfxGetResourceHandle();
    auto& resources = kivo::module_resources(module);
    add_bar_pictures(resources);
    add_icon_pictures(resources);
    resources.add_icon(IDI_HUBSCREEN, 32, 32, [](BitmapCanvas& canvas) {
        canvas.fill_round_rect({ 0, 0, 32, 32 }, 6, Palette::panel_light);
        canvas.arrow({ 6, 4, 26, 18 }, BitmapCanvas::Direction::Up, Palette::white);
        canvas.fill_rect({ 10, 18, 22, 28 }, Palette::white);
    });
    add_warning_pictures(resources);
    add_dialogs(kivo::dialog_templates(), module);
}
