#pragma once

namespace kivo {

class Process;
class SimThread;

// Why the device stopped running.
enum class StopReason {
    None,      // still running
    PowerOff,  // the system power-off call: an orderly stop
    Reset,     // the reset register or the reboot call: what was not flushed is lost
    Destroyed, // the device object went away (end of a test or of the simulator)
};

// A stand-in's state that lives in the device (volumes, registry, windows, drivers, screen …).
// The device makes each kind once, on first use, and destroys them in reverse order after every
// thread has ended.
class DeviceComponent {
public:
    virtual ~DeviceComponent() = default;

    // A process is ending: release what it owns. Runs on the process's last thread, without locks.
    virtual void process_ending(Process&) { }
    // A simulated thread is ending (returned or unwound): release what belongs to the thread alone.
    // Runs on that thread, without locks, before its process may end.
    virtual void thread_ending(SimThread&) { }
    // The device stops; an orderly stop (power-off or destruction) keeps what should be kept.
    virtual void device_stopping(StopReason) { }
};

} // namespace kivo
