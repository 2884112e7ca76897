#include "MessagePictures.h"

#include "MelodoResources.h"
#include "program_services.h"

namespace {

using kivo::BitmapCanvas;
using Palette = BitmapCanvas::Palette;

// The face of the message pictures; their buttons' rounded corners blend into it.
constexpr COLORREF message_face = RGB(36, 76, 90);
constexpr int line_height = 20;

constexpr LONG wide_w = message_picture_size.cx;
constexpr LONG wide_h = message_picture_size.cy;
constexpr LONG card_w = card_message_size.cx;
constexpr LONG card_h = card_message_size.cy;

// The play list's messages: a sign at the top, one or two lines below it, the buttons' row (y 155
// to 194 in the picture) left free.
constexpr RECT wide_sign { wide_w / 2 - 18, 14, wide_w / 2 + 18, 50 };
constexpr RECT wide_single { 12, 72, wide_w - 12, 104 };
constexpr RECT wide_first { 12, 62, wide_w - 12, 90 };
constexpr RECT wide_second { 12, 96, wide_w - 12, 124 };
// The card's messages: the sign on the left, two lines beside it.
constexpr RECT card_sign { 18, card_h / 2 - 24, 66, card_h / 2 + 24 };
constexpr RECT card_first { 74, 34, card_w - 10, 64 };
constexpr RECT card_second { 74, 78, card_w - 10, 108 };

constexpr UINT message(int mode) { return IDB_MESSAGE_FIRST + static_cast<UINT>(mode); }

std::vector<MessageLine> make_lines()
{
    return {
        { message(0), wide_single, u"播放清單上的音樂將全部刪除", line_height },
        { message(1), wide_first, u"播放清單上的音樂將全部刪除", line_height },
        { message(1), wide_second, u"並重新讀取SD Card上的所有音樂檔", line_height },
        { message(2), wide_first, u"播放清單上的音樂已達999曲", line_height },
        { message(2), wide_second, u"無法再新增檔案", line_height },
        { message(3), card_first, u"SD Card 剩餘容量不足", line_height },
        { message(3), card_second, u"無法寫入資料", line_height },
        { message(4), card_first, u"SD Card 為防寫保護", line_height },
        { message(4), card_second, u"無法寫入資料", line_height },
    };
}

void draw_lines(BitmapCanvas& c, UINT picture)
{
    for (const MessageLine& line : message_picture_lines()) {
        if (line.picture == picture)
            c.label(line.box, line.text, Palette::white, line.height);
    }
}

// A round sign with a mark in it: "?" asks, "!" warns.
void draw_sign(BitmapCanvas& c, const RECT& box, COLORREF colour, std::u16string_view mark)
{
    c.fill_ellipse(box, colour);
    c.label(box, mark, Palette::white, (box.bottom - box.top) * 3 / 4, true);
}

void draw_framed_face(BitmapCanvas& c)
{
    c.fill(Palette::frame);
    c.fill_rect({ 3, 3, c.width() - 3, c.height() - 3 }, message_face);
}

void add_button_pair(kivo::ResourceTable& resources, UINT normal_id, void (*symbol)(BitmapCanvas&))
{
    for (bool pressed : { false, true }) {
        resources.add_bitmap(normal_id + (pressed ? 1 : 0), message_button_size.cx, message_button_size.cy, [=](BitmapCanvas& c) {
            c.fill(message_face);
            c.fill_round_rect(c.bounds(), 8, pressed ? Palette::highlight : Palette::frame);
            c.fill_round_rect({ 2, 2, c.width() - 2, c.height() - 2 }, 7, pressed ? RGB(120, 80, 16) : Palette::panel_light);
            symbol(c);
        });
    }
}

} // namespace

const std::vector<MessageLine>& message_picture_lines()
{
    static const std::vector<MessageLine> lines = make_lines();
    return lines;
}

void add_message_resources()
{
    HINSTANCE module = AfxGetResourceHandle();
    auto& resources = kivo::module_resources(module);
    for (int mode = 0; mode <= 2; ++mode) {
        resources.add_bitmap(message(mode), wide_w, wide_h, [mode](BitmapCanvas& c) {
            draw_framed_face(c);
            // Deleting asks to be confirmed; a full list only tells.
            draw_sign(c, wide_sign, mode == 2 ? Palette::highlight : Palette::warning, mode == 2 ? u"!" : u"?");
            draw_lines(c, message(mode));
        });
    }
    for (int mode = 3; mode <= 4; ++mode) {
        resources.add_bitmap(message(mode), card_w, card_h, [mode](BitmapCanvas& c) {
            draw_framed_face(c);
            draw_sign(c, card_sign, Palette::warning, u"!");
            draw_lines(c, message(mode));
        });
    }
    // The card warnings' whole screen: a frame around the message's place (80, 65, 310 by 142).
    resources.add_bitmap(IDB_MESSAGE_FRAME, 480, 272, [](BitmapCanvas& c) {
        c.vertical_gradient(c.bounds(), dialog_colour, RGB(12, 28, 40));
        c.fill_round_rect({ 72, 57, 398, 215 }, 8, Palette::highlight);
        c.fill_rect({ 78, 63, 392, 209 }, message_face);
        // A memory card above it: the warnings are about the card.
        c.fill_round_rect({ 224, 12, 256, 50 }, 4, Palette::frame);
        c.fill_rect({ 224, 12, 234, 20 }, dialog_colour);
        for (int pin = 0; pin < 4; ++pin)
            c.fill_rect({ 238 + pin * 4, 15, 240 + pin * 4, 22 }, Palette::panel_light);
    });
    add_button_pair(resources, IDB_MESSAGE_OK, [](BitmapCanvas& c) { c.label(c.bounds(), u"OK", Palette::white, 22, true); });
    add_button_pair(resources, IDB_MESSAGE_X, [](BitmapCanvas& c) {
        for (int d = -1; d <= 1; ++d) {
            c.line(21 + d, 9, 41 + d, 29, Palette::white);
            c.line(41 + d, 9, 21 + d, 29, Palette::white);
        }
    });
    // The buttons are placed by the message's mode when the dialog starts.
    constexpr DWORD button_style = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;
    kivo::dialog_templates().add(module,
        { IDD_MESSAGE, WS_POPUP, 0, { 0, 0, 480, 272 }, u"",
            { { static_cast<int>(IDC_OK), u"BUTTON", u"", button_style, { 350, 190, 413, 229 }, 0 },
                { static_cast<int>(IDC_CLOSE_X), u"BUTTON", u"", button_style, { 75, 190, 138, 229 }, 0 } },
            true });
}
