#include "MediaClasses.h"

#include "ComClassTable.h"
#include "Device.h"
#include "FilterGraph.h"

namespace kivo {

void install_media_classes(Device& device)
{
    device.component<ComClassTable>().add(CLSID_FilterGraph, [&device] { return new FilterGraph(device); });
}

} // namespace kivo
