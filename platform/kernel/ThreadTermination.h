#pragma once

#include "Types.h"

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

// Thrown by ExitThread; the wrapper turns it into the thread's exit code.
struct ThreadExit {
    DWORD exit_code;
};

} // namespace kivo
