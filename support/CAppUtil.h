#pragma once

#include "platform.h"

// The file times and size CAppUtil::GetFileTimes gives: the last-write and the creation time in
// local time (the day-of-week and millisecond slots are left as the caller set them), then the
// size, 0 for files of 4 GiB or more.
struct FileTimes {
    SYSTEMTIME LastWrite;
    SYSTEMTIME Creation;
    DWORD Size;
};
static_assert(sizeof(FileTimes) == 36);

// The support library's utility class: folder listings for the browsers, path operations, size
// texts, file times and versions, the card store's operations, and the painting and text fitting
// every screen shares. It holds no data; any instance serves.
class CAppUtil {
public:
    // The colour marking the pixels of a picture that are not painted.
    static constexpr COLORREF transparent_key = RGB(255, 102, 255);

    // Entries whose text reaches this length are left out of listings.
    static constexpr int listing_text_limit = 248;

    // A parent entry "<..>" (unless the folder is a volume's top), folders as "<name>", then the
    // files matching an extension; folders before files, each sorted without regard to case.
    // Answers the number of files added.
    int ListFolder(LPCWSTR folder, CStringArray& list, LPCWSTR const* extensions, int extension_count);
    // As ListFolder, refusing folders deeper than `max_depth` and adding at most `max_entries`.
    int ListFolderLimited(LPCWSTR folder, CStringArray& list, LPCWSTR const* extensions, int extension_count,
        int max_depth, int max_entries);
    // The full paths of the matching files of a folder that ends in a backslash, sorted.
    int ListFiles(LPCWSTR folder, CStringArray& list, LPCWSTR const* extensions, int extension_count);
    // The full paths of the matching files of a folder (no trailing backslash) and of all its
    // sub-folders whose names do not begin with ".", depth first in the order found.
    int SearchFiles(LPCWSTR folder, CStringArray& list, LPCWSTR const* extensions, int extension_count);
    int CheckFolderDepth(LPCWSTR path, int max_depth);

    int GetFileNamePos(const CString& path);
    int GetFileTitle(LPWSTR path);
    int GetFolderName(LPWSTR folder);
    int FormatFileSize(CString& text, DWORD size);
    int GetFileTimes(LPCWSTR path, FileTimes* times);
    int GetFileVersion(LPCWSTR path, int& major, int& minor, int& build, int& revision);

    // 0 when a store of exactly that name is listed, else -1.
    int FindStore(LPCWSTR store_name);
    // 0 when the first store of that name shows the read-only flag among its flags, else -1.
    int IsStoreReadOnly(LPCWSTR store_name);
    int CheckStoreFormat(LPCWSTR store_name);
    // Dismounts, formats and mounts again the store's "Part00"; `store_name` (of `capacity`
    // characters) receives the store's device name once the store is found.
    int StoreDeviceFormat(LPWSTR store_name, size_t capacity = STORENAMESIZE);

    // Painting. Each gets the window's context for the call and releases it before returning;
    // copies use SRCCOPY. A bitmap without a handle draws nothing.

    // Copies the bitmap's area at the source point to (x, y); width and height both 0 copy the
    // whole bitmap.
    void DrawBitmap(CWnd* window, int x, int y, int width, int height, int source_x, int source_y, CBitmap* bitmap);
    void DrawBitmapTransparent(CWnd* window, int x, int y, CBitmap* bitmap, COLORREF key);
    // Restores the area the resource bitmap will cover from the same area of the background,
    // then draws the resource bitmap there, its key colour left out.
    void DrawBitmapOverBackground(CWnd* window, int x, int y, CBitmap* background, UINT bitmap_id, COLORREF key);
    // Stretches the bitmap from the source point, at its full width and height, into the rectangle.
    void DrawBitmapStretched(CWnd* window, int x, int y, int width, int height, int source_x, int source_y, CBitmap* bitmap);
    // Text in Arial of `font_height` into the rectangle with DrawText's format; a background
    // colour of 0 leaves the background as it is.
    void DrawText(CWnd* window, int x, int y, int width, int height, CString text, UINT format, COLORREF text_colour,
        COLORREF background_colour, int font_height);
    void DrawTextWeight(CWnd* window, int x, int y, int width, int height, CString text, UINT format,
        COLORREF text_colour, COLORREF background_colour, int font_height, int weight);
    // Restores the rectangle from the background (same position), or without one fills it on the
    // frame buffer with the background colour, then writes the text from its top-left corner,
    // clipped to it. The format is not used.
    void DrawTextOverBackground(CWnd* window, int x, int y, int width, int height, CString text, UINT format,
        COLORREF text_colour, COLORREF background_colour, int font_height, CBitmap* background);

    // Text fitting, measured with the window's context as it comes. EllipsizeText answers -1 and
    // leaves a text that fits; else it keeps the characters before the one at which the summed
    // widths reach `width`, appends "..." and answers 0.
    int EllipsizeText(CWnd* window, int width, CString& text);
    // Removes the first and the last character: "<name>" becomes "name".
    void StripEnds(CString& text);
    // As EllipsizeText, a folder entry "<name>" keeping its brackets around the cut name.
    int EllipsizeItem(CWnd* window, int width, CString& text);
    // -1 and no change when the text and 30 pixels more fit `width`; else the text from `start`,
    // cut where the summed widths reach `width`, and 0 (scrolling titles).
    int ClipTextFrom(CWnd* window, CString& text, WORD start, int width);
};
