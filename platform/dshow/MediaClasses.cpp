#include "MediaClasses.h"

#include "AudioRenderer.h"
#include "ComClassTable.h"
#include "DecoderFilter.h"
#include "Device.h"
#include "FilterCatalog.h"
#include "FilterGraph.h"
#include "MediaFileSource.h"

namespace kivo {

void install_filter_graph(Device& device)
{
    device.component<ComClassTable>().add(CLSID_FilterGraph, [&device] { return new FilterGraph(device); });
}

void install_media_classes(Device& device)
{
    install_filter_graph(device);
    auto& classes = device.component<ComClassTable>();
    auto& catalog = device.component<FilterCatalog>();
    classes.add(CLSID_FileSource, [] { return new MediaFileSource; });
    classes.add(CLSID_VideoDecoder, [] { return new DecoderFilter(MediaStream::Kind::Video); });
    classes.add(CLSID_AudioDecoder, [] { return new DecoderFilter(MediaStream::Kind::Audio); });
    classes.add(CLSID_AudioRender, [] { return new AudioRenderer; });
    catalog.add(CLSID_FileSource, FilterCatalog::Role::FileSource);
    catalog.add(CLSID_VideoDecoder, FilterCatalog::Role::Transform);
    catalog.add(CLSID_AudioDecoder, FilterCatalog::Role::Transform);
    catalog.add(CLSID_AudioRender, FilterCatalog::Role::Renderer);
}

} // namespace kivo
