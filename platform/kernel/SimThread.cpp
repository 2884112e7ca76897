#include "SimThread.h"

#include "Device.h"
#include "Process.h"
#include "SyncObjects.h"
#include "ThreadTermination.h"
#include "WideText.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <string_view>

namespace kivo {

namespace {
thread_local SimThread* t_current = nullptr;
}

SimThread::SimThread(Device& device, std::shared_ptr<Process> process, DWORD id, bool is_host)
    : m_device(device)
    , m_process(std::move(process))
    , m_id(id)
    , m_is_host(is_host)
{
    if (is_host)
        m_state = State::Running;
}

SimThread::~SimThread()
{
    join();
}

SimThread* SimThread::current()
{
    if (t_current && t_current->left_behind()) [[unlikely]]
        park();
    return t_current;
}

void SimThread::park()
{
    // Nothing of the device is left to return to; the host process ends this thread at its exit.
    // No object is touched here, so the wait outlives every static too.
    for (;;)
        std::this_thread::sleep_for(std::chrono::hours(24));
}

bool SimThread::leave_behind()
{
    Phase expected = Phase::InProgram;
    if (!m_phase.compare_exchange_strong(expected, Phase::LeftBehind, std::memory_order_acq_rel))
        return false;
    if (m_host.joinable())
        m_host.detach();
    return true;
}

std::string SimThread::describe() const
{
    std::string text = to_utf8(m_process->image_path()) + ", thread " + std::to_string(m_id);
    const char* call = m_last_call.load(std::memory_order_relaxed);
    if (!call)
        return text + ", no blocking layer call yet";
    // The bare name of the function, without its return type and parameters.
    std::string_view name = call;
    name = name.substr(0, name.find('('));
    if (auto space = name.rfind(' '); space != std::string_view::npos)
        name = name.substr(space + 1);
    text += ", last blocking layer call ";
    text += name;
    if (const char* kind = m_last_object.load(std::memory_order_relaxed)) {
        text += " on ";
        text += kind;
    }
    return text;
}

void SimThread::set_current(SimThread* thread)
{
    t_current = thread;
}

void SimThread::remove_owned_mutex(Mutex* mutex)
{
    std::erase(m_owned_mutexes, mutex);
}

void SimThread::abandon_owned_mutexes()
{
    auto owned = std::move(m_owned_mutexes);
    m_owned_mutexes.clear();
    for (auto* mutex : owned)
        mutex->abandon(*this);
}

void SimThread::start(std::function<DWORD()> body)
{
    m_host = std::thread([this, body = std::move(body)] { run(body); });
    m_device.scheduler().place(m_host);
}

void SimThread::join()
{
    if (m_host.joinable() && m_host.get_id() != std::this_thread::get_id())
        m_host.join();
}

void SimThread::finish(DWORD exit_code)
{
    if (m_exit_code == 259)
        m_exit_code = exit_code;
    set_state(State::Finished);
    wake_waiters();
}

void SimThread::run(std::function<DWORD()> body)
{
    set_current(this);
    auto& scheduler = m_device.scheduler();
    scheduler.await_first_turn(*this);
    DWORD exit_code = 0;
    try {
        if (kill_requested())
            scheduler.throw_termination(*this);
        exit_code = body();
    } catch (const ThreadTermination&) {
        exit_code = m_process->exit_code();
    } catch (const ThreadExit& exit) {
        exit_code = exit.exit_code;
    } catch (const std::exception& error) {
        // A program fault: the process dies, as an unhandled exception kills it on the device.
        m_device.write_debug(to_utf16(std::string("unhandled exception in thread: ") + error.what() + "\r\n"));
        {
            auto guard = scheduler.lock();
            m_process->terminate(0xC0000005);
        }
        exit_code = 0xC0000005;
    }
    // Left behind by the device while in program code: the device may be gone already.
    Phase expected = Phase::InProgram;
    if (!m_phase.compare_exchange_strong(expected, Phase::Leaving, std::memory_order_acq_rel))
        park();
    m_device.for_each_component([this](DeviceComponent& component) { component.thread_ending(*this); });
    scheduler.end_thread(*this, exit_code);
    m_host_done = true;
    set_current(nullptr);
}

namespace detail {

bool termination_requested()
{
    auto* thread = SimThread::current();
    return thread && thread->kill_requested();
}

bool termination_unwinding()
{
    auto* thread = SimThread::current();
    return thread && thread->unwinding();
}

void set_termination_unwinding(bool unwinding)
{
    if (auto* thread = SimThread::current())
        thread->set_unwinding(unwinding);
}

} // namespace detail

DeferredTermination::DeferredTermination()
{
    if (auto* thread = SimThread::current())
        thread->defer_termination(true);
}

DeferredTermination::~DeferredTermination()
{
    if (auto* thread = SimThread::current())
        thread->defer_termination(false);
}

} // namespace kivo
