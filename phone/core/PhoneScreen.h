#pragma once

// What every window of the phone link shares: the skin folder, the path of a screen's skin file,
// and the placing of a screen from its skin's section "panel".

#include "platform.h"

#include "Skinkit.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// The phone link's skin folder, ending in a backslash (the program's "skin\default\" folder).
// One per process; the application sets it at start.
void SetSkinFolder(std::u16string folder);
std::u16string GetSkinFolder();

// The skin file of a screen: the skin folder, then "<folder>\<file>".
std::u16string SkinFilePath(std::u16string_view folder, std::u16string_view file);

// The window rectangle a skin gives when it names none.
inline constexpr RECT DEFAULT_SCREEN_RECT { 0, 0, 320, 240 };

// The skin's "Cursorpoint" of section "panel" ("x,y"); false when the skin gives none.
bool ReadSkinCursorPoint(LPCWSTR skinFile, POINT& point);

// A screen of the phone link: an empty dialog laid out from its skin file. Its layouts take the
// mouse before the default handling, and it never erases its background: every paint covers the
// whole window.
class CPhoneScreen : public CDialog {
public:
    using CDialog::CDialog;

protected:
    // The layouts that take the screen's mouse messages, in the order they get them.
    void TakeMouse(std::initializer_list<CLayout*> layouts) { m_mouseLayouts.assign(layouts); }
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    BOOL OnEraseBkgnd(CDC*) override { return FALSE; }
    // Draws through `draw` into an off-screen bitmap of the client size and puts it on the window
    // in one copy, so a repaint never shows half a screen.
    void PaintOffScreen(const std::function<void(CDC&)>& draw);

    // A static a language change relabels: its skin section, whose "TextId" names its text, and
    // the layout drawn beneath it. A title is drawn with DrawStaticText2 over its whole layout.
    struct RelabelledStatic {
        StaticInfo& info;
        LPCWSTR section;
        CLayout& beneath;
        bool title = false;
    };
    // Gives each static whose "TextId" is above 0 its text in the new language and draws it at
    // once; a static without one keeps its text.
    void RelabelStatics(LPCWSTR skinFile, std::initializer_list<RelabelledStatic> statics);

    // Where the skin puts the cursor while the screen is open (its optional "Cursorpoint").
    struct CursorPoint {
        POINT point {};
        bool given = false;
    };

    // Reads the skin's section "panel": moves the cursor to "Cursorpoint" ("x,y") when the skin
    // gives one, and the window to "rect".
    void PlaceFromSkin(LPCWSTR skinFile);
    // Puts the cursor back on the skin's point after a child screen closed; nothing when the skin
    // gave none.
    void RestoreCursor();

    CursorPoint m_cursorPoint;

private:
    std::vector<CLayout*> m_mouseLayouts;
};
