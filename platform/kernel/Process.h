#pragma once

#include "HostMutex.h"
#include "KernelObject.h"
#include "Types.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kivo {

class Device;
class SimThread;

// A simulated process: an image path, a command line, threads, handles and process-wide state.
// Its handle object is signalled when its last thread has ended and its resources are released.
class Process final : public Waitable {
public:
    Process(Device&, DWORD id, std::u16string image_path, std::u16string command_line);
    ~Process() override;

    const char* kind() const override { return "process"; }
    bool is_signalled_for(const SimThread&) const override { return m_ended; }

    static Process& current();

    Device& device() const { return m_device; }
    DWORD id() const { return m_id; }
    const std::u16string& image_path() const { return m_image_path; }
    const std::u16string& command_line() const { return m_command_line; }
    HMODULE module() const { return m_module; }
    void set_module(HMODULE module) { m_module = module; }

    // Written with the scheduler's lock held; read without it too (a parent on the real clock
    // looks at a child whose threads run in parallel).
    DWORD exit_code() const { return m_exit_code; }
    bool ended() const { return m_ended; }
    bool terminating() const { return m_terminating; }

    // Guarded by the scheduler's lock.
    std::vector<std::shared_ptr<SimThread>>& threads() { return m_threads; }
    // With the scheduler's lock held: null once the process has ended.
    std::shared_ptr<SimThread> main_thread() const { return m_threads.empty() ? nullptr : m_threads.front(); }

    // Asks every thread to end where it stands; the process ends when the last one has.
    // Called with the scheduler's lock held.
    void terminate(DWORD exit_code);

    // Called by the last thread as it ends, without the lock: releases windows, handles and
    // process-wide state, then signals the process.
    void finalize();
    bool all_threads_finished() const;
    // The first caller (the last thread to end) gets true and finalizes; with the lock held.
    bool begin_finalize();
    // With the lock held, after finalize: the process is signalled.
    void mark_ended();

    // Process-wide state of one kind, made on first use and destroyed when the process ends.
    // Threads of the process may ask at once: T is made outside the lock (its constructor may
    // call the layer, even for other state of the process), and when two threads made one each,
    // the first kept wins and the other is dropped.
    template<typename T>
    T& local(const void* key)
    {
        if (void* found = find_local(key))
            return *static_cast<T*>(found);
        return *static_cast<T*>(insert_local(key, std::make_shared<T>()));
    }

private:
    struct LocalSlot {
        const void* key;
        std::shared_ptr<void> value;
    };

    void* find_local(const void* key);
    // Keeps the value unless another thread kept one first; answers the one kept.
    void* insert_local(const void* key, std::shared_ptr<void> value);
    void release_locals();

    Device& m_device;
    DWORD m_id;
    std::u16string m_image_path;
    std::u16string m_command_line;
    HMODULE m_module = nullptr;
    std::atomic<DWORD> m_exit_code = 259; // STILL_ACTIVE
    std::atomic<bool> m_terminating = false;
    bool m_finalizing = false;
    std::atomic<bool> m_ended = false;
    std::vector<std::shared_ptr<SimThread>> m_threads;
    HostMutex m_locals_lock { LockRank::ProcessLocals };
    std::vector<LocalSlot> m_locals;
};

// State that each simulated process has once, in place of a program's global: several programs
// (or two copies of one) run in one host process and must never share it.
template<typename T>
class ProcessLocal {
public:
    T& get() { return Process::current().local<T>(this); }
    T* operator->() { return &get(); }
    T& operator*() { return get(); }
};

} // namespace kivo
