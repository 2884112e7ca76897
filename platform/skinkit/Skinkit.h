#pragma once

// Skinkit, the phone family's skin library: skin and language INI files, settings kept in the
// registry, BMP pictures with a transparent key, painted layouts of buttons, statics, the skinned
// question box and the touch click. Its state (language, picture cache, touch sound) is per
// process. Every text it hands out goes into a buffer whose size in characters the caller gives;
// the text is cut to fit and always terminated. The file formats are described in docs/skins.md.

#include "platform.h"

#include <memory>
#include <string_view>
#include <vector>

#define SKINKIT_API __attribute__((visibility("default")))

// The owner of a layout hears of a click on one of its buttons; lParam is the CLayoutBtn.
inline constexpr UINT WM_LAYOUTBTN_CLICK = WM_USER + 1000;

// Skin files. A missing file, section or key (or a value that is not of the asked form) answers 0
// and leaves the output as it was.
SKINKIT_API BOOL al_GetSettingString(LPCWSTR section, LPCWSTR key, LPCWSTR file, LPWSTR buffer, int bufferChars);
SKINKIT_API BOOL al_GetSettingInt(LPCWSTR section, LPCWSTR key, LPCWSTR file, int* value);
// "left,top,right,bottom".
SKINKIT_API BOOL al_GetSettingRect(LPCWSTR section, LPCWSTR key, LPCWSTR file, RECT* rect);
// "red,green,blue", each 0 to 255.
SKINKIT_API BOOL al_GetSettingColor(LPCWSTR section, LPCWSTR key, LPCWSTR file, COLORREF* colour);

// Settings in the registry, HKEY_LOCAL_MACHINE "Software\ZOLSOFT\Skinkit\<section>", one value
// per key. The getters answer 0 and give the default when the setting does not exist yet; the
// setters flush the key, so a setting survives a reset.
SKINKIT_API BOOL al_GetRegSettingInt(LPCWSTR section, LPCWSTR key, int defaultValue, int* value);
SKINKIT_API BOOL al_SetRegSettingInt(LPCWSTR section, LPCWSTR key, int value);
SKINKIT_API BOOL al_GetRegSettingString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultText, LPWSTR buffer, int bufferChars);
SKINKIT_API BOOL al_SetRegSettingString(LPCWSTR section, LPCWSTR key, LPCWSTR text);

// The folder of a module (null: the program), ending in a backslash; the skin folder is its
// "skin\default\" folder. A relative picture name anywhere in Skinkit is taken inside the
// program's skin folder.
SKINKIT_API BOOL al_GetModulePath(HINSTANCE instance, LPWSTR buffer, int bufferChars);
SKINKIT_API BOOL al_GetSkinPath(HINSTANCE instance, LPWSTR buffer, int bufferChars);

// Language texts: SetLanguageFile reads the texts of a language file (section "Text", the text id
// as key); LoadStringFromRC answers the length of the text of an id, or 0 with an empty text and
// a debug line for an id the language does not have.
SKINKIT_API BOOL SetLanguageFile(LPCWSTR path);
SKINKIT_API int LoadStringFromRC(LPWSTR text, int textChars, int id);

// Pictures. The description that al_LoadBitmapEx fills is kept inside stored records, so it holds
// the bitmap as a 32-bit handle value rather than a pointer.
struct AL_BITMAP {
    DWORD token; // the bitmap's handle value, 0 when nothing is loaded
    LONG width;
    LONG height;
    COLORREF keyColour; // pixels of this colour are not painted
    DWORD transparent;  // 1: the key colour applies
    DWORD reserved;
};
static_assert(sizeof(AL_BITMAP) == 24);

inline constexpr COLORREF SKIN_KEY_COLOUR = RGB(255, 102, 255);

class CBitmap;
class CDC;
// Loads a BMP file into the caller's bitmap object (which takes the bitmap and deletes it) and
// fills the description; false when the file cannot be read.
SKINKIT_API BOOL al_LoadBitmapEx(CBitmap* bitmap, LPCWSTR fileName, AL_BITMAP* description);
// A new bitmap of a BMP file that the caller deletes; null when it cannot be read.
SKINKIT_API HBITMAP al_LoadBitmapHandle(LPCWSTR fileName);
// Whether the picture of a file is in the process's picture cache (a layout has drawn it).
SKINKIT_API BOOL IsBmpLoad(LPCWSTR fileName);

class CLayout;
class CBtnWnd;
SKINKIT_API BOOL GetBtnFromSetting(CBtnWnd& button, LPCWSTR name, LPCWSTR file);
namespace skinkit {
class SkinFile;
}

