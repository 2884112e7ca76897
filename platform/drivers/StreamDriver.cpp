#include "StreamDriver.h"

#include "Device.h"
#include "DriverOpen.h"
#include "Errors.h"
#include "StreamDriverTable.h"

namespace kivo {

StreamDriver::StreamDriver(Device& device, std::u16string name)
    : m_device(device)
    , m_name(std::move(name))
    , m_calls(device.trace_limit())
{
    device.component<StreamDriverTable>().add(m_name, [this](DWORD& error) -> std::shared_ptr<KernelObject> {
        std::lock_guard guard(m_lock);
        if (m_open_failure) {
            error = m_open_failure;
            return nullptr;
        }
        ++m_open_count;
        return std::make_shared<DriverOpen>(*this);
    });
}

void StreamDriver::set_open_failure(DWORD error)
{
    std::lock_guard guard(m_lock);
    m_open_failure = error;
}

size_t StreamDriver::open_count() const
{
    std::lock_guard guard(m_lock);
    return m_open_count;
}

void StreamDriver::set_call_failure(DWORD code, DWORD error)
{
    std::lock_guard guard(m_lock);
    if (error)
        m_call_failures[code] = error;
    else
        m_call_failures.erase(code);
}

std::vector<DriverCall> StreamDriver::calls() const
{
    std::lock_guard guard(m_lock);
    return m_calls.all();
}

DWORD StreamDriver::control(DWORD code, std::span<const uint8_t> in, std::span<uint8_t> out, DWORD& returned)
{
    std::lock_guard guard(m_lock);
    returned = 0;
    DriverCall call { code, 0, std::vector<uint8_t>(in.begin(), in.end()) };
    read_value(in, call.value);
    m_calls.append(std::move(call));
    if (auto failure = m_call_failures.find(code); failure != m_call_failures.end())
        return failure->second;
    return answer(code, in, out, returned);
}

DWORD StreamDriver::put_value(DWORD value, std::span<uint8_t> out, DWORD& returned)
{
    if (out.size() < sizeof value)
        return ERROR_INSUFFICIENT_BUFFER;
    for (size_t i = 0; i < sizeof value; ++i)
        out[i] = static_cast<uint8_t>(value >> (8 * i));
    returned = sizeof value;
    return ERROR_SUCCESS;
}

bool StreamDriver::read_value(std::span<const uint8_t> in, DWORD& value)
{
    if (in.size() < sizeof value)
        return false;
    value = 0;
    for (size_t i = 0; i < sizeof value; ++i)
        value |= static_cast<DWORD>(in[i]) << (8 * i);
    return true;
}

} // namespace kivo
