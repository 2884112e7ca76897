#include "Device.h"

#include "Process.h"
#include "SimThread.h"
#include "ThreadTermination.h"
#include "WideText.h"

#include <cstdio>
#include <cstdlib>

namespace kivo {

Device::Device(Options options)
    : m_root(std::move(options.root))
    , m_clock(options.clock)
    , m_scheduler(m_clock)
{
    m_debug_log.set_echo(options.echo_debug_output);
    m_debug_log.follow(m_trace_limit);
    m_system_process = std::make_shared<Process>(*this, m_next_process_id++, u"\\Windows\\nk.exe", u"");
    m_system_process->set_module(register_module(u"\\Windows\\nk.exe"));
    m_controller = std::make_shared<SimThread>(*this, m_system_process, next_thread_id(), true);
    m_previous_current = SimThread::current();
    SimThread::set_current(m_controller.get());
    if (m_clock.mode() == ClockMode::Real)
        m_scheduler.start_real_timer(std::make_shared<SimThread>(*this, m_system_process, next_thread_id(), true));
}

Device::~Device()
{
    stop(StopReason::Destroyed);
    m_scheduler.shut_down();
    {
        std::lock_guard guard(m_processes_lock);
        m_processes.clear();
    }
    // Components go in reverse order of making, while the controller can still call the layer.
    {
        std::lock_guard guard(m_components_lock);
        while (!m_components.empty())
            m_components.pop_back();
    }
    m_handles.close_all_of(*m_system_process);
    SimThread::set_current(m_previous_current);
}

Device& Device::current()
{
    auto* thread = SimThread::current();
    if (!thread) {
        std::fputs("kivo: a layer call from a thread outside any device\n", stderr);
        std::abort();
    }
    return thread->device();
}

std::shared_ptr<Process> Device::create_process(std::u16string_view image_path, std::u16string_view command_line, DWORD& error,
    std::shared_ptr<SimThread>* main_thread)
{
    error = 0;
    if (!running()) {
        error = 1115; // ERROR_SHUTDOWN_IN_PROGRESS
        return nullptr;
    }
    auto entry = m_programs.find(image_path);
    if (!entry) {
        error = 2; // ERROR_FILE_NOT_FOUND
        return nullptr;
    }
    if (DWORD failure = m_programs.start_failure(image_path)) {
        error = failure;
        return nullptr;
    }
    if (m_image_check) {
        if (DWORD failure = m_image_check(image_path)) {
            error = failure;
            return nullptr;
        }
    }
    std::u16string path = m_programs.registered_path(image_path);
    std::shared_ptr<Process> process;
    {
        std::lock_guard guard(m_processes_lock);
        std::erase_if(m_processes, [](auto& p) { return p->ended(); });
        process = std::make_shared<Process>(*this, m_next_process_id++, path, std::u16string(command_line));
        m_processes.push_back(process);
    }
    process->set_module(register_module(path));
    auto main = create_thread(*process, [entry = std::move(*entry), command_line = std::u16string(command_line)] {
        return static_cast<DWORD>(entry(command_line));
    });
    if (!main) {
        error = 1115;
        return nullptr;
    }
    if (main_thread)
        *main_thread = std::move(main);
    return process;
}

std::shared_ptr<SimThread> Device::create_thread(Process& process, std::function<DWORD()> body)
{
    std::shared_ptr<Process> owner;
    if (&process == m_system_process.get()) {
        owner = m_system_process;
    } else {
        std::lock_guard guard(m_processes_lock);
        for (auto& p : m_processes) {
            if (p.get() == &process)
                owner = p;
        }
    }
    if (!owner)
        return nullptr;
    auto thread = std::make_shared<SimThread>(*this, owner, next_thread_id(), false);
    {
        auto guard = m_scheduler.lock();
        if (process.terminating() || process.ended() || !running())
            return nullptr;
        process.threads().push_back(thread);
        m_scheduler.add_thread(thread);
    }
    thread->start(std::move(body));
    return thread;
}

std::vector<std::shared_ptr<Process>> Device::processes()
{
    std::lock_guard guard(m_processes_lock);
    std::vector<std::shared_ptr<Process>> result;
    for (auto& process : m_processes) {
        if (!process->ended())
            result.push_back(process);
    }
    return result;
}

std::shared_ptr<Process> Device::find_process(std::u16string_view image_path)
{
    auto key = image_key(image_path);
    for (auto& process : processes()) {
        if (image_key(process->image_path()) == key)
            return process;
    }
    return nullptr;
}

HMODULE Device::register_module(std::u16string device_path)
{
    std::lock_guard guard(m_modules_lock);
    for (size_t i = 0; i < m_modules.size(); ++i) {
        if (equals_ignoring_case(m_modules[i], device_path))
            return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x10000 + i * 0x10000));
    }
    m_modules.push_back(std::move(device_path));
    return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x10000 + (m_modules.size() - 1) * 0x10000));
}

