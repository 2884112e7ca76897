#include "ZolRecord.h"

#include "Device.h"
#include "KernelApi.h"
#include "LibraryLoader.h"
#include "Process.h"
#include "SimThread.h"
#include "WideText.h"

#include <algorithm>

namespace kivo {

namespace {

DWORD calling_process()
{
    auto* thread = SimThread::current();
    return thread ? thread->process().id() : 0;
}

DWORD calling_thread()
{
    auto* thread = SimThread::current();
    return thread ? thread->id() : 0;
}

} // namespace

ZolRecord::ZolRecord(Device& device)
    : m_device(device)
    , m_calls(device.trace_limit())
    , m_callbacks(device.trace_limit())
    , m_buffer_events(device.trace_limit())
{
}

void ZolRecord::apply_to_loader(const ZolKnobs& knobs)
{
    auto& loader = m_device.component<LibraryLoader>();
    loader.set_missing(zol_library_file, knobs.missing);
    ZolKnobs before;
    {
        std::lock_guard guard(m_lock);
        before = m_knobs;
    }
    for (auto& name : before.lacking)
        loader.set_withheld(zol_library_file, name, false);
    for (auto& name : knobs.lacking)
        loader.set_withheld(zol_library_file, name, true);
}

void ZolRecord::set_missing(bool missing)
{
    m_device.component<LibraryLoader>().set_missing(zol_library_file, missing);
    std::lock_guard guard(m_lock);
    m_knobs.missing = missing;
}

void ZolRecord::set_lacking(std::string_view entry, bool lacking)
{
    m_device.component<LibraryLoader>().set_withheld(zol_library_file, entry, lacking);
    std::lock_guard guard(m_lock);
    if (lacking)
        m_knobs.lacking.emplace(entry);
    else
        m_knobs.lacking.erase(std::string(entry));
}

void ZolRecord::fail(std::string_view entry, int code, std::optional<int> times)
{
    std::lock_guard guard(m_lock);
    auto& knob = m_knobs.entries[std::string(entry)];
    knob.fail_code = code;
    knob.fail_left = times;
}

void ZolRecord::delay(std::string_view entry, uint64_t ms)
{
    std::lock_guard guard(m_lock);
    m_knobs.entries[std::string(entry)].delay_ms = ms;
}

void ZolRecord::hang(std::string_view entry)
{
    std::lock_guard guard(m_lock);
    m_knobs.entries[std::string(entry)].hang = true;
}

void ZolRecord::clear(std::string_view entry)
{
    {
        std::lock_guard guard(m_lock);
        m_knobs.entries.erase(std::string(entry));
    }
    wake_hung();
}

void ZolRecord::clear_all()
{
    apply_to_loader({});
    {
        std::lock_guard guard(m_lock);
        m_knobs = {};
    }
    wake_hung();
}

void ZolRecord::delay_callbacks(std::string_view callback, uint64_t ms)
{
    std::lock_guard guard(m_lock);
    m_knobs.callbacks[std::string(callback)].delay_ms = ms;
}

void ZolRecord::withhold_callbacks(std::string_view callback, bool withheld)
{
    std::lock_guard guard(m_lock);
    m_knobs.callbacks[std::string(callback)].withheld = withheld;
}

ZolKnobs ZolRecord::knobs() const
{
    std::lock_guard guard(m_lock);
    return m_knobs;
}

void ZolRecord::restore_knobs(const ZolKnobs& knobs)
{
    apply_to_loader(knobs);
    {
        std::lock_guard guard(m_lock);
        m_knobs = knobs;
    }
    wake_hung();
}

bool ZolRecord::hung(std::string_view entry) const
{
    std::lock_guard guard(m_lock);
    auto it = m_knobs.entries.find(std::string(entry));
    return it != m_knobs.entries.end() && it->second.hang;
}

void ZolRecord::wake_hung()
{
    std::lock_guard guard(m_hang_mutex);
    m_hang_cleared.notify_all();
}

std::optional<int> ZolRecord::before_entry(std::string_view entry)
{
    uint64_t delay_ms = 0;
    {
        std::lock_guard guard(m_lock);
        if (auto it = m_knobs.entries.find(std::string(entry)); it != m_knobs.entries.end())
            delay_ms = it->second.delay_ms;
    }
    if (delay_ms)
        Sleep(static_cast<DWORD>(delay_ms));
    {
        // A kill of the process ends the wait by unwinding the thread.
        std::unique_lock guard(m_hang_mutex);
        m_hang_cleared.wait(guard, std::nullopt, [&] { return !hung(entry); });
    }
    std::lock_guard guard(m_lock);
    auto it = m_knobs.entries.find(std::string(entry));
    if (it == m_knobs.entries.end() || !it->second.fail_code)
        return std::nullopt;
    int code = *it->second.fail_code;
    if (auto& left = it->second.fail_left) {
        if (--*left <= 0) {
            it->second.fail_code.reset();
            left.reset();
        }
    }
    return code;
}

ZolCallbackKnob ZolRecord::callback_knob(std::string_view callback) const
{
    std::lock_guard guard(m_lock);
    auto it = m_knobs.callbacks.find(std::string(callback));
    return it == m_knobs.callbacks.end() ? ZolCallbackKnob {} : it->second;
}

ZolRecord::Ticket ZolRecord::begin_call(std::string_view entry, std::string arguments)
{
    std::string text = std::string(entry) + "(" + arguments + ")";
    ZolCall call { calling_process(), calling_thread(), std::string(entry), std::move(arguments), std::nullopt, false,
        m_device.clock().now_ms(), 0 };
    std::lock_guard guard(m_lock);
    return { m_calls.append(std::move(call)), std::move(text) };
}

void ZolRecord::end_call(const Ticket& ticket, int result, bool failed_by_knob)
{
    {
        std::lock_guard guard(m_lock);
        if (ticket.sequence >= m_calls.first_sequence()) {
            auto& call = m_calls.at(ticket.sequence);
            call.result = result;
            call.failed_by_knob = failed_by_knob;
            call.ended_ms = m_device.clock().now_ms();
        }
    }
    m_device.write_debug(to_utf16("zol: " + ticket.text + " = " + std::to_string(result) + "\r\n"));
}

void ZolRecord::record_callback(std::string_view callback, std::string arguments, std::optional<int> answer)
{
    std::string line = "zol: " + std::string(callback) + "(" + arguments + ") "
        + (answer ? "answered " + std::to_string(*answer) : std::string("withheld")) + "\r\n";
    {
        std::lock_guard guard(m_lock);
        m_callbacks.append({ calling_process(), calling_thread(), std::string(callback), std::move(arguments), answer, !answer,
            m_device.clock().now_ms() });
    }
    m_device.write_debug(to_utf16(line));
}

void ZolRecord::handed_out(std::string_view entry, const void* buffer, size_t bytes)
{
    auto address = reinterpret_cast<uintptr_t>(buffer);
    DWORD process = calling_process();
    std::lock_guard guard(m_lock);
    m_live[address] = { process, bytes, std::string(entry) };
    m_buffer_events.append({ ZolBufferEvent::Kind::HandedOut, process, address, bytes, std::string(entry) });
}

bool ZolRecord::release(const void* buffer)
{
    auto address = reinterpret_cast<uintptr_t>(buffer);
    DWORD process = calling_process();
    bool known = false;
    {
        std::lock_guard guard(m_lock);
        auto it = m_live.find(address);
        known = it != m_live.end() && it->second.process == process;
        if (known) {
            m_buffer_events.append({ ZolBufferEvent::Kind::Released, process, address, it->second.bytes, it->second.entry });
            m_live.erase(it);
        } else {
            m_buffer_events.append({ ZolBufferEvent::Kind::ReleaseRefused, process, address, 0, {} });
        }
    }
    if (!known)
        m_device.write_debug(u"zol: release of an unknown buffer refused\r\n");
    return known;
}

std::vector<const void*> ZolRecord::drop_buffers(DWORD process)
{
    std::vector<const void*> dropped;
    std::lock_guard guard(m_lock);
    for (auto it = m_live.begin(); it != m_live.end();) {
        if (it->second.process != process) {
            ++it;
            continue;
        }
        m_buffer_events.append({ ZolBufferEvent::Kind::DroppedAtDetach, process, it->first, it->second.bytes, it->second.entry });
        dropped.push_back(reinterpret_cast<const void*>(it->first));
        it = m_live.erase(it);
    }
    return dropped;
}

std::vector<ZolCall> ZolRecord::calls() const
{
    std::lock_guard guard(m_lock);
    return m_calls.all();
}

std::vector<ZolCall> ZolRecord::calls_of(std::string_view entry) const
{
    std::lock_guard guard(m_lock);
    return m_calls.matching([&](const ZolCall& call) { return call.entry == entry; });
}

std::vector<ZolCallback> ZolRecord::callbacks() const
{
    std::lock_guard guard(m_lock);
    return m_callbacks.all();
}

std::vector<ZolCallback> ZolRecord::callbacks_of(std::string_view callback) const
{
    std::lock_guard guard(m_lock);
    return m_callbacks.matching([&](const ZolCallback& call) { return call.callback == callback; });
}

std::vector<ZolBufferEvent> ZolRecord::buffer_events() const
{
    std::lock_guard guard(m_lock);
    return m_buffer_events.all();
}

size_t ZolRecord::live_buffers() const
{
    std::lock_guard guard(m_lock);
    return m_live.size();
}

} // namespace kivo
