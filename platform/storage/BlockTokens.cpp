#include "BlockTokens.h"

namespace kivo {

DWORD BlockTokens::issue(void* block)
{
    if (!block)
        return 0;
    std::lock_guard guard(m_lock);
    auto [it, inserted] = m_tokens.emplace(block, m_next);
    if (inserted)
        m_blocks.emplace(m_next++, block);
    return it->second;
}

void* BlockTokens::resolve(DWORD token) const
{
    std::lock_guard guard(m_lock);
    auto it = m_blocks.find(token);
    return it == m_blocks.end() ? nullptr : it->second;
}

DWORD BlockTokens::token_of(const void* block) const
{
    std::lock_guard guard(m_lock);
    auto it = m_tokens.find(block);
    return it == m_tokens.end() ? 0 : it->second;
}

bool BlockTokens::revoke(DWORD token)
{
    std::lock_guard guard(m_lock);
    auto it = m_blocks.find(token);
    if (it == m_blocks.end())
        return false;
    m_tokens.erase(it->second);
    m_blocks.erase(it);
    return true;
}

} // namespace kivo
