#include "StreamDriverTable.h"

#include "WideText.h"

namespace kivo {

namespace {

std::u16string key_of(std::u16string_view name)
{
    std::u16string key;
    for (char16_t c : name)
        key += fold_case(c);
    return key;
}

bool is_letter(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

} // namespace

void StreamDriverTable::add(std::u16string_view name, Opener opener)
{
    std::lock_guard guard(m_lock);
    m_openers[key_of(name)] = std::move(opener);
}

std::shared_ptr<KernelObject> StreamDriverTable::open(std::u16string_view name, DWORD& error) const
{
    Opener opener;
    {
        std::lock_guard guard(m_lock);
        auto it = m_openers.find(key_of(name));
        if (it == m_openers.end()) {
            error = 2; // ERROR_FILE_NOT_FOUND
            return nullptr;
        }
        opener = it->second;
    }
    error = 0;
    auto object = opener(error);
    if (!object && !error)
        error = 2;
    return object;
}

bool StreamDriverTable::is_driver_name(std::u16string_view name)
{
    if (!name.empty() && name.front() == u'\\')
        name.remove_prefix(1);
    return name.size() == 5 && is_letter(name[0]) && is_letter(name[1]) && is_letter(name[2]) && name[3] >= u'0'
        && name[3] <= u'9' && name[4] == u':';
}

} // namespace kivo
