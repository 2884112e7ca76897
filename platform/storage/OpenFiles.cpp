#include "OpenFiles.h"

namespace kivo {

void OpenFiles::opened(const std::filesystem::path& host)
{
    std::lock_guard guard(m_lock);
    ++m_counts[host];
}

void OpenFiles::closed(const std::filesystem::path& host)
{
    std::lock_guard guard(m_lock);
    auto it = m_counts.find(host);
    if (it != m_counts.end() && --it->second == 0)
        m_counts.erase(it);
}

bool OpenFiles::is_open(const std::filesystem::path& host) const
{
    std::lock_guard guard(m_lock);
    return m_counts.count(host) != 0;
}

size_t OpenFiles::size() const
{
    std::lock_guard guard(m_lock);
    return m_counts.size();
}

} // namespace kivo
