#pragma once

#include "Device.h"
#include "HostMutex.h"
#include "Trace.h"
#include "com/ComTypes.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace kivo {

// The test control of a vendor filter's interface operations: each call is recorded with its two
// arguments and its result; a result forced for an operation is answered instead, and the
// operation does nothing, until the forced results are cleared.
template<typename Operation>
class FilterCallRecord {
public:
    struct Call {
        Operation operation;
        uint64_t first = 0;
        uint64_t second = 0;
        HRESULT result = S_OK;
    };

    explicit FilterCallRecord(Device& device)
        : m_calls(device.trace_limit())
    {
    }

    template<typename Body>
    HRESULT run(Operation operation, uint64_t first, uint64_t second, Body&& body)
    {
        std::optional<HRESULT> forced;
        {
            std::lock_guard guard(m_lock);
            if (auto found = m_forced.find(operation); found != m_forced.end())
                forced = found->second;
        }
        const HRESULT result = forced ? *forced : body();
        std::lock_guard guard(m_lock);
        m_calls.append({ operation, first, second, result });
        return result;
    }

    std::vector<Call> calls() const
    {
        std::lock_guard guard(m_lock);
        return m_calls.all();
    }
    void force_result(Operation operation, HRESULT result)
    {
        std::lock_guard guard(m_lock);
        m_forced[operation] = result;
    }
    void clear_forced_results()
    {
        std::lock_guard guard(m_lock);
        m_forced.clear();
    }

private:
    mutable HostMutex m_lock { LockRank::VendorFilterRecord };
    Trace<Call> m_calls;
    std::map<Operation, HRESULT> m_forced;
};

} // namespace kivo
