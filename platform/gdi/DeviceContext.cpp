#include "DeviceContext.h"

namespace kivo {

DeviceContext::DeviceContext(Surface screen, POINT origin, Region visible, State initial)
    : m_on_screen(true)
    , m_screen(screen)
    , m_origin(origin)
    , m_visible(std::move(visible))
    , m_state(std::move(initial))
{
}

DeviceContext::DeviceContext(State initial)
    : m_on_screen(false)
    , m_state(std::move(initial))
{
}

Surface DeviceContext::surface() const
{
    if (m_on_screen)
        return m_screen;
    return m_state.bitmap.object->surface();
}

Region DeviceContext::visible() const
{
    if (!m_on_screen)
        return Region(surface().bounds());
    Region result = m_visible;
    result.intersect(m_screen.bounds());
    return result;
}

Region DeviceContext::clip() const
{
    Region result = visible();
    if (m_state.clip)
        result.intersect(*m_state.clip);
    return result;
}

RECT DeviceContext::to_surface(const RECT& rect) const
{
    return { rect.left + m_origin.x, rect.top + m_origin.y, rect.right + m_origin.x, rect.bottom + m_origin.y };
}

POINT DeviceContext::to_surface(POINT point) const
{
    return { point.x + m_origin.x, point.y + m_origin.y };
}

int DeviceContext::save()
{
    m_saved.push_back(m_state);
    return static_cast<int>(m_saved.size());
}

bool DeviceContext::restore(int level)
{
    int count = static_cast<int>(m_saved.size());
    int index = level < 0 ? count + level : level - 1;
    if (index < 0 || index >= count)
        return false;
    m_state = m_saved[size_t(index)];
    m_saved.resize(size_t(index));
    return true;
}

} // namespace kivo
