#pragma once

#include "kernel/DeviceComponent.h"
#include "kernel/HostMutex.h"
#include "kernel/Types.h"

#include <map>
#include <memory>
#include <mutex>
#include <typeindex>
#include <utility>

class CDC;
class CGdiObject;
class CWnd;

namespace kivo {

class Device;

// Which C++ object stands for a window, a context or a drawing object. Objects a program attached
// ("permanent") are kept per process and looked up under a lock, as any thread of the process may
// attach or look up. Objects made on demand for a handle without one ("temporary") belong to the
// thread that asked: no other thread ever sees or frees them, and they go at the release points of
// their kind or when that thread ends.
class HandleMaps final : public DeviceComponent {
public:
    explicit HandleMaps(Device&) { }
    ~HandleMaps() override;

    // The calling thread's device's maps.
    static HandleMaps& current();

    struct Temporaries {
        std::map<HWND, std::unique_ptr<CWnd>> windows;
        std::map<HDC, std::unique_ptr<CDC>> contexts;
        std::map<std::pair<HGDIOBJ, std::type_index>, std::unique_ptr<CGdiObject>> objects;

        Temporaries() = default;
        ~Temporaries();
        Temporaries(const Temporaries&) = delete;
        Temporaries& operator=(const Temporaries&) = delete;
    };
    // The calling thread's temporary objects; only that thread touches them.
    Temporaries& temporaries();

    // A window's object answers only to the thread that attached it (it may go with the window at
    // any time); `any_thread` looks for it whoever attached it.
    CWnd* window(HWND, bool any_thread);
    void attach_window(HWND, CWnd*);
    void detach_window(HWND, const CWnd*);
    CDC* context(HDC);
    void attach_context(HDC, CDC*);
    void detach_context(HDC, const CDC*);
    CGdiObject* object(HGDIOBJ);
    void attach_object(HGDIOBJ, CGdiObject*);
    void detach_object(HGDIOBJ, const CGdiObject*);

    void thread_ending(SimThread&) override;
    void process_ending(Process&) override;

private:
    struct Attached {
        std::map<HWND, std::pair<CWnd*, DWORD>> windows; // with the attaching thread
        std::map<HDC, CDC*> contexts;
        std::map<HGDIOBJ, CGdiObject*> objects;
    };
    Attached& attached_locked();

    HostMutex m_lock { LockRank::MfcHandleMaps };
    std::map<DWORD, Attached> m_attached;                        // by process id
    std::map<DWORD, std::unique_ptr<Temporaries>> m_temporaries; // by thread id
};

} // namespace kivo
