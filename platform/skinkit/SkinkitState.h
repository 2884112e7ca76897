#pragma once

// Skinkit's insides shared by its parts: the process's state, skin files read once per use, and
// the small text helpers.

#include "Skinkit.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace skinkit {

// One skin or language INI file as read: its active keys with their values converted from the
// ANSI code page. Sections and keys match without regard to case; the first of a repeated key
// counts.
class SkinFile {
public:
    // An unreadable file reads as empty.
    explicit SkinFile(const WCHAR* path);

    bool readable() const { return m_readable; }
    std::optional<std::u16string> value(std::u16string_view section, std::u16string_view key) const;
    std::optional<int> integer(std::u16string_view section, std::u16string_view key) const;
    std::optional<RECT> rect(std::u16string_view section, std::u16string_view key) const;
    std::optional<COLORREF> colour(std::u16string_view section, std::u16string_view key) const;
    // The keys of a section with their values, in file order.
    std::vector<std::pair<std::u16string, std::u16string>> section(std::u16string_view section) const;

private:
    struct Entry {
        std::string section; // 8-bit, as in the file: matched by characters of the code page
        std::string key;
        std::u16string value;
    };
    const Entry* find(std::u16string_view section, std::u16string_view key) const;

    bool m_readable = false;
    std::vector<Entry> m_entries;
};

// Numbers in a value: a list of integers separated by commas (spaces allowed), exactly `count`
// of them, or none when the text is not such a list.
std::optional<std::vector<int>> integers(std::u16string_view text, size_t count);

// Copies into a caller's buffer of `chars` characters, cut to fit and terminated; the length.
int copy_to(LPWSTR buffer, int chars, std::u16string_view text);

// A picture file name as Skinkit resolves it: a relative name lies in the program's skin folder.
std::u16string picture_path(std::u16string_view name);

// What Skinkit keeps per process.
struct ProcessState {
    std::u16string languageFile;
    std::map<int, std::u16string> texts;
    // Pictures that layouts, buttons and boxes draw, by resolved path without regard to case;
    // they live as long as the process.
    std::map<std::u16string, HBITMAP> pictures;
    bool touchSound = true;
    HMODULE module = nullptr;
};
ProcessState& state();

// The cached picture of a file (loaded on first use), or null when it cannot be read.
HBITMAP cached_picture(std::u16string_view name);
// Draws a bitmap's part with the skin's key colour left out.
void draw_picture(HDC dc, HBITMAP picture, int x, int y, int width, int height, int sourceX, int sourceY);
// The text of a language id, or an empty text and a debug line.
std::u16string language_text(int id);
// Plays the key click unless the process turned it off; never stops a sound that plays.
void touch_click();

} // namespace skinkit
