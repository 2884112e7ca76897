#pragma once

// Everything the system's code reaches of the platform, by the platform's own names.

#include "gdi/GdiApi.h"
#include "kernel/CrtRandom.h"
#include "kernel/Errors.h"
#include "kernel/KernelApi.h"
#include "kernel/Types.h"
#include "kernel/WideCrt.h"
#include "registry/RegistryApi.h"
#include "drivers/CeddkApi.h"
#include "drivers/DriverApi.h"
#include "drivers/PowerApi.h"
#include "audio/SoundApi.h"
#include "com/ComApi.h"
#include "dshow/DShowApi.h"
#include "vendor/VendorTvApi.h"
#include "vendor/VendorVideoApi.h"
#include "storage/CodePageApi.h"
#include "storage/CrtFileApi.h"
#include "storage/FileApi.h"
#include "storage/LibraryApi.h"
#include "storage/MappingApi.h"
#include "storage/StoreApi.h"
#include "storage/VersionApi.h"

#include "gwes/GwesApi.h"
#include "mfc/MfcApi.h"

// The device's fopen takes device paths in the ANSI code page, but has the host's exact
// signature, so it cannot be an overload: the system's calls are mapped to it here, after the
// standard headers have declared the host's own.
#define fopen kivo_fopen

// rand and srand likewise: the host's are declared (kernel/CrtRandom.h), and the system's calls
// reach the device's generator of the calling process.
#define rand kivo_rand
#define srand kivo_srand
