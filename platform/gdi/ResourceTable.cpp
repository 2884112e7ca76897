#include "ResourceTable.h"

#include <algorithm>

namespace kivo {

void ResourceTable::add_bitmap(UINT id, int width, int height, Painter painter)
{
    std::lock_guard guard(m_lock);
    m_bitmaps.insert_or_assign(id, Picture { width, height, std::move(painter), nullptr });
}

void ResourceTable::add_icon(UINT id, int width, int height, Painter painter)
{
    std::lock_guard guard(m_lock);
    m_icons.insert_or_assign(id, Picture { width, height, std::move(painter), nullptr });
}

void ResourceTable::add_string(UINT id, std::u16string text)
{
    std::lock_guard guard(m_lock);
    m_strings.insert_or_assign(id, std::move(text));
}

std::shared_ptr<Bitmap> ResourceTable::load(std::map<UINT, Picture>& pictures, UINT id, FontEngine& fonts)
{
    std::lock_guard guard(m_lock);
    auto it = pictures.find(id);
    if (it == pictures.end())
        return nullptr;
    Picture& picture = it->second;
    if (!picture.rendered) {
        picture.rendered = Bitmap::create_compatible(picture.width, picture.height);
        BitmapCanvas canvas(*picture.rendered, fonts);
        picture.painter(canvas);
    }
    auto copy = Bitmap::create_compatible(picture.width, picture.height);
    auto* from = static_cast<const uint8_t*>(picture.rendered->bits());
    std::copy(from, from + size_t(picture.rendered->width_bytes()) * picture.height, static_cast<uint8_t*>(copy->bits()));
    copy->set_resource_id(id);
    return copy;
}

std::shared_ptr<Bitmap> ResourceTable::load_bitmap(UINT id, FontEngine& fonts)
{
    return load(m_bitmaps, id, fonts);
}

std::shared_ptr<Bitmap> ResourceTable::load_icon(UINT id, FontEngine& fonts)
{
    return load(m_icons, id, fonts);
}

std::optional<std::u16string> ResourceTable::string(UINT id) const
{
    std::lock_guard guard(m_lock);
    auto it = m_strings.find(id);
    if (it == m_strings.end())
        return std::nullopt;
    return it->second;
}

} // namespace kivo
