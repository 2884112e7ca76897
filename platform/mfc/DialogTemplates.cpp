#include "DialogTemplates.h"

namespace kivo {

namespace {

LONG scale(LONG units)
{
    return units * 3 / 2;
}

} // namespace

RECT DialogTemplates::to_pixels(const RECT& units)
{
    return { scale(units.left), scale(units.top), scale(units.right), scale(units.bottom) };
}

void DialogTemplates::add(HINSTANCE module, DialogTemplate dialog)
{
    std::lock_guard guard(m_lock);
    UINT id = dialog.id;
    m_templates.insert_or_assign({ module, id }, std::move(dialog));
}

std::optional<DialogTemplate> DialogTemplates::find(HINSTANCE module, UINT id) const
{
    std::lock_guard guard(m_lock);
    auto it = m_templates.find({ module, id });
    if (it == m_templates.end())
        return std::nullopt;
    return it->second;
}

void DialogTemplates::set_class(HINSTANCE module, UINT id, std::u16string class_name)
{
    std::lock_guard guard(m_lock);
    m_classes.insert_or_assign({ module, id }, std::move(class_name));
}

std::u16string DialogTemplates::class_of(HINSTANCE module, UINT id) const
{
    std::lock_guard guard(m_lock);
    auto it = m_classes.find({ module, id });
    return it == m_classes.end() ? std::u16string() : it->second;
}

} // namespace kivo
