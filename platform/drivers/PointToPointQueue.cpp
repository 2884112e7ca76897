#include "PointToPointQueue.h"

namespace kivo {

bool PointToPointQueue::push(std::span<const uint8_t> message)
{
    if (message.size() > m_max_message_bytes)
        return false;
    if (m_max_messages && m_messages.size() >= m_max_messages)
        return false;
    m_messages.emplace_back(message.begin(), message.end());
    wake_waiters();
    return true;
}

std::vector<uint8_t> PointToPointQueue::pop()
{
    std::vector<uint8_t> message = std::move(m_messages.front());
    m_messages.pop_front();
    return message;
}

} // namespace kivo
