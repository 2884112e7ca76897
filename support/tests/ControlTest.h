#pragma once

#include "ScreenTest.h"

#include "BitmapCanvas.h"
#include "gwes/TouchInput.h"

#include <utility>
#include <vector>

namespace kivo::test {

// The pictures of the painted controls, each a plain colour so a screen pixel tells which is shown.
struct ControlPictures {
    // The seek bar's, 300 by 20 (the thumb 20 by 20 in a frame of the transparent key).
    static constexpr UINT slider_track = 301;
    static constexpr UINT slider_filled = 302;
    static constexpr UINT slider_thumb = 303;
    static constexpr UINT slider_thumb_pressed = 304;
    static constexpr int slider_thumb_width = 20;
    static constexpr COLORREF track_colour = RGB(72, 72, 88);
    static constexpr COLORREF filled_colour = RGB(0, 160, 208);
    static constexpr COLORREF thumb_colour = RGB(255, 255, 255);
    static constexpr COLORREF thumb_pressed_colour = RGB(255, 176, 32);

    // The scroll bars': the arrows, pressed and not, and the track and thumb both bars share.
    static constexpr UINT right = 310;
    static constexpr UINT right_pressed = 311;
    static constexpr UINT left = 312;
    static constexpr UINT left_pressed = 313;
    static constexpr UINT bar_track = 314;
    static constexpr UINT bar_thumb = 315;
    static constexpr UINT bar_thumb_pressed = 316;
    static constexpr UINT up = 317;
    static constexpr UINT up_pressed = 318;
    static constexpr UINT down = 319;
    static constexpr UINT down_pressed = 320;
    static constexpr COLORREF bar_track_colour = RGB(24, 48, 80);
    static constexpr COLORREF bar_thumb_colour = RGB(160, 184, 208);

    // Two image buttons, 60 by 40.
    static constexpr UINT first_normal = 330;
    static constexpr UINT first_pressed = 331;
    static constexpr UINT second_normal = 332;
    static constexpr UINT second_pressed = 333;
    static constexpr COLORREF button_colour = RGB(48, 96, 152);
    static constexpr COLORREF button_pressed_colour = RGB(255, 176, 32);
    // What lies around the buttons' rounded corners.
    static constexpr COLORREF dialog_colour = RGB(0, 17, 56);

    static void add(ResourceTable& table)
    {
        auto plain = [&table](UINT id, int width, int height, COLORREF colour) {
            table.add_bitmap(id, width, height, [colour](BitmapCanvas& canvas) { canvas.fill(colour); });
        };
        plain(slider_track, 300, 20, track_colour);
        plain(slider_filled, 300, 20, filled_colour);
        for (auto [id, colour] : { std::pair(slider_thumb, thumb_colour), std::pair(slider_thumb_pressed, thumb_pressed_colour) }) {
            table.add_bitmap(id, slider_thumb_width, 20, [colour](BitmapCanvas& canvas) {
                canvas.fill(BitmapCanvas::transparent_key);
                canvas.fill_round_rect({ 2, 0, 18, 20 }, 6, colour);
            });
        }
        using Direction = BitmapCanvas::Direction;
        const std::pair<UINT, Direction> arrows[] = { { right, Direction::Right }, { left, Direction::Left },
            { up, Direction::Up }, { down, Direction::Down } };
        for (auto [id, direction] : arrows) {
            for (bool pressed : { false, true }) {
                table.add_bitmap(id + (pressed ? 1 : 0), 13, 13, [direction, pressed](BitmapCanvas& canvas) {
                    canvas.fill(pressed ? button_pressed_colour : button_colour);
                    canvas.arrow({ 3, 3, 10, 10 }, direction, BitmapCanvas::Palette::white);
                });
            }
        }
        plain(bar_track, 13, 13, bar_track_colour);
        plain(bar_thumb, 13, 13, bar_thumb_colour);
        plain(bar_thumb_pressed, 13, 13, button_pressed_colour);
        for (auto [id, direction] : { std::pair(first_normal, Direction::Left), std::pair(second_normal, Direction::Right) }) {
            for (bool pressed : { false, true }) {
                table.add_bitmap(id + (pressed ? 1 : 0), 60, 40, [direction, pressed](BitmapCanvas& canvas) {
                    canvas.fill(dialog_colour);
                    canvas.fill_round_rect({ 0, 0, 60, 40 }, 8, pressed ? button_pressed_colour : button_colour);
                    canvas.arrow({ 20, 10, 40, 30 }, direction, BitmapCanvas::Palette::white);
                });
            }
        }
    }
};

// A full-screen window standing in for a player's dialog: it keeps the scroll notices its controls
// post to it.
class NoticeDialog : public CWnd {
public:
    struct Notice {
        UINT code;
        int position;
        HWND from;
        bool operator==(const Notice&) const = default;
    };
    std::vector<Notice> notices;

    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override
    {
        if (message == WM_HSCROLL) {
            notices.push_back({ LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam) });
            return 0;
        }
        return CWnd::WindowProc(message, wparam, lparam);
    }
};

