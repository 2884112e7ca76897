#pragma once

#include "Types.h"

namespace kivo {

// Thrown by the layer into a simulated thread that is being ended where it stands (its process
// terminated, the device powered off or reset). It deliberately derives from nothing, so that
// only the layer's thread wrapper catches it; program code must not catch (...).
struct ThreadTermination {
};

// Thrown by ExitThread; the wrapper turns it into the thread's exit code.
struct ThreadExit {
    DWORD exit_code;
};

} // namespace kivo
