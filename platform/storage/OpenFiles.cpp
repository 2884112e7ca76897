#include "OpenFiles.h"

#include "Errors.h"
#include "FileApi.h"

#include <algorithm>

namespace kivo {

namespace {

// Whether `added` may be open beside `open`: each must let the other do what it does. A handle
// that neither reads nor writes (one for the attributes) clashes with nothing.
bool clash(const OpenFiles::Use& open, const OpenFiles::Use& added)
{
    auto refuses = [](const OpenFiles::Use& holder, const OpenFiles::Use& other) {
        return (other.read && !(holder.share & FILE_SHARE_READ)) || (other.write && !(holder.share & FILE_SHARE_WRITE));
    };
    bool open_accesses = open.read || open.write;
    bool added_accesses = added.read || added.write;
    return open_accesses && added_accesses && (refuses(open, added) || refuses(added, open));
}

} // namespace

DWORD OpenFiles::open(const std::filesystem::path& host, Use use)
{
    std::lock_guard guard(m_lock);
    auto& uses = m_uses[host];
    if (std::any_of(uses.begin(), uses.end(), [&](const Use& open) { return clash(open, use); })) {
        if (uses.empty())
            m_uses.erase(host);
        return ERROR_SHARING_VIOLATION;
    }
    uses.push_back(use);
    return ERROR_SUCCESS;
}

void OpenFiles::closed(const std::filesystem::path& host, Use use)
{
    std::lock_guard guard(m_lock);
    auto it = m_uses.find(host);
    if (it == m_uses.end())
        return;
    auto& uses = it->second;
    if (auto found = std::find(uses.begin(), uses.end(), use); found != uses.end())
        uses.erase(found);
    if (uses.empty())
        m_uses.erase(it);
}

bool OpenFiles::is_open(const std::filesystem::path& host) const
{
    std::lock_guard guard(m_lock);
    return m_uses.count(host) != 0;
}

size_t OpenFiles::size() const
{
    std::lock_guard guard(m_lock);
    return m_uses.size();
}

} // namespace kivo
