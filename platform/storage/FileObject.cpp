#include "FileObject.h"

#include <unistd.h>

namespace kivo {

FileObject::FileObject(int descriptor, std::u16string device_path, std::filesystem::path host, VolumeId volume, Access access)
    : m_descriptor(descriptor)
    , m_device_path(std::move(device_path))
    , m_host(std::move(host))
    , m_volume(volume)
    , m_access(access)
{
}

FileObject::~FileObject()
{
    ::close(m_descriptor);
}

} // namespace kivo
