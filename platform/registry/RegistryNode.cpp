#include "RegistryNode.h"

#include "WideText.h"

#include <iterator>

namespace kivo {

std::u16string RegistryNode::key_of(std::u16string_view name)
{
    std::u16string key;
    key.reserve(name.size());
    for (char16_t c : name)
        key += fold_case(c);
    return key;
}

bool RegistryNode::is_valid_key_name(std::u16string_view name)
{
    if (name.empty() || name.size() > 255)
        return false;
    for (char16_t c : name) {
        if (c < 0x20 || c == 0x7F || c == u'\\')
            return false;
    }
    return true;
}

std::shared_ptr<RegistryNode> RegistryNode::child(std::u16string_view name) const
{
    auto it = m_children.find(key_of(name));
    return it == m_children.end() ? nullptr : it->second;
}

std::shared_ptr<RegistryNode> RegistryNode::add_child(std::u16string_view name, bool& created)
{
    auto& slot = m_children[key_of(name)];
    created = !slot;
    if (created)
        slot = std::make_shared<RegistryNode>(std::u16string(name));
    return slot;
}

bool RegistryNode::remove_child(std::u16string_view name)
{
    auto it = m_children.find(key_of(name));
    if (it == m_children.end())
        return false;
    it->second->mark_deleted();
    m_children.erase(it);
    return true;
}

std::shared_ptr<RegistryNode> RegistryNode::child_at(size_t index) const
{
    if (index >= m_children.size())
        return nullptr;
    return std::next(m_children.begin(), static_cast<std::ptrdiff_t>(index))->second;
}

const RegistryNode::Value* RegistryNode::value(std::u16string_view name) const
{
    auto it = m_values.find(key_of(name));
    return it == m_values.end() ? nullptr : &it->second;
}

void RegistryNode::set_value(std::u16string_view name, DWORD type, std::vector<uint8_t> data)
{
    auto& slot = m_values[key_of(name)];
    // A value set again under other letter case keeps the spelling it was created with.
    if (slot.name.empty())
        slot.name = name;
    slot.type = type;
    slot.data = std::move(data);
}

bool RegistryNode::remove_value(std::u16string_view name)
{
    return m_values.erase(key_of(name)) > 0;
}

const RegistryNode::Value* RegistryNode::value_at(size_t index) const
{
    if (index >= m_values.size())
        return nullptr;
    return &std::next(m_values.begin(), static_cast<std::ptrdiff_t>(index))->second;
}

void RegistryNode::mark_deleted()
{
    m_deleted = true;
    for (auto& [key, child] : m_children)
        child->mark_deleted();
}

} // namespace kivo
