#include "Process.h"

#include "Device.h"
#include "SimThread.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kivo {

Process::Process(Device& device, DWORD id, std::u16string image_path, std::u16string command_line)
    : m_device(device)
    , m_id(id)
    , m_image_path(std::move(image_path))
    , m_command_line(std::move(command_line))
{
}

Process::~Process()
{
    release_locals();
}

void* Process::find_local(const void* key)
{
    std::lock_guard guard(m_locals_lock);
    for (auto& slot : m_locals) {
        if (slot.key == key)
            return slot.value.get();
    }
    return nullptr;
}

void* Process::insert_local(const void* key, std::shared_ptr<void> value)
{
    std::unique_lock guard(m_locals_lock);
    for (auto& slot : m_locals) {
        if (slot.key == key) {
            void* kept = slot.value.get();
            guard.unlock();
            // The loser's state goes here, outside the lock, as its destructor may call the layer.
            value.reset();
            return kept;
        }
    }
    void* kept = value.get();
    m_locals.push_back({ key, std::move(value) });
    return kept;
}

void Process::release_locals()
{
    // Newest state first, as it was made; each destructor runs outside the lock, since it may
    // call the layer (and so reach other state of the process).
    for (;;) {
        std::shared_ptr<void> value;
        {
            std::lock_guard guard(m_locals_lock);
            if (m_locals.empty())
                return;
            value = std::move(m_locals.back().value);
            m_locals.pop_back();
        }
    }
}

Process& Process::current()
{
    auto* thread = SimThread::current();
    if (!thread) {
        std::fputs("kivo: a layer call from a thread outside any device\n", stderr);
        std::abort();
    }
    return thread->process();
}

void Process::terminate(DWORD exit_code)
{
    if (m_ended || m_terminating)
        return;
    m_terminating = true;
    m_exit_code = exit_code;
    for (auto& thread : m_threads) {
        if (thread->state() == SimThread::State::Finished || thread.get() == SimThread::current())
            continue;
        thread->request_kill();
        m_device.scheduler().wake(*thread);
    }
    if (auto* self = SimThread::current(); self && &self->process() == this)
        self->request_kill();
}

bool Process::all_threads_finished() const
{
    return std::all_of(m_threads.begin(), m_threads.end(), [](auto& thread) { return thread->state() == SimThread::State::Finished; });
}

bool Process::begin_finalize()
{
    if (m_finalizing)
        return false;
    m_finalizing = true;
    return true;
}

void Process::finalize()
{
    m_device.for_each_component([this](DeviceComponent& component) { component.process_ending(*this); });
    release_locals();
    m_device.handles().close_all_of(*this);
}

void Process::mark_ended()
{
    m_ended = true;
    // The threads stay reachable through their own handles; the process no longer holds them.
    m_threads.clear();
    wake_waiters();
}

} // namespace kivo
