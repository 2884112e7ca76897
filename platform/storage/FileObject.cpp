#include "FileObject.h"

#include <unistd.h>

namespace kivo {

FileObject::FileObject(int descriptor, std::u16string device_path, std::filesystem::path host, VolumeId volume, Access access,
    std::shared_ptr<OpenFiles> open_files)
    : m_descriptor(descriptor)
    , m_device_path(std::move(device_path))
    , m_host(std::move(host))
    , m_volume(volume)
    , m_access(access)
    , m_open_files(std::move(open_files))
{
}

FileObject::~FileObject()
{
    ::close(m_descriptor);
    m_open_files->closed(m_host, use_of(m_access));
}

} // namespace kivo
