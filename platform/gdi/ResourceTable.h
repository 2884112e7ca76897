#pragma once

#include "Bitmap.h"
#include "BitmapCanvas.h"
#include "kernel/HostMutex.h"
#include "kernel/Types.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace kivo {

class FontEngine;

// The resources of one module (a program's image or a library), by number: bitmaps and icons
// drawn by small functions at their exact sizes, and strings. The program (or the code that
// installs it on the device) fills the table of its module before the program loads from it.
class ResourceTable {
public:
    using Painter = std::function<void(BitmapCanvas&)>;

    void add_bitmap(UINT id, int width, int height, Painter);
    void add_icon(UINT id, int width, int height, Painter);
    void add_string(UINT id, std::u16string);

    // A new bitmap with the picture, knowing its resource number; null when there is none.
    std::shared_ptr<Bitmap> load_bitmap(UINT id, FontEngine&);
    std::shared_ptr<Bitmap> load_icon(UINT id, FontEngine&);
    std::optional<std::u16string> string(UINT id) const;

private:
    struct Picture {
        int width;
        int height;
        Painter painter;
        // Drawn once, on the first load; every load gets its own copy.
        std::shared_ptr<Bitmap> rendered;
    };
    std::shared_ptr<Bitmap> load(std::map<UINT, Picture>&, UINT id, FontEngine&);

    mutable HostMutex m_lock { LockRank::ResourceTable };
    std::map<UINT, Picture> m_bitmaps;
    std::map<UINT, Picture> m_icons;
    std::map<UINT, std::u16string> m_strings;
};

} // namespace kivo
