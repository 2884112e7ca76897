#pragma once

// What the system's programs need of the layer beyond the platform's own names: state kept once
// per simulated process, waits in destructors, registering a program on the device, and filling a
// module's resource and dialog tables. The programs reach the layer only through this header and
// platform.h, never through a stand-in's inside.

#include "platform.h"

#include "gdi/BitmapCanvas.h"
#include "gdi/ResourceTable.h"
#include "kernel/Process.h"
#include "kernel/ThreadTermination.h"
#include "kernel/WideText.h"
#include "mfc/DialogTemplates.h"

#include <functional>
#include <string>
#include <string_view>

namespace kivo {

class Device;

// A program's entry, run on its main thread with its command line; answers the exit code.
using ProgramEntry = std::function<int(std::u16string_view command_line)>;

// Makes a program startable on a device by its image path (the image file is installed apart).
void register_program(Device&, std::u16string_view image_path, ProgramEntry);

// Whether the calling thread's device is on: false once it was powered off or reset.
bool device_running();

// A module handle for a library of the system, known by its device path (GetModuleFileName).
HMODULE register_module(std::u16string device_path);

// The bitmaps, icons and strings of a module, and the dialog templates of the device.
ResourceTable& module_resources(HMODULE);
DialogTemplates& dialog_templates();

} // namespace kivo
