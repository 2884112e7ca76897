#pragma once

// The test side of the chip vendor's filters: every call of a filter's interfaces is recorded with
// what it answered, and a test may force the result of any operation, which then answers that
// result without doing anything until the forcing is cleared. Every vendor filter keeps one of these
// and runs each interface operation through call(); it names its operations with an enum of its own.
// Samples are injected by handing them to a filter's input pin (inject below), as its upstream
// filter would.

#include "Device.h"
#include "Filter.h"
#include "HostMutex.h"
#include "Trace.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace kivo {

// One call of a filter's interface operation: the numbers and the target it was about, where the
// filter records them (a subtitle page, a demultiplexer pin's name), and what it answered.
template<typename Operation>
struct FilterCall {
    Operation operation;
    uint64_t first = 0;
    uint64_t second = 0;
    std::u16string target;
    HRESULT result = S_OK;
};

// A filter with more to say about its calls (the tuner's PIDs) brings its own record, which starts
// with the operation and has a result.
template<typename Operation, typename Call = FilterCall<Operation>>
class FilterControl {
public:
    using Record = Call;

    // The calls kept follow the device's trace limit, so a simulator run of days stays in memory.
    explicit FilterControl(Device& device)
        : m_calls(device.trace_limit())
    {
    }

    // Runs `body` (answering an HRESULT; it may take the record to add what it learns) unless a
    // result is forced for the operation, and records the call. Never holds the control's lock
    // while the body runs.
    template<typename Body>
    HRESULT call(Call record, Body&& body)
    {
        if (std::optional<HRESULT> forced = forced_result(record.operation))
            record.result = *forced;
        else if constexpr (std::is_invocable_v<Body, Call&>)
            record.result = body(record);
        else
            record.result = body();
        HRESULT result = record.result;
        std::lock_guard guard(m_lock);
        m_calls.append(std::move(record));
        return result;
    }
    template<typename Body>
    HRESULT call(Operation operation, Body&& body)
    {
        Call record {};
        record.operation = operation;
        return call(std::move(record), std::forward<Body>(body));
    }

    std::vector<Call> calls() const
    {
        std::lock_guard guard(m_lock);
        return std::vector<Call>(m_calls.begin(), m_calls.end());
    }
    // The calls of one operation, in order.
    std::vector<Call> calls_of(Operation operation) const
    {
        std::vector<Call> found;
        for (Call& call : calls()) {
            if (call.operation == operation)
                found.push_back(std::move(call));
        }
        return found;
    }

    void force_result(Operation operation, HRESULT result)
    {
        std::lock_guard guard(m_lock);
        auto known = std::find_if(m_forced.begin(), m_forced.end(), [&](auto& entry) { return entry.first == operation; });
        if (known != m_forced.end())
            known->second = result;
        else
            m_forced.emplace_back(operation, result);
    }
    void clear_forced_results()
    {
        std::lock_guard guard(m_lock);
        m_forced.clear();
    }
    std::optional<HRESULT> forced_result(Operation operation) const
    {
        std::lock_guard guard(m_lock);
        for (auto& [forced, result] : m_forced) {
            if (forced == operation)
                return result;
        }
        return std::nullopt;
    }

private:
    mutable HostMutex m_lock { LockRank::VendorFilterControl };
    Trace<Call> m_calls;
    std::vector<std::pair<Operation, HRESULT>> m_forced;
};

// Hands a sample to a filter's input pin of that name as its upstream filter would (on the calling
// thread): VFW_E_NOT_FOUND when the filter has no such input pin.
inline HRESULT inject(Filter& filter, std::u16string_view input_pin, const SamplePtr& sample)
{
    Pin* pin = filter.pin(input_pin);
    if (!pin || pin->direction() != PINDIR_INPUT)
        return VFW_E_NOT_FOUND;
    return static_cast<InputPin*>(pin)->receive(sample);
}

} // namespace kivo
