#include "SkinScrollParts.h"

#include "BitmapSource.h"

#include <cmath>
#include <limits>

namespace skin_scroll {

using namespace support_painting;

void reload_pictures(CBitmap (&pictures)[picture_count], const UINT (&ids)[picture_count])
{
    for (int i = 0; i < picture_count; ++i) {
        pictures[i].DeleteObject();
        pictures[i].LoadBitmap(ids[i]);
    }
}

void stretch_into(CDC& dc, const RECT& rect, CBitmap& picture, const CBitmap& measure)
{
    if (!has_picture(&picture) || !has_picture(&measure))
        return;
    SIZE size = size_of(measure);
    BitmapSource source(&dc, &picture);
    dc.StretchBlt(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source.get(), 0, 0, size.cx,
        size.cy, SRCCOPY);
}

std::optional<Span> thumb_span(int track_start, int track_end, const SCROLLINFO& info, bool keep_inside)
{
    int64_t count = int64_t { info.nMax } - info.nMin + 1;
    if (count <= 0)
        return std::nullopt;
    int64_t length = int64_t { track_end } - track_start;
    Span thumb;
    thumb.start = static_cast<int>(track_start + length * info.nPos / count);
    thumb.end = static_cast<int>(thumb.start + length * int64_t { info.nPage } / count + 1);
    if (keep_inside && thumb.end > track_end) {
        thumb.start -= thumb.end - track_end;
        thumb.end = track_end;
    }
    if (thumb.end - thumb.start <= 0) {
        thumb.end = thumb.start + least_thumb_length;
        if (thumb.end > track_end) {
            thumb.start = track_end - least_thumb_length;
            thumb.end = track_end;
        }
    }
    return thumb;
}

std::optional<int> whole_amount(double value)
{
    double amount = std::trunc(value);
    constexpr double most = std::numeric_limits<int>::max();
    if (!std::isfinite(amount) || std::fabs(amount) > most)
        return std::nullopt;
    return static_cast<int>(amount);
}

} // namespace skin_scroll
