#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace kivo {

// How many entries each of a device's traces keeps. Tests keep everything (0 = no limit), so they
// can read a whole run; the simulator caps every trace, so a run of days stays within memory.
class TraceLimit {
public:
    size_t get() const { return m_limit.load(std::memory_order_relaxed); }
    void set(size_t limit) { m_limit.store(limit, std::memory_order_relaxed); }

private:
    std::atomic<size_t> m_limit = 0;
};

// A record of what happened, in order, that forgets its oldest entries past the device's limit.
// Every entry keeps its absolute sequence number, so a reader that remembers where it stopped
// ("since the last expect") still finds its place after older entries were dropped.
// Not locked: the owner guards it with its own lock.
template<typename T>
class Trace {
public:
    Trace() = default;
    explicit Trace(const TraceLimit& limit)
        : m_limit(&limit)
    {
    }
    void follow(const TraceLimit& limit) { m_limit = &limit; }

    // Appends an entry; answers its sequence number.
    uint64_t append(T entry)
    {
        m_entries.push_back(std::move(entry));
        size_t limit = m_limit ? m_limit->get() : 0;
        while (limit && m_entries.size() > limit) {
            m_entries.pop_front();
            ++m_first;
        }
        return m_first + m_entries.size() - 1;
    }

    // The sequence number of the oldest entry kept, and the one the next entry will get.
    uint64_t first_sequence() const { return m_first; }
    uint64_t end_sequence() const { return m_first + m_entries.size(); }
    size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }

    // The entry with a sequence number; it must be kept (first_sequence() <= n < end_sequence()).
    const T& at(uint64_t sequence) const { return m_entries.at(sequence - m_first); }
    T& at(uint64_t sequence) { return m_entries.at(sequence - m_first); }
    const T& back() const { return m_entries.back(); }
    T& back() { return m_entries.back(); }

    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }
    auto rbegin() const { return m_entries.rbegin(); }
    auto rend() const { return m_entries.rend(); }

    // The entries kept from a sequence number on (all kept ones when it was dropped already).
    std::vector<T> since(uint64_t sequence) const
    {
        size_t skip = sequence > m_first ? static_cast<size_t>(sequence - m_first) : 0;
        if (skip >= m_entries.size())
            return {};
        return std::vector<T>(m_entries.begin() + skip, m_entries.end());
    }
    std::vector<T> all() const { return std::vector<T>(m_entries.begin(), m_entries.end()); }
    // The entries kept that `accepts` takes, in order.
    template<typename Predicate>
    std::vector<T> matching(Predicate accepts) const
    {
        std::vector<T> found;
        for (const T& entry : m_entries)
            if (accepts(entry))
                found.push_back(entry);
        return found;
    }

    // Forgets every entry; sequence numbers go on from where they were.
    void clear()
    {
        m_first += m_entries.size();
        m_entries.clear();
    }

private:
    const TraceLimit* m_limit = nullptr;
    std::deque<T> m_entries;
    uint64_t m_first = 0;
};

} // namespace kivo
