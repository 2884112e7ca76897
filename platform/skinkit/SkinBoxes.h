#pragma once

#include "HostMutex.h"
#include "kernel/DeviceComponent.h"
#include "kernel/Trace.h"
#include "platform.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kivo {

class Device;

// Asks an open box to press the button answer() named, or to let the responder choose.
inline constexpr UINT skin_box_answer = WM_USER + 0x7F1;
inline constexpr UINT skin_box_respond = WM_USER + 0x7F2;

// One skinned question box as it was shown, and the name of the button that answered it (empty
// while it is open, or when it was closed without a button).
struct SkinBoxRecord {
    HWND owner = nullptr;
    std::u16string file;
    std::u16string text;
    std::u16string answer;
    bool open = true;
    uint64_t time_ms = 0;
    DWORD process_id = 0;
};

// The boxes of ZolMessageBoxEx, recorded and answered as MessageBox's are: a responder set by the
// test (or the simulator) names the button to press, answer() presses one in the newest open box,
// and otherwise a tap does.
class SkinBoxes final : public DeviceComponent {
public:
    // Names the button to press; an empty name leaves the box to taps.
    using Responder = std::function<std::u16string(const SkinBoxRecord&)>;

    explicit SkinBoxes(Device&);

    void set_responder(Responder);
    std::vector<SkinBoxRecord> shown() const;
    // Presses a button of the newest open box by its name, as a tap on it would.
    bool answer(std::u16string name);

    // For the library: a box opens (its record stays shared with the caller) and closes.
    std::shared_ptr<SkinBoxRecord> opened(HWND box, SkinBoxRecord);
    void closed(HWND box, const std::shared_ptr<SkinBoxRecord>&, std::u16string answer);
    Responder responder() const;
    // The name answer() left for a box, taken once.
    std::u16string take_pending(HWND box);

private:
    struct Open {
        HWND box;
        std::u16string pending;
    };
    mutable HostMutex m_lock { LockRank::SkinBoxes };
    Responder m_responder;
    Trace<std::shared_ptr<SkinBoxRecord>> m_records;
    std::vector<Open> m_open;
};

} // namespace kivo
