#pragma once

#include "GwesApi.h"
#include "HostMutex.h"
#include "kernel/DeviceComponent.h"
#include "kernel/Trace.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kivo {

class Device;

// Runs the calling thread's messages until `done` is set by one of them (a box's answer); a quit
// ends it early and is posted again for the outer loop. The layer's and the skin library's boxes
// share it.
void run_box_loop(const bool& done);

// One message box as it was shown, and how it was answered (0 while it is open).
struct MessageBoxRecord {
    HWND owner = nullptr;
    std::u16string caption;
    std::u16string text;
    UINT type = 0;
    int answer = 0;
    uint64_t time_ms = 0;
    DWORD process_id = 0;
};

// MessageBox: a real modal window with its text and buttons, running its own message loop with
// the owner disabled. A responder set by the test (or the simulator's answer) picks the button;
// otherwise a tap on one of its buttons does. Every box shown and every beep is recorded, up to the
// device's trace limit.
class MessageBoxes final : public DeviceComponent {
public:
    using Responder = std::function<int(const MessageBoxRecord&)>;

    explicit MessageBoxes(Device&);

    void set_responder(Responder);
    // The boxes shown, oldest first (the newest ones, past the device's trace limit).
    std::vector<MessageBoxRecord> shown() const;
    // Answers the newest open box with a button id, as a tap on that button would.
    bool answer(int button);
    std::vector<UINT> beeps() const;

    int run(HWND owner, std::u16string text, std::u16string caption, UINT type);
    void beep(UINT type);

private:
    struct OpenBox;
    static LRESULT box_proc(HWND, UINT, WPARAM, LPARAM);
    void register_class();

    Device& m_device;
    mutable HostMutex m_lock { LockRank::MessageBoxes };
    Responder m_responder;
    // Shared with the open box, which records its answer even when the trace has let it go.
    Trace<std::shared_ptr<MessageBoxRecord>> m_records;
    std::vector<OpenBox*> m_open;
    Trace<UINT> m_beeps;
    bool m_registered = false;
};

} // namespace kivo
