#pragma once

#include "Types.h"

#include <utility>

namespace kivo {

// Thrown by the layer into a simulated thread that is being ended where it stands (its process
// terminated, the device powered off or reset). It deliberately derives from nothing, so that
// only the layer's thread wrapper catches it; program code must not catch (...).
struct ThreadTermination {
};

// Within its scope, a kill of the calling simulated thread makes waits fail at once instead of
// throwing ThreadTermination; the thread's next wait after the scope throws it. Destructors that
// must wait for something (they cannot let an exception out) wait inside one.
class DeferredTermination {
public:
    DeferredTermination();
    ~DeferredTermination();
    DeferredTermination(const DeferredTermination&) = delete;
    DeferredTermination& operator=(const DeferredTermination&) = delete;
};

namespace detail {
bool termination_requested();
bool termination_unwinding();
void set_termination_unwinding(bool);
} // namespace detail

// Runs `body` as a callback called by a C library (FFmpeg's read and seek callbacks and the like),
// through whose frames no exception may pass. Inside, a kill of the calling thread makes waits
// fail (DeferredTermination), and a ThreadTermination thrown anyway is stopped here; either way the
// callback answers `failure` so that the library returns its error, and the thread's next wait
// after that throws as usual. A thread already being ended answers `failure` at once.
template<typename Result, typename Body>
Result run_as_c_callback(Result failure, Body&& body) noexcept
{
    if (detail::termination_requested())
        return failure;
    bool unwinding = detail::termination_unwinding();
    DeferredTermination deferred;
    try {
        return std::forward<Body>(body)();
    } catch (const ThreadTermination&) {
        // The unwinding stops here; the kill stays requested.
        detail::set_termination_unwinding(unwinding);
        return failure;
    }
}

// Thrown by ExitThread; the wrapper turns it into the thread's exit code.
struct ThreadExit {
    DWORD exit_code;
};

} // namespace kivo
