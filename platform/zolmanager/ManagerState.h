#pragma once

#include "PhoneObserver.h"
#include "SimCondition.h"
#include "SimMutex.h"
#include "Types.h"
#include "ZolManagerU.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace kivo {

class Device;
class Process;
class SimThread;
class SimulatedPhones;
class ZolRecord;

// What the manager keeps for one process that loaded it: the program's callbacks and the
// manager's own thread, which makes every callback that is not a progress report. Made when the
// library attaches to the process and ended, thread included, when it detaches.
class ManagerState final : public std::enable_shared_from_this<ManagerState> {
public:
    ManagerState(Device&, Process&, HMODULE);
    ~ManagerState();
    ManagerState(const ManagerState&) = delete;
    ManagerState& operator=(const ManagerState&) = delete;

    // Starts the thread and begins to hear the phones; false when the thread cannot be made.
    bool start();
    // Stops hearing the phones, ends the thread (waiting for it unless the caller is that thread)
    // and frees the buffers the process still holds.
    void stop();

    Device& device() const { return m_device; }
    SimulatedPhones& phones() const;
    ZolRecord& record() const;
    HMODULE module() const { return m_module; }

    void set_start_callback(ZolStartFn);
    void set_connect_callback(ConnectStatusFn);
    void set_frame_callbacks(CallStatusFn, IncomingSmsFn);
    void set_hands_free(bool on);
    bool hands_free() const;

    // The phones in range reported one by one through the callback, then a finishing call.
    void start_inquiry(InquiryFn);
    // Later reports of the search are dropped; never waits for a callback under way.
    void stop_inquiry();

    // What the device hears from its phone, from whichever thread caused it.
    void heard(const ConnectionChange&);
    void heard(const CallReport&);
    void heard(const SmsReport&);

private:
    // Runs `call` on the manager's thread at the callback's delay from now, unless withheld then.
    void post(const char* callback, std::function<void()> call, uint64_t extra_delay_ms = 0);
    DWORD run();

    Device& m_device;
    Process& m_process;
    DWORD m_process_id;
    HMODULE m_module;
    std::shared_ptr<PhoneObserver> m_observer;
    std::shared_ptr<SimThread> m_thread;

    mutable SimMutex m_mutex;
    SimCondition m_wake;
    // Guarded by m_mutex. Jobs by due time (device ms); those due together in the order posted.
    std::multimap<uint64_t, std::function<void()>> m_jobs;
    bool m_stopping = false;
    ConnectStatusFn m_connect = nullptr;
    CallStatusFn m_call = nullptr;
    IncomingSmsFn m_sms = nullptr;
    bool m_hands_free = true;
    uint64_t m_inquiry = 0; // the search under way; a stop moves it on
};

// The manager's record forms, as the phone link reads them.
PhonebookEntry call_party(const std::u16string& number, const std::u16string& name);
SmsRecord sms_record(const PhoneSms&);

} // namespace kivo
