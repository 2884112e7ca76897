#pragma once

#include "KernelObject.h"
#include "Types.h"

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace kivo {

// A point-to-point message queue. Its read handle is signalled while a message waits. All of its
// state is guarded by the scheduler's lock.
class PointToPointQueue final : public Waitable {
public:
    PointToPointQueue(DWORD max_messages, DWORD max_message_bytes, bool read_access)
        : m_max_messages(max_messages)
        , m_max_message_bytes(max_message_bytes)
        , m_read_access(read_access)
    {
    }

    const char* kind() const override { return "message queue"; }
    bool is_signalled_for(const SimThread&) const override { return m_read_access && !m_messages.empty(); }

    bool read_access() const { return m_read_access; }
    bool empty() const { return m_messages.empty(); }
    size_t front_size() const { return m_messages.front().size(); }

    // False when the queue is full or the message too long for it.
    bool push(std::span<const uint8_t> message);
    std::vector<uint8_t> pop();

private:
    DWORD m_max_messages;
    DWORD m_max_message_bytes;
    bool m_read_access;
    std::deque<std::vector<uint8_t>> m_messages;
};

} // namespace kivo
