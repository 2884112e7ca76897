#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace kivo {

// Passes the virtual clock's turn to one waiting host thread: the waiter sleeps in the kernel at
// once (no spinning, which only steals the host core from the thread that has the turn), and a
// give wakes it with one system call only when it is asleep.
class TurnSignal {
public:
    void give();
    void take();
    // False when the time passed first.
    bool take_until(std::chrono::steady_clock::time_point);

private:
    enum : uint32_t {
        Empty,
        Given,
        Sleeping,
    };
    bool take_if_given();

    std::atomic<uint32_t> m_word = Empty;
};

} // namespace kivo