// A list as the bars see it: its scroll state, the scroll codes and LVM_SCROLL amounts it gets,
// a first item of some height. Codes move its position by a line or a page.
class ServedList : public CWnd {
public:
    struct Code {
        int bar;
        UINT code;
        bool operator==(const Code&) const = default;
    };
    std::vector<Code> codes;
    std::vector<std::pair<int, int>> scrolls;
    static constexpr int item_height = 20;

    void set(int bar, int min, int max, UINT page, int position)
    {
        SCROLLINFO info { sizeof(SCROLLINFO), SIF_ALL, min, max, page, position, 0 };
        SetScrollInfo(bar, &info);
    }

    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override
    {
        switch (message) {
        case WM_HSCROLL:
        case WM_VSCROLL: {
            int bar = message == WM_HSCROLL ? SB_HORZ : SB_VERT;
            codes.push_back({ bar, LOWORD(wparam) });
            SCROLLINFO info {};
            GetScrollInfo(bar, &info);
            const int moves[] = { -1, 1, -static_cast<int>(info.nPage), static_cast<int>(info.nPage) };
            if (LOWORD(wparam) < 4)
                SetScrollPos(bar, info.nPos + moves[LOWORD(wparam)]);
            return 0;
        }
        case LVM_SCROLL:
            scrolls.emplace_back(static_cast<int>(wparam), static_cast<int>(lparam));
            return TRUE;
        case LVM_GETITEMRECT:
            *reinterpret_cast<RECT*>(lparam) = { 0, 0, 200, item_height };
            return TRUE;
        default:
            return CWnd::WindowProc(message, wparam, lparam);
        }
    }
};

// The screen kit with the control pictures, a dialog to place controls on, and the stylus.
class ControlTest : public ScreenTest {
protected:
    ControlTest()
    {
        ControlPictures::add(resources());
        dialog.CreateEx(0, nullptr, u"controls", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr);
        fill_screen(ControlPictures::dialog_colour);
        drain();
    }
    ~ControlTest() override { dialog.DestroyWindow(); }

    void press(POINT at) { touch().press(at.x, at.y), drain(); }
    void move(POINT at) { touch().move(at.x, at.y), drain(); }
    void release(POINT at) { touch().release(at.x, at.y), drain(); }
    TouchInput& touch() { return device->component<TouchInput>(); }

    // The bitmaps blitted since the log was last cleared, by resource number, in order.
    std::vector<UINT> blitted() const
    {
        std::vector<UINT> ids;
        for (auto& entry : gdi.draw_log().entries()) {
            if (entry.bitmap_id)
                ids.push_back(entry.bitmap_id);
        }
        return ids;
    }

    NoticeDialog dialog;
};

} // namespace kivo::test
