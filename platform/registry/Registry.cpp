#include "Registry.h"

#include "Device.h"
#include "RegistryFile.h"
#include "WideText.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace kivo {

Registry::Registry(Device& device)
    : m_device(device)
{
    std::ifstream file(file_path(), std::ios::binary);
    if (!file)
        return;
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    m_skipped_lines = RegistryFile::read(text, { *m_classes_root, *m_current_user, *m_local_machine });
    if (m_skipped_lines)
        m_device.write_debug(format_wide(u"registry: %u lines of %hs not understood, skipped\r\n",
            static_cast<unsigned>(m_skipped_lines), file_name));
}

Registry::~Registry() = default;

std::filesystem::path Registry::file_path() const
{
    return m_device.root() / file_name;
}

std::shared_ptr<RegistryNode> Registry::root(Root which)
{
    switch (which) {
    case Root::ClassesRoot:
        return m_classes_root;
    case Root::CurrentUser:
        return m_current_user;
    case Root::LocalMachine:
        break;
    }
    return m_local_machine;
}

bool Registry::flush()
{
    std::lock_guard guard(m_lock);
    ++m_flush_count;
    return write_file();
}

size_t Registry::flush_count() const
{
    std::lock_guard guard(m_lock);
    return m_flush_count;
}

void Registry::device_stopping(StopReason reason)
{
    if (reason != StopReason::PowerOff && reason != StopReason::Destroyed)
        return;
    std::lock_guard guard(m_lock);
    if (m_changed)
        write_file();
}

// With the lock held. The text goes to a side file first, so that a failed write never leaves a
// half-written registry behind.
bool Registry::write_file()
{
    std::string text = RegistryFile::write({ *m_classes_root, *m_current_user, *m_local_machine });
    auto path = file_path();
    auto temporary = path;
    temporary += ".new";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file.write(text.data(), static_cast<std::streamsize>(text.size())) || !file.flush())
            return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error)
        return false;
    m_changed = false;
    return true;
}

} // namespace kivo
