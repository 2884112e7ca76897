#pragma once

// Everything the system's code reaches of the platform, by the platform's own names.

#include "gdi/GdiApi.h"
#include "kernel/Errors.h"
#include "kernel/KernelApi.h"
#include "kernel/Types.h"
#include "kernel/WideCrt.h"
#include "registry/RegistryApi.h"
#include "drivers/CeddkApi.h"
#include "drivers/DriverApi.h"
#include "drivers/PowerApi.h"
