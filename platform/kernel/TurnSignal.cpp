#include "TurnSignal.h"

#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kivo {

namespace {

void futex_wait(std::atomic<uint32_t>& word, uint32_t expected, const timespec* relative)
{
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_PRIVATE, expected, relative, nullptr, 0);
}

void futex_wake(std::atomic<uint32_t>& word)
{
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

} // namespace

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));

void TurnSignal::give()
{
    if (m_word.exchange(Given, std::memory_order_acq_rel) == Sleeping)
        futex_wake(m_word);
}

bool TurnSignal::take_if_given()
{
    uint32_t given = Given;
    return m_word.compare_exchange_strong(given, Empty, std::memory_order_acq_rel);
}

void TurnSignal::take()
{
    while (!take_if_given()) {
        uint32_t empty = Empty;
        if (m_word.compare_exchange_strong(empty, Sleeping, std::memory_order_acq_rel) || empty == Sleeping)
            futex_wait(m_word, Sleeping, nullptr);
    }
}

bool TurnSignal::take_until(std::chrono::steady_clock::time_point until)
{
    while (!take_if_given()) {
        auto left = until - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            // Leave no sleeping mark behind: the next give must not count on a waiter.
            uint32_t sleeping = Sleeping;
            m_word.compare_exchange_strong(sleeping, Empty, std::memory_order_acq_rel);
            return take_if_given();
        }
        auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        timespec relative { static_cast<time_t>(seconds.count()),
            static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count()) };
        uint32_t empty = Empty;
        if (m_word.compare_exchange_strong(empty, Sleeping, std::memory_order_acq_rel) || empty == Sleeping)
            futex_wait(m_word, Sleeping, &relative);
    }
    return true;
}

} // namespace kivo
