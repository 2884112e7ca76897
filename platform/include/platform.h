#pragma once

// Everything the system's code reaches of the platform, by the platform's own names.

#include "kernel/Errors.h"
#include "kernel/KernelApi.h"
#include "kernel/Types.h"
#include "kernel/WideCrt.h"
#include "gwes/GwesApi.h"
#include "mfc/MfcApi.h"
