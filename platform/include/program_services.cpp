#include "program_services.h"

#include "Device.h"
#include "Gdi.h"

namespace kivo {

void register_program(Device& device, std::u16string_view image_path, ProgramEntry entry)
{
    device.programs().add(image_path, std::move(entry));
}

bool device_running()
{
    return Device::current().running();
}

HMODULE register_module(std::u16string device_path)
{
    return Device::current().register_module(std::move(device_path));
}

ResourceTable& module_resources(HMODULE module)
{
    return Device::current().component<Gdi>().resources(module);
}

DialogTemplates& dialog_templates()
{
    return Device::current().component<DialogTemplates>();
}

} // namespace kivo