std::u16string Device::module_path(HMODULE module) const
{
    std::lock_guard guard(m_modules_lock);
    auto value = reinterpret_cast<uintptr_t>(module);
    if (value < 0x10000 || value % 0x10000)
        return {};
    size_t index = value / 0x10000 - 1;
    return index < m_modules.size() ? m_modules[index] : std::u16string();
}

void Device::write_debug(std::u16string_view text)
{
    auto* thread = SimThread::current();
    std::u16string_view image = thread ? std::u16string_view(thread->process().image_path()) : std::u16string_view();
    std::u16string_view name = image.substr(image.find_last_of(u"\\/") + 1);
    m_debug_log.write(m_clock.now_ms(), thread ? thread->process().id() : 0, name, text);
}

DeviceComponent* Device::find_component(std::type_index type)
{
    std::lock_guard guard(m_components_lock);
    for (auto& [kept_type, component] : m_components) {
        if (kept_type == type)
            return component.get();
    }
    return nullptr;
}

DeviceComponent& Device::keep_component(std::type_index type, std::unique_ptr<DeviceComponent> made)
{
    DeviceComponent* winner = nullptr;
    {
        std::lock_guard guard(m_components_lock);
        for (auto& [kept_type, component] : m_components) {
            if (kept_type == type)
                winner = component.get();
        }
        if (!winner) {
            m_components.emplace_back(type, std::move(made));
            return *m_components.back().second;
        }
    }
    // The loser goes outside the lock: its destructor may call the layer too.
    made.reset();
    return *winner;
}

void Device::for_each_component(const std::function<void(DeviceComponent&)>& action)
{
    std::vector<DeviceComponent*> components;
    {
        std::lock_guard guard(m_components_lock);
        for (auto& [type, component] : m_components)
            components.push_back(component.get());
    }
    for (auto* component : components)
        action(*component);
}

void Device::stop(StopReason reason)
{
    StopReason expected = StopReason::None;
    bool first = m_stop_reason.compare_exchange_strong(expected, reason);
    if (first)
        for_each_component([reason](DeviceComponent& component) { component.device_stopping(reason); });
    {
        auto guard = m_scheduler.lock();
        std::lock_guard processes_guard(m_processes_lock);
        for (auto& process : m_processes)
            process->terminate(0);
    }
    auto* self = SimThread::current();
    if (self && self->is_scheduled() && !self->unwinding())
        m_scheduler.throw_termination(*self);
}

Device::HostThreadScope::HostThreadScope(Device& device)
    : m_thread(std::make_shared<SimThread>(device, device.m_system_process, device.next_thread_id(), true))
    , m_previous(SimThread::current())
{
    SimThread::set_current(m_thread.get());
}

Device::HostThreadScope::~HostThreadScope()
{
    // The scope's thread goes with it: what it still owns passes on, as when a thread ends.
    {
        auto guard = m_thread->device().scheduler().lock();
        m_thread->abandon_owned_mutexes();
    }
    SimThread::set_current(m_previous);
}

} // namespace kivo
