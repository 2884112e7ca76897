#pragma once

// The device's drawing calls, by the platform's names: device contexts, bitmaps, brushes, pens,
// regions, blits, fonts and text, and the resources of a program (bitmaps, icons, strings).

#include "kernel/Errors.h"
#include "kernel/Types.h"

using COLORREF = DWORD;
using LPCOLORREF = COLORREF*;

inline constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue)
{
    return static_cast<COLORREF>(red | (green << 8) | (blue << 16));
}
inline constexpr BYTE GetRValue(COLORREF colour) { return static_cast<BYTE>(colour & 0xFF); }
inline constexpr BYTE GetGValue(COLORREF colour) { return static_cast<BYTE>((colour >> 8) & 0xFF); }
inline constexpr BYTE GetBValue(COLORREF colour) { return static_cast<BYTE>((colour >> 16) & 0xFF); }
inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// Resources are named by number.
inline bool IS_INTRESOURCE(LPCWSTR name) { return (reinterpret_cast<ULONG_PTR>(name) >> 16) == 0; }

// Raster operations.
inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr DWORD SRCPAINT = 0x00EE0086;
inline constexpr DWORD SRCAND = 0x008800C6;
inline constexpr DWORD SRCINVERT = 0x00660046;
inline constexpr DWORD BLACKNESS = 0x00000042;
inline constexpr DWORD WHITENESS = 0x00FF0062;

// Stock objects.
inline constexpr int WHITE_BRUSH = 0;
inline constexpr int LTGRAY_BRUSH = 1;
inline constexpr int GRAY_BRUSH = 2;
inline constexpr int DKGRAY_BRUSH = 3;
inline constexpr int BLACK_BRUSH = 4;
inline constexpr int NULL_BRUSH = 5;
inline constexpr int HOLLOW_BRUSH = NULL_BRUSH;
inline constexpr int WHITE_PEN = 6;
inline constexpr int BLACK_PEN = 7;
inline constexpr int NULL_PEN = 8;
inline constexpr int SYSTEM_FONT = 13;

inline constexpr int PS_SOLID = 0;
inline constexpr int PS_NULL = 5;

inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;

// Region kinds and combinations.
inline constexpr int RGN_ERROR = 0;
inline constexpr int NULLREGION = 1;
inline constexpr int SIMPLEREGION = 2;
inline constexpr int COMPLEXREGION = 3;
inline constexpr int RGN_AND = 1;
inline constexpr int RGN_OR = 2;
inline constexpr int RGN_XOR = 3;
inline constexpr int RGN_DIFF = 4;
inline constexpr int RGN_COPY = 5;

// Bitmaps.
struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};
using PBITMAP = BITMAP*;
using LPBITMAP = BITMAP*;

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

// With BI_BITFIELDS the three colour masks follow the header where the colours would be.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};
using LPBITMAPINFO = BITMAPINFO*;

inline constexpr DWORD BI_RGB = 0;
inline constexpr DWORD BI_BITFIELDS = 3;
inline constexpr UINT DIB_RGB_COLORS = 0;

// Fonts.
inline constexpr int LF_FACESIZE = 32;
struct LOGFONT {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONT) == 92);
using LPLOGFONT = LOGFONT*;
using PLOGFONT = LOGFONT*;

inline constexpr LONG FW_DONTCARE = 0;
inline constexpr LONG FW_NORMAL = 400;
inline constexpr LONG FW_SEMIBOLD = 600;
inline constexpr LONG FW_BOLD = 700;
inline constexpr BYTE ANSI_CHARSET = 0;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE CHINESEBIG5_CHARSET = 136;
inline constexpr BYTE OUT_DEFAULT_PRECIS = 0;
inline constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
inline constexpr BYTE DEFAULT_QUALITY = 0;
inline constexpr BYTE DRAFT_QUALITY = 1;
inline constexpr BYTE DEFAULT_PITCH = 0;
inline constexpr BYTE FF_SWISS = 0x20;

// DrawText formats.
inline constexpr UINT DT_TOP = 0x0;
inline constexpr UINT DT_LEFT = 0x0;
inline constexpr UINT DT_CENTER = 0x1;
inline constexpr UINT DT_RIGHT = 0x2;
inline constexpr UINT DT_VCENTER = 0x4;
inline constexpr UINT DT_BOTTOM = 0x8;
inline constexpr UINT DT_WORDBREAK = 0x10;
inline constexpr UINT DT_SINGLELINE = 0x20;
inline constexpr UINT DT_NOCLIP = 0x100;
inline constexpr UINT DT_CALCRECT = 0x400;
inline constexpr UINT DT_NOPREFIX = 0x800;
inline constexpr UINT DT_END_ELLIPSIS = 0x8000;

// ExtTextOut options.
inline constexpr UINT ETO_OPAQUE = 0x2;
inline constexpr UINT ETO_CLIPPED = 0x4;

// What BeginPaint hands a window's WM_PAINT: its context, whether the background is still to be
// erased (WM_ERASEBKGND did not), and the rectangle to paint in client coordinates.
struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};
using LPPAINTSTRUCT = PAINTSTRUCT*;

// Device contexts. A window's context draws only where the window shows; BeginPaint's only where
// it is also invalid.
HDC GetDC(HWND);
HDC GetWindowDC(HWND);
int ReleaseDC(HWND, HDC);
HDC BeginPaint(HWND, LPPAINTSTRUCT);
BOOL EndPaint(HWND, const PAINTSTRUCT*);
HDC CreateCompatibleDC(HDC);
BOOL DeleteDC(HDC);
int SaveDC(HDC);
BOOL RestoreDC(HDC, int saved);

