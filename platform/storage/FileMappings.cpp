#include "FileMappings.h"

#include "BlockTokens.h"
#include "Device.h"
#include "Errors.h"
#include "Process.h"
#include "SimThread.h"

namespace kivo {

FileMappings::FileMappings(Device& device)
    : m_device(device)
{
}

void FileMappings::set_create_failure(DWORD error)
{
    std::lock_guard guard(m_lock);
    m_create_failure = error;
}

DWORD FileMappings::create_failure() const
{
    std::lock_guard guard(m_lock);
    return m_create_failure;
}

void FileMappings::set_view_failure(DWORD error)
{
    std::lock_guard guard(m_lock);
    m_view_failure = error;
}

void* FileMappings::map(std::shared_ptr<FileMapping> mapping, uint64_t offset, size_t size, DWORD& error)
{
    std::lock_guard guard(m_lock);
    if (m_view_failure) {
        error = m_view_failure;
        return nullptr;
    }
    // A size of 0 maps everything from the offset on.
    if (offset > mapping->size() || (size && size > mapping->size() - offset)) {
        error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    void* address = mapping->memory() + offset;
    auto* thread = SimThread::current();
    m_views.emplace(address, View { std::move(mapping), thread ? thread->process().id() : 0 });
    error = ERROR_SUCCESS;
    return address;
}

DWORD FileMappings::unmap(const void* address)
{
    {
        std::lock_guard guard(m_lock);
        auto it = m_views.find(address);
        if (it == m_views.end())
            return ERROR_INVALID_PARAMETER;
        m_views.erase(it);
        if (m_views.contains(address))
            return ERROR_SUCCESS;
    }
    auto& tokens = m_device.component<BlockTokens>();
    if (DWORD token = tokens.token_of(address))
        tokens.revoke(token);
    return ERROR_SUCCESS;
}

size_t FileMappings::view_count() const
{
    std::lock_guard guard(m_lock);
    return m_views.size();
}

void FileMappings::process_ending(Process& process)
{
    std::lock_guard guard(m_lock);
    std::erase_if(m_views, [&](auto& entry) { return entry.second.process_id == process.id(); });
}

} // namespace kivo
