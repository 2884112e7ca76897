#pragma once

// Records a callback of the manager hands to the interface thread with a posted message. The list
// keeps each record until the message's handler takes it, so a record whose message is never
// handled (the program ended first) goes with the list instead of being lost.

#include "platform.h"

#include <algorithm>
#include <memory>
#include <vector>

template<typename Record>
class PostedRecords {
public:
    PostedRecords() { InitializeCriticalSection(&m_lock); }
    ~PostedRecords() { DeleteCriticalSection(&m_lock); }
    PostedRecords(const PostedRecords&) = delete;
    PostedRecords& operator=(const PostedRecords&) = delete;

    // Posts a copy of the record in lParam; false, with nothing kept, when there is no window or
    // the platform refuses the post.
    bool Post(HWND window, UINT message, WPARAM wparam, const Record& record)
    {
        if (!window)
            return false;
        auto copy = std::make_unique<Record>(record);
        Record* posted = copy.get();
        EnterCriticalSection(&m_lock);
        m_records.push_back(std::move(copy));
        LeaveCriticalSection(&m_lock);
        if (::PostMessage(window, message, wparam, reinterpret_cast<LPARAM>(posted)))
            return true;
        Take(posted);
        return false;
    }

    // The handler's record, now its own; null for a record this list does not hold.
    std::unique_ptr<Record> Take(Record* posted)
    {
        EnterCriticalSection(&m_lock);
        std::unique_ptr<Record> taken;
        auto it = std::find_if(m_records.begin(), m_records.end(), [&](const auto& held) { return held.get() == posted; });
        if (it != m_records.end()) {
            taken = std::move(*it);
            m_records.erase(it);
        }
        LeaveCriticalSection(&m_lock);
        return taken;
    }

private:
    CRITICAL_SECTION m_lock;
    std::vector<std::unique_ptr<Record>> m_records;
};