// Drawing objects.
HGDIOBJ SelectObject(HDC, HGDIOBJ);
BOOL DeleteObject(HGDIOBJ);
HGDIOBJ GetStockObject(int);
int GetObject(HGDIOBJ, int size, LPVOID buffer);
HBITMAP CreateCompatibleBitmap(HDC, int width, int height);
HBITMAP CreateDIBSection(HDC, const BITMAPINFO*, UINT usage, void** bits, HANDLE section, DWORD offset);
HBRUSH CreateSolidBrush(COLORREF);
HPEN CreatePen(int style, int width, COLORREF);

// Clipping and regions.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT*);
int CombineRgn(HRGN destination, HRGN first, HRGN second, int mode);
int SelectClipRgn(HDC, HRGN);
int IntersectClipRect(HDC, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC, int left, int top, int right, int bottom);
int GetClipBox(HDC, LPRECT);

// Painting.
BOOL BitBlt(HDC, int x, int y, int width, int height, HDC source, int source_x, int source_y, DWORD rop);
BOOL StretchBlt(HDC, int x, int y, int width, int height, HDC source, int source_x, int source_y, int source_width,
    int source_height, DWORD rop);
// The source is a device context or a bitmap; pixels of the key colour are left out.
BOOL TransparentImage(HDC, int x, int y, int width, int height, HANDLE source, int source_x, int source_y,
    int source_width, int source_height, COLORREF key);
BOOL TransparentBlt(HDC, int x, int y, int width, int height, HDC source, int source_x, int source_y,
    int source_width, int source_height, UINT key);
int FillRect(HDC, const RECT*, HBRUSH);
BOOL Rectangle(HDC, int left, int top, int right, int bottom);
BOOL MoveToEx(HDC, int x, int y, LPPOINT previous);
BOOL LineTo(HDC, int x, int y);
COLORREF SetPixel(HDC, int x, int y, COLORREF);
COLORREF GetPixel(HDC, int x, int y);

// Text.
HFONT CreateFontIndirect(const LOGFONT*);
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
    DWORD strike_out, DWORD char_set, DWORD out_precision, DWORD clip_precision, DWORD quality,
    DWORD pitch_and_family, LPCWSTR face_name);
COLORREF SetTextColor(HDC, COLORREF);
COLORREF GetTextColor(HDC);
COLORREF SetBkColor(HDC, COLORREF);
COLORREF GetBkColor(HDC);
int SetBkMode(HDC, int mode);
int GetBkMode(HDC);
int DrawText(HDC, LPCWSTR text, int count, LPRECT, UINT format);
BOOL ExtTextOut(HDC, int x, int y, UINT options, const RECT*, LPCWSTR text, UINT count, const int* dx);
BOOL GetTextExtentPoint32(HDC, LPCWSTR text, int count, LPSIZE);

// Resources of a program's module.
HBITMAP LoadBitmap(HINSTANCE, LPCWSTR name);
HICON LoadIcon(HINSTANCE, LPCWSTR name);
BOOL DestroyIcon(HICON);
int LoadString(HINSTANCE, UINT id, LPWSTR buffer, int size);

// Pictures from files. LoadImage reads a bitmap from a BMP file (LR_LOADFROMFILE, no module) or
// a module's numbered bitmap; SHLoadDIBitmap reads a BMP file. Either way the bitmap is in the
// screen's format, ready for the blits. A damaged file answers null with ERROR_INVALID_DATA.
inline constexpr UINT LR_DEFAULTCOLOR = 0x0000;
inline constexpr UINT LR_LOADFROMFILE = 0x0010;
inline constexpr UINT LR_CREATEDIBSECTION = 0x2000;
HANDLE LoadImage(HINSTANCE, LPCWSTR name, UINT type, int width, int height, UINT load);
HBITMAP SHLoadDIBitmap(LPCWSTR file_name);

// Image lists: pictures of one size side by side in one screen-compatible bitmap, drawn by
// index (the list view's item images, MFC's CImageList). A list made with ILC_MASK leaves out each
// picture's mask colour (the one given to ImageList_AddMasked) when it draws it transparently:
// always with ILD_TRANSPARENT, and with ILD_NORMAL while the list's background colour is CLR_NONE
// (else those pixels take the background colour). A list is used by one thread at a time.
KIVO_DECLARE_HANDLE(HIMAGELIST);
inline constexpr UINT ILC_MASK = 0x0001;
inline constexpr UINT ILC_COLOR = 0x0000;
inline constexpr UINT ILC_COLOR4 = 0x0004;
inline constexpr UINT ILC_COLOR8 = 0x0008;
inline constexpr UINT ILC_COLOR16 = 0x0010;
inline constexpr UINT ILC_COLOR24 = 0x0018;
inline constexpr UINT ILC_COLOR32 = 0x0020;
inline constexpr UINT ILD_NORMAL = 0x0000;
inline constexpr UINT ILD_TRANSPARENT = 0x0001;
inline constexpr COLORREF CLR_NONE = 0xFFFFFFFF;
// Room for `initial` pictures of cx by cy, growing by `grow` pictures at a time.
HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST);
// Adds the bitmap cut into pictures of the list's width (at least one); answers the index of the
// first, or -1.
int ImageList_AddMasked(HIMAGELIST, HBITMAP, COLORREF mask);
BOOL ImageList_Draw(HIMAGELIST, int image, HDC, int x, int y, UINT style);
int ImageList_GetImageCount(HIMAGELIST);
BOOL ImageList_GetIconSize(HIMAGELIST, int* cx, int* cy);
// Removes one picture (the later ones move down by one), or all of them with -1.
BOOL ImageList_Remove(HIMAGELIST, int image);
COLORREF ImageList_SetBkColor(HIMAGELIST, COLORREF);
COLORREF ImageList_GetBkColor(HIMAGELIST);
