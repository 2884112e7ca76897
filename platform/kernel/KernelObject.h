#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kivo {

class SimThread;

// Anything a handle can stand for: events, processes, threads, files, mappings, drivers.
class KernelObject : public std::enable_shared_from_this<KernelObject> {
public:
    virtual ~KernelObject() = default;

    // A short word for traces and for refusing a handle of the wrong kind.
    virtual const char* kind() const = 0;

    // The error CloseHandle reports once the handle is gone; 0 when the close went well. A file
    // reports here what could not be written as it was closed.
    virtual uint32_t close_error() { return 0; }

    const std::u16string& name() const { return m_name; }
    void set_name(std::u16string name) { m_name = std::move(name); }

private:
    std::u16string m_name;
};

// An object a thread can wait for. All of its state is guarded by the scheduler's lock.
class Waitable : public KernelObject {
public:
    // Whether a wait by this thread would be satisfied now.
    virtual bool is_signalled_for(const SimThread&) const = 0;
    // Takes what a satisfied wait consumes (an auto-reset event's signal, a mutex's ownership).
    // Returns true when the wait is satisfied by an abandoned mutex.
    virtual bool acquire(SimThread&) { return false; }

    void add_waiter(SimThread& thread) { m_waiters.push_back(&thread); }
    void remove_waiter(SimThread& thread);

protected:
    // Lets every waiter check again; call with the scheduler's lock held after the state changes.
    void wake_waiters();

private:
    std::vector<SimThread*> m_waiters;
};

} // namespace kivo
