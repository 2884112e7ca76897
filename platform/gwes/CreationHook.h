#pragma once

#include "GwesApi.h"

namespace kivo {

// Called once, for the next window the calling thread creates, before it gets WM_CREATE: the MFC
// layer subclasses its windows there so that they see every message. A null hook cancels it.
using CreationHook = void (*)(HWND, void* context);
void hook_next_creation(CreationHook, void* context);

} // namespace kivo
