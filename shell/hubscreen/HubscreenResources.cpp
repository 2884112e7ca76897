#include "HubscreenResources.h"

#include "BatteryPictures.h"
#include "program_services.h"

#include <array>
#include <string>
#include <string_view>

namespace {

using kivo::BitmapCanvas;
using Palette = BitmapCanvas::Palette;

constexpr COLORREF bar_blue = RGB(24, 56, 104);

// The top bar's place on the screen; its pictures and the pictures drawn over it are cut from
// the one bar so that its rounded outline runs on unbroken.
constexpr RECT top_bar { 8, 8, 472, 43 };
constexpr int top_bar_radius = 8;

// The seven programs, by icon index, with what their icon shows in a word and a small drawing.
const std::array<const char16_t*, icon_count> icon_names = { u"Navigation", u"TV", u"Phone", u"Music", u"Video", u"Photo", u"Setting" };
constexpr RECT icon_label_box { 0, 70, icon_width, 96 };

// The warning pictures of 320 by 130: a symbol on the left, a title and a line of advice beside it.
constexpr int warning_w = warning_picture_width;
constexpr int warning_h = warning_picture_height;
constexpr RECT warning_symbol { 12, warning_h / 2 - 22, 56, warning_h / 2 + 22 };
constexpr RECT warning_title { 64, 34, warning_w - 8, 62 };
constexpr RECT warning_line1 { 64, 66, warning_w - 8, 88 };
constexpr int title_height = 18;
constexpr int line_height = 15;

// The locked-keys pop-up, 204 by 116: the symbol beside the title, the advice across the whole
// width below them (beside the symbol it would not fit).
constexpr int popup_w = 204;
constexpr int popup_h = 116;
constexpr RECT popup_symbol { 12, 10, 48, 46 };

std::vector<PictureText> make_picture_texts()
{
    constexpr COLORREF white = Palette::white;
    std::vector<PictureText> texts = {
        { 152, warning_title, u"The card was removed", title_height, true, white },
        { 152, warning_line1, u"Insert it and start the program again", line_height, false, white },
        { 155, warning_title, u"Card not supported", title_height, true, white },
        { 155, warning_line1, u"Use a FAT16 or FAT32 card", line_height, false, white },
        { 156, warning_title, u"No memory card", title_height, true, white },
        { 156, warning_line1, u"Insert the card", line_height, false, white },
        { 157, warning_title, u"Card write-protected", title_height, true, white },
        { 157, warning_line1, u"Release the card's lock switch", line_height, false, white },
        { 158, warning_title, u"The card is full", title_height, true, white },
        { 158, warning_line1, u"Make room on the card", line_height, false, white },
        // The countdown's digits are painted between these two, at (154, 88)-(177, 108).
        { IDB_LOW_BATTERY_COUNTDOWN, warning_title, u"Battery low", title_height, true, white },
        { IDB_LOW_BATTERY_COUNTDOWN, { 50, 88, 152, 108 }, u"Shutting down in", 14, false, white },
        { IDB_LOW_BATTERY_COUNTDOWN, { 179, 88, 229, 108 }, u"seconds", 14, false, white },
        { IDB_LOW_BATTERY_USB, warning_title, u"Battery low", title_height, true, white },
        { IDB_LOW_BATTERY_USB, warning_line1, u"Connect the mains adapter for USB", line_height, false, white },
        { IDB_NO_GPS, warning_title, u"Navigation failed to start", title_height, true, white },
        { IDB_NO_GPS, warning_line1, u"Install the navigation again", line_height, false, white },
        { IDB_ASK_START_TV, warning_title, u"Start the television?", title_height, true, white },
        { IDB_ASK_START_TV, warning_line1, u"The music player will close", line_height, false, white },
        { IDB_ASK_START_AUDIO, warning_title, u"Start the music player?", title_height, true, white },
        { IDB_ASK_START_AUDIO, warning_line1, u"The television will close", line_height, false, white },
        { IDB_KEYS_LOCKED, { 54, 10, popup_w - 8, 46 }, u"Keys locked", title_height, true, white },
        { IDB_KEYS_LOCKED, { 8, 66, popup_w - 8, 92 }, u"Unlock with the key switch", line_height, false, white },
        { IDB_USB_CONNECTED, { 0, 200, 480, 240 }, u"USB connected", 24, true, white },
        { IDB_USB_BUSY, { 0, 200, 480, 240 }, u"USB data transfer under way", 24, true, white },
        { IDB_SHUTTING_DOWN, { 0, 170, 480, 210 }, u"Shutting down", 24, true, white },
        { IDB_OK_UP, { 0, 0, 63, 39 }, u"OK", 18, true, white },
        { IDB_OK_DOWN, { 0, 0, 63, 39 }, u"OK", 18, true, white },
        { IDB_ONE_KEY_OK_UP, { 0, 0, 68, 40 }, u"OK", 18, true, white },
        { IDB_ONE_KEY_OK_DOWN, { 0, 0, 68, 40 }, u"OK", 18, true, white },
        { IDB_ONE_KEY_CANCEL_UP, { 0, 0, 68, 40 }, u"Cancel", 18, true, white },
        { IDB_ONE_KEY_CANCEL_DOWN, { 0, 0, 68, 40 }, u"Cancel", 18, true, white },
        { IDB_NO_TUNER, icon_label_box, u"No tuner", 15, false, Palette::grey },
    };
    for (int i = 0; i < icon_count; ++i) {
        const char16_t* name = icon_names[static_cast<size_t>(i)];
        texts.push_back({ icon_normal_bitmaps[i], icon_label_box, name, 15, false, white });
        texts.push_back({ icon_selected_bitmaps[i], icon_label_box, name, 15, true, white });
    }
    return texts;
}

void draw_texts(BitmapCanvas& canvas, UINT picture)
{
    for (const PictureText& text : hubscreen_picture_texts()) {
        if (text.picture == picture)
            canvas.label(text.box, text.text, text.colour, text.height, text.bold);
    }
}

// A part of the top bar as it stands on the screen, for a picture placed at (x, y): the page's
// background around the bar's rounded corners, its outline and its face.
void draw_top_bar_part(BitmapCanvas& canvas, int x, int y)
{
    RECT bar { top_bar.left - x, top_bar.top - y, top_bar.right - x, top_bar.bottom - y };
    canvas.fill(page_background);
    canvas.fill_round_rect(bar, top_bar_radius, Palette::frame);
    canvas.fill_round_rect({ bar.left + 1, bar.top + 1, bar.right - 1, bar.bottom - 1 }, top_bar_radius - 1, bar_blue);
}

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

// An icon's tile: a rounded panel on the page's background, so that the corners left around it
// are the background itself; the selected tile has a rounded outline.
void draw_icon_tile(BitmapCanvas& canvas, bool selected)
{
    canvas.fill(page_background);
    if (selected) {
        canvas.fill_round_rect({ 0, 0, icon_width, icon_height }, 12, Palette::highlight);
        canvas.fill_round_rect({ 2, 2, icon_width - 2, icon_height - 2 }, 10, Palette::panel_light);
    } else {
        canvas.fill_round_rect({ 2, 2, icon_width - 2, icon_height - 2 }, 10, Palette::panel);
    }
}

void add_icon_pictures(kivo::ResourceTable& resources)
{
    for (int i = 0; i < icon_count; ++i) {
        for (bool selected : { false, true }) {
            UINT id = selected ? icon_selected_bitmaps[i] : icon_normal_bitmaps[i];
            resources.add_bitmap(id, icon_width, icon_height, [i, selected, id](BitmapCanvas& canvas) {
                draw_icon_tile(canvas, selected);
                draw_icon_symbol(canvas, i, selected ? Palette::highlight : Palette::white);
                draw_texts(canvas, id);
            });
        }
    }
    // The television's icon on a device without a tuner: the set crossed out.
    resources.add_bitmap(IDB_NO_TUNER, icon_width, icon_height, [](BitmapCanvas& canvas) {
        draw_icon_tile(canvas, false);
        draw_icon_symbol(canvas, 1, Palette::grey);
        canvas.line(14, 14, 66, 60, Palette::warning);
        canvas.line(66, 14, 14, 60, Palette::warning);
        draw_texts(canvas, IDB_NO_TUNER);
    });
}

// The phone-link symbol: a handset with the waves of the radio link beside it. Around it is the
// key colour, so the top bar shows through.
void draw_link_symbol(BitmapCanvas& canvas, COLORREF handset, COLORREF waves)
{
    canvas.fill(BitmapCanvas::transparent_key);
    canvas.fill_round_rect({ 2, 3, 11, 21 }, 2, handset);
    canvas.fill_rect({ 4, 6, 9, 12 }, bar_blue);
    canvas.line(13, 8, 13, 14, waves);
    canvas.line(16, 6, 16, 16, waves);
    canvas.line(19, 4, 19, 18, waves);
}

void add_link_pictures(kivo::ResourceTable& resources)
{
    // A phone is connected and idle: the symbol in white, its waves green.
    resources.add_bitmap(IDB_LINK_SYMBOL, link_picture_width, link_picture_height,
        [](BitmapCanvas& canvas) { draw_link_symbol(canvas, Palette::white, Palette::ok); });
    // No phone (Bluetooth off or no phone connected), or a call keeps the link busy: the symbol
    // greyed and crossed out in red.
    resources.add_bitmap(IDB_LINK_CROSSED, link_picture_width, link_picture_height, [](BitmapCanvas& canvas) {
        draw_link_symbol(canvas, Palette::grey, Palette::grey);
        for (int offset : { 0, 1 }) {
            canvas.line(1 + offset, 2, 19 + offset, 21, Palette::warning);
            canvas.line(19 + offset, 2, 1 + offset, 21, Palette::warning);
        }
    });
}

void add_bar_pictures(kivo::ResourceTable& resources)
{
    // One colour throughout: wherever a pop-up closes over the page, the partial repaint's fill
    // has to match what a full repaint draws.
    resources.add_bitmap(IDB_BACKGROUND, 480, 272, [](BitmapCanvas& canvas) { canvas.fill(page_background); });
    resources.add_bitmap(IDB_TOP_BAR, top_bar.right - top_bar.left, top_bar.bottom - top_bar.top,
        [](BitmapCanvas& canvas) { draw_top_bar_part(canvas, top_bar.left, top_bar.top); });
    for (bool on : { false, true }) {
        resources.add_bitmap(on ? IDB_KEYCLICK_ON : IDB_KEYCLICK_OFF, 40, 35, [on](BitmapCanvas& canvas) {
            draw_top_bar_part(canvas, 8, 8);
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
    resources.add_bitmap(IDB_CLOCK_BACKGROUND, 200, 35, [](BitmapCanvas& canvas) { draw_top_bar_part(canvas, 130, 8); });
    resources.add_bitmap(IDB_LINK_BACKGROUND, 25, 35, [](BitmapCanvas& canvas) { draw_top_bar_part(canvas, 370, 8); });
    add_link_pictures(resources);
    add_battery_pictures(resources, IDB_BATTERY_FIRST);
}

// An exclamation mark in a circle: something wants the user's attention.
void draw_attention(BitmapCanvas& canvas, const RECT& circle, COLORREF accent)
{
    LONG centre = (circle.left + circle.right) / 2;
    LONG size = circle.bottom - circle.top;
    canvas.fill_ellipse(circle, accent);
    canvas.fill_rect({ centre - 3, circle.top + size * 8 / 44, centre + 3, circle.top + size * 26 / 44 }, Palette::white);
    canvas.fill_rect({ centre - 3, circle.top + size * 31 / 44, centre + 3, circle.top + size * 37 / 44 }, Palette::white);
}

// A warning's picture: a framed panel with the symbol and the picture's listed words.
void add_message_picture(kivo::ResourceTable& resources, UINT id, int width, int height, COLORREF accent, RECT symbol)
{
    resources.add_bitmap(id, width, height, [=](BitmapCanvas& canvas) {
        canvas.fill(Palette::panel);
        canvas.frame_rect({ 0, 0, width, height }, accent, 3);
        draw_attention(canvas, symbol, accent);
        draw_texts(canvas, id);
    });
}

void add_button_pictures(kivo::ResourceTable& resources, UINT up, UINT down, int width, int height)
{
    for (bool pressed : { false, true }) {
        UINT id = pressed ? down : up;
        resources.add_bitmap(id, width, height, [=](BitmapCanvas& canvas) {
            canvas.fill(Palette::panel);
            canvas.fill_round_rect({ 0, 0, width, height }, 8, pressed ? Palette::highlight : Palette::panel_light);
            canvas.frame_rect({ 0, 0, width, height }, Palette::frame);
            draw_texts(canvas, id);
        });
    }
}

void add_warning_pictures(kivo::ResourceTable& resources)
{
    resources.add_bitmap(IDB_WARNING_BACKGROUND, 480, 272, [](BitmapCanvas& canvas) {
        canvas.vertical_gradient({ 0, 0, 480, 272 }, RGB(40, 40, 72), RGB(8, 8, 24));
    });
    for (UINT id : { 152u, 155u, 156u, 157u, 158u, IDB_LOW_BATTERY_COUNTDOWN, IDB_LOW_BATTERY_USB, IDB_NO_GPS })
        add_message_picture(resources, id, warning_w, warning_h, Palette::warning, warning_symbol);
    for (UINT id : { IDB_ASK_START_TV, IDB_ASK_START_AUDIO })
        add_message_picture(resources, id, warning_w, warning_h, Palette::highlight, warning_symbol);
    add_message_picture(resources, IDB_KEYS_LOCKED, popup_w, popup_h, Palette::highlight, popup_symbol);
    for (UINT id : { IDB_USB_CONNECTED, IDB_USB_BUSY }) {
        resources.add_bitmap(id, 480, 272, [id](BitmapCanvas& canvas) {
            canvas.vertical_gradient({ 0, 0, 480, 272 }, RGB(16, 48, 96), page_background);
            // A computer screen and the cable to the device; arrows while data moves.
            canvas.frame_rect({ 60, 70, 180, 160 }, Palette::white, 4);
            canvas.fill_rect({ 110, 160, 130, 180 }, Palette::white);
            canvas.fill_round_rect({ 320, 80, 420, 150 }, 8, Palette::panel_light);
            canvas.line(180, 115, 320, 115, Palette::white);
            if (id == IDB_USB_BUSY) {
                canvas.arrow({ 220, 90, 250, 110 }, BitmapCanvas::Direction::Right, Palette::highlight);
                canvas.arrow({ 250, 120, 280, 140 }, BitmapCanvas::Direction::Left, Palette::highlight);
            }
            draw_texts(canvas, id);
        });
    }
    resources.add_bitmap(IDB_SHUTTING_DOWN, 480, 272, [](BitmapCanvas& canvas) {
        canvas.fill(Palette::black);
        // The power symbol.
        canvas.fill_ellipse({ 200, 60, 280, 140 }, Palette::grey);
        canvas.fill_ellipse({ 212, 72, 268, 128 }, Palette::black);
        canvas.fill_rect({ 236, 50, 244, 100 }, Palette::grey);
        draw_texts(canvas, IDB_SHUTTING_DOWN);
    });
    add_button_pictures(resources, IDB_OK_UP, IDB_OK_DOWN, 63, 39);
    add_button_pictures(resources, IDB_ONE_KEY_OK_UP, IDB_ONE_KEY_OK_DOWN, 68, 40);
    add_button_pictures(resources, IDB_ONE_KEY_CANCEL_UP, IDB_ONE_KEY_CANCEL_DOWN, 68, 40);
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

const std::vector<PictureText>& hubscreen_picture_texts()
{
    static const std::vector<PictureText> texts = make_picture_texts();
    return texts;
}

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
