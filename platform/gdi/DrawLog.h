#pragma once

#include "HostMutex.h"
#include "Trace.h"
#include "Types.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

// What was drawn on the screen, call by call, beside the pixels: which bitmap went where, which
// text was written where. Tests turn it on and assert "bitmap 207 at (80, 60)" without depending
// on every pixel. Only drawing that targets the screen (not a memory bitmap) is recorded.
class DrawLog {
public:
    struct Entry {
        std::string call;     // the platform call: "BitBlt", "DrawText", "FillRect" …
        RECT rect;            // where, in screen coordinates, before clipping
        UINT bitmap_id = 0;   // the resource number of the source bitmap, 0 for none
        std::u16string text;  // the text as drawn (one entry per line of a DrawText)
        uint32_t colour = 0;  // the fill, pen or text colour as a COLORREF
        bool painted = false; // whether any pixel was inside the clip region
        DWORD process_id = 0;
    };

    // Keeps at most the device's trace limit of entries, the newest.
    void follow(const TraceLimit&);
    void set_recording(bool recording);
    bool recording() const;
    void record(Entry);
    std::vector<Entry> entries() const;
    void clear();

    // The last blit of a bitmap, by resource number.
    std::optional<Entry> last_bitmap(UINT bitmap_id) const;
    // The last line of text that is exactly `text`.
    std::optional<Entry> last_text(std::u16string_view text) const;
    // The sequence number of the first line of text exactly `text` with a pixel inside its clip,
    // recorded at or after `from`: a reader that keeps its place checks what was shown since.
    std::optional<uint64_t> find_shown_text(std::u16string_view text, uint64_t from) const;

private:
    mutable HostMutex m_lock { LockRank::DrawLog };
    bool m_recording = false;
    Trace<Entry> m_entries;
};

} // namespace kivo
