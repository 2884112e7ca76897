#pragma once

// The test side of the chip vendor's filters: every call of a filter's interfaces is recorded with
// what it answered, and a test may force the result of any operation, which then answers that
// result without doing anything until the forcing is cleared. A filter keeps one of these and runs
// each interface operation through call(); it names its operations with an enum of its own.
// Samples are injected by handing them to a filter's input pin (inject below), as its upstream
// filter would.

#include "Filter.h"
#include "HostMutex.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kivo {

template<typename Operation>
class FilterControl {
public:
    struct Call {
        Operation operation;
        HRESULT result;
        // What the call was about, where a filter says (a demultiplexer's pin name), else empty.
        std::u16string target;
    };

    // Runs `body` (a callable answering an HRESULT) unless a result is forced for the operation,
    // and records the call. Never holds the control's lock while the body runs.
    template<typename Body>
    HRESULT call(Operation operation, Body&& body, std::u16string target = {})
    {
        std::optional<HRESULT> forced = forced_result(operation);
        HRESULT result = forced ? *forced : body();
        std::lock_guard guard(m_lock);
        m_calls.push_back({ operation, result, std::move(target) });
        return result;
    }

    std::vector<Call> calls() const
    {
        std::lock_guard guard(m_lock);
        return m_calls;
    }
    void clear_calls()
    {
        std::lock_guard guard(m_lock);
        m_calls.clear();
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
    std::vector<Call> m_calls;
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
