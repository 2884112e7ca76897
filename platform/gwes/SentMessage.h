#pragma once

#include "GwesApi.h"
#include "kernel/KernelObject.h"

#include <vector>

namespace kivo {

// A message sent to another thread's window: it waits in the receiver's queue and the sender
// waits for it to be answered. With no sender waiting (a notification) nobody reads the answer.
class SentMessage final : public Waitable {
public:
    SentMessage(HWND, UINT, WPARAM, LPARAM);

    const char* kind() const override { return "sent message"; }
    bool is_signalled_for(const SimThread&) const override { return m_done; }

    HWND hwnd() const { return m_hwnd; }
    UINT message() const { return m_message; }
    WPARAM wparam() const { return m_wparam; }
    LPARAM lparam() const { return m_lparam; }

    // WM_COPYDATA: the receiver gets a copy of the sender's data that lives as long as the call.
    void copy_data(const COPYDATASTRUCT&);

    // With the scheduler's lock held.
    void complete(LRESULT);
    bool done() const { return m_done; }
    LRESULT result() const { return m_result; }

private:
    HWND m_hwnd;
    UINT m_message;
    WPARAM m_wparam;
    LPARAM m_lparam;
    std::vector<BYTE> m_data;
    COPYDATASTRUCT m_copy {};
    bool m_done = false;
    LRESULT m_result = 0;
};

} // namespace kivo
