#include "SimThread.h"

#include "Device.h"
#include "Process.h"
#include "SyncObjects.h"
#include "ThreadTermination.h"
#include "WideText.h"

#include <algorithm>
#include <exception>

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
    return t_current;
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
    m_state = State::Finished;
    wake_waiters();
}

void SimThread::run(std::function<DWORD()> body)
{
    set_current(this);
    auto& scheduler = m_device.scheduler();
    scheduler.await_first_turn(*this);
    DWORD exit_code = 0;
    try {
        if (m_kill_requested)
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
    m_device.for_each_component([this](DeviceComponent& component) { component.thread_ending(*this); });
    scheduler.end_thread(*this, exit_code);
    m_host_done = true;
    set_current(nullptr);
}

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