// One button of a layout. The owner reads its name, value, whether it is disabled and its user
// pointer; the rest is the layout's.
class SKINKIT_API CLayoutBtn {
public:
    CString m_strName;
    int m_nValue = 0;
    BOOL m_bDisabled = FALSE;
    void* m_pUserData = nullptr;

    void EnableWindow(BOOL enable);
    void SetValue(int value);
    // A new icon (a picture file, or a bitmap the caller keeps) and caption; an empty or null
    // image keeps the icon there is. The caption replaces the language text of the skin.
    void UpdateBtnInfo(LPCWSTR image, LPCWSTR caption, BOOL repaint);
    void UpdateBtnInfo(HBITMAP image, LPCWSTR caption, BOOL repaint);
    // Paints the button on its owner window now.
    void UpdateWindow();

    RECT GetRect() const { return m_rect; }
    LPCWSTR GetCaption() const { return m_strCaption; }

private:
    friend class CLayout;
    friend class CBtnWnd;
    friend BOOL GetBtnFromSetting(CBtnWnd&, LPCWSTR, LPCWSTR);
    bool ReadSetting(const skinkit::SkinFile& file, std::u16string_view section);
    void Draw(HDC dc) const;

    CLayout* m_pLayout = nullptr;
    RECT m_rect {};
    HBITMAP m_hStrip = nullptr; // frames side by side: normal, pressed, disabled for each value
    int m_nValues = 1;
    HBITMAP m_hIcon = nullptr;
    int m_nTextId = 0;
    CString m_strCaption;
    COLORREF m_textColour = RGB(255, 255, 255);
    int m_nFontSize = 18;
    BOOL m_bPressed = FALSE;
};

// A layout: a section of a skin file that lists its buttons, painted onto its owner window
// (whose client coordinates it uses) and fed the owner's mouse messages.
class SKINKIT_API CLayout {
public:
    CLayout();
    ~CLayout();
    CLayout(const CLayout&) = delete;
    CLayout& operator=(const CLayout&) = delete;

    BOOL InitLayout(LPCWSTR file, LPCWSTR section, HWND owner);
    void DrawLayout(HDC dc);
    void DrawLayout(HDC dc, const RECT& part);
    // Each answers whether the point concerned one of the layout's buttons.
    BOOL OnLButtonDown(UINT flags, POINT point);
    BOOL OnLButtonUp(UINT flags, POINT point);
    BOOL OnMouseMove(UINT flags, POINT point);
    CLayoutBtn* FindButtonByName(LPCWSTR name);
    // The buttons in the order the layout lists them.
    CPtrList* GetAllbtnList();
    void UpdateLanguage();

    HWND GetOwner() const { return m_hOwner; }

private:
    friend class CLayoutBtn;
    CLayoutBtn* ButtonAt(POINT point);
    void Clear();

    HWND m_hOwner = nullptr;
    RECT m_rect {};
    HBITMAP m_hBackground = nullptr;
    std::vector<std::unique_ptr<CLayoutBtn>> m_buttons;
    CPtrList m_list;
    CLayoutBtn* m_pPressed = nullptr;
};

// A skinned owner-drawn push button of a dialog, bound to its control and filled from a button
// section of a skin file.
class SKINKIT_API CBtnWnd : public CButton {
public:
    BOOL EnableWindow(BOOL enable);
    void DrawItem(LPDRAWITEMSTRUCT) override;

private:
    friend BOOL GetBtnFromSetting(CBtnWnd&, LPCWSTR, LPCWSTR);
    CLayoutBtn m_look;
};

// A static text of a screen: its rectangle, colours (a background of 0 is transparent), font and
// text.
struct StaticInfo {
    RECT rect {};
    COLORREF textColour = RGB(255, 255, 255);
    COLORREF bkColour = 0;
    int fontSize = 18;
    BOOL bold = FALSE;
    UINT align = DT_LEFT;
    int textId = 0;
    CString text;
};
SKINKIT_API BOOL GetStaticCtlInfoFromSetting(StaticInfo& info, LPCWSTR section, LPCWSTR file);
// Option 1 keeps the end of a text too long for its rectangle in view (a number being typed);
// otherwise its start shows.
SKINKIT_API void DrawStaticText(HDC dc, const StaticInfo& info, int option);
// A title: bold and centred.
SKINKIT_API void DrawStaticText2(HDC dc, const StaticInfo& info);

// A modal question box laid out by a skin file; answers 1 and the pressed button's name, or 0 and
// an empty name when the box was closed without a button.
SKINKIT_API int ZolMessageBoxEx(LPWSTR answer, int answerChars, LPCWSTR file, LPCWSTR text, HWND parent);

// The key click on a button press (on at the start).
SKINKIT_API void al_EnablePlayTouchSound(BOOL enable);
