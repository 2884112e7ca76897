#pragma once

#include "BootLauncher.h"
#include "Clock.h"
#include "DebugLog.h"
#include "DeviceComponent.h"
#include "HandleTable.h"
#include "HostMutex.h"
#include "NamedObjects.h"
#include "ProgramTable.h"
#include "Scheduler.h"
#include "Trace.h"
#include "Types.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <vector>

namespace kivo {

class Process;
class SimThread;

// One simulated device: its clock, processes and threads, handles and named objects, debug output,
// program table and boot launcher, and the state of every other stand-in (as components). Tests
// make one per test; the simulator makes one per boot. The thread that makes it becomes its
// controller: it drives the virtual clock and may call the layer as the device's system process.
class Device {
public:
    struct Options {
        std::filesystem::path root;
        Clock::Options clock;
        bool echo_debug_output = false;
    };

    explicit Device(Options);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // The device of the calling thread; aborts outside any device, since that is a bug.
    static Device& current();

    const std::filesystem::path& root() const { return m_root; }
    Clock& clock() { return m_clock; }
    Scheduler& scheduler() { return m_scheduler; }
    HandleTable& handles() { return m_handles; }
    NamedObjects& named_objects() { return m_named_objects; }
    DebugLog& debug_log() { return m_debug_log; }
    // How many entries each trace of the device keeps (none dropped unless set).
    TraceLimit& trace_limit() { return m_trace_limit; }
    ProgramTable& programs() { return m_programs; }
    BootLauncher& boot_launcher() { return m_boot_launcher; }
    Process& system_process() { return *m_system_process; }

    // The virtual clock, driven by the controller.
    void run_until_idle() { m_scheduler.run_until_idle(); }
    void advance(uint64_t ms) { m_scheduler.advance(ms); }
    bool run_until(const std::function<bool()>& predicate, uint64_t limit_ms) { return m_scheduler.run_until(predicate, limit_ms); }

    // Starts a process of a registered image; on failure returns null with the platform's error.
    // Checks that the image can be started (see set_image_check) before anything runs.
    // `main_thread` receives the process's first thread, which may have ended already on the real
    // clock by the time this returns.
    std::shared_ptr<Process> create_process(std::u16string_view image_path, std::u16string_view command_line, DWORD& error,
        std::shared_ptr<SimThread>* main_thread = nullptr);
    std::shared_ptr<SimThread> create_thread(Process&, std::function<DWORD()> body);
    std::vector<std::shared_ptr<Process>> processes();
    std::shared_ptr<Process> find_process(std::u16string_view image_path);

    // The storage stand-in makes starts fail when the image's file or volume is missing.
    using ImageCheck = std::function<DWORD(std::u16string_view image_path)>;
    void set_image_check(ImageCheck check) { m_image_check = std::move(check); }
    // Null until the device's images are installed: then programs and libraries need their files.
    const ImageCheck& image_check() const { return m_image_check; }

    // Modules (program images and libraries) by handle, for GetModuleFileName.
    HMODULE register_module(std::u16string device_path);
    std::u16string module_path(HMODULE) const;

    void write_debug(std::u16string_view text);

    // Power: ends the device's run. Every process ends; a calling simulated thread never returns.
    void stop(StopReason);
    StopReason stop_reason() const { return m_stop_reason; }
    bool running() const { return m_stop_reason == StopReason::None; }

    // The state of a stand-in, made on first use. It is made outside the lock, as its constructor
    // may call other components or the layer (and so wait for threads that need a component);
    // when two threads made one each, the first kept wins and the other is dropped.
    template<typename T>
    T& component()
    {
        if (auto* found = find_component(typeid(T)))
            return static_cast<T&>(*found);
        return static_cast<T&>(keep_component(typeid(T), std::make_unique<T>(*this)));
    }
    void for_each_component(const std::function<void(DeviceComponent&)>&);

    // Lets a host thread that the layer did not start (an audio callback, a window loop) call the
    // layer as the system process, for as long as the returned guard lives.
    class HostThreadScope {
    public:
        explicit HostThreadScope(Device&);
        ~HostThreadScope();

    private:
        std::shared_ptr<SimThread> m_thread;
        SimThread* m_previous;
    };

private:
    DeviceComponent* find_component(std::type_index);
    // Keeps the component unless another thread kept one of its kind first; answers the one kept.
    DeviceComponent& keep_component(std::type_index, std::unique_ptr<DeviceComponent>);
    DWORD next_thread_id() { return m_next_thread_id++; }
    friend class HostThreadScope;
    friend class Scheduler;

    std::filesystem::path m_root;
    Clock m_clock;
    Scheduler m_scheduler;
    HandleTable m_handles;
    NamedObjects m_named_objects;
    TraceLimit m_trace_limit;
    DebugLog m_debug_log;
    ProgramTable m_programs;
    BootLauncher m_boot_launcher { *this };
    ImageCheck m_image_check;

    HostMutex m_processes_lock { LockRank::Processes };
    std::vector<std::shared_ptr<Process>> m_processes;
    std::shared_ptr<Process> m_system_process;
    std::shared_ptr<SimThread> m_controller;
    SimThread* m_previous_current = nullptr;
    DWORD m_next_process_id = 1;
    std::atomic<DWORD> m_next_thread_id = 0x1000;

    mutable HostMutex m_modules_lock { LockRank::Modules };
    std::vector<std::u16string> m_modules;

    std::atomic<StopReason> m_stop_reason = StopReason::None;

    std::recursive_mutex m_components_lock;
    std::vector<std::pair<std::type_index, std::unique_ptr<DeviceComponent>>> m_components;
};

} // namespace kivo
