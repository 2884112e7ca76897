#include "FileObject.h"

#include <unistd.h>

namespace kivo {

FileObject::FileObject(int descriptor, std::u16string device_path, std::filesystem::path host, VolumeId volume, Access access,
    std::shared_ptr<OpenFiles> open_files, std::shared_ptr<FileFaults> file_faults)
    : m_descriptor(descriptor)
    , m_device_path(std::move(device_path))
    , m_host(std::move(host))
    , m_volume(volume)
    , m_access(access)
    , m_open_files(std::move(open_files))
    , m_file_faults(std::move(file_faults))
{
}

uint32_t FileObject::close_error()
{
    return m_access.write || m_access.append ? m_file_faults->close_error(m_device_path) : 0;
}

FileObject::~FileObject()
{
    ::close(m_descriptor);
    m_open_files->closed(m_host, use_of(m_access));
}

} // namespace kivo
