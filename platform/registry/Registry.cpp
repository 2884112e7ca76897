#include "Registry.h"

#include "Device.h"
#include "RegistryFile.h"
#include "WideText.h"

#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace kivo {

Registry::Registry(Device& device)
    : m_device(device)
{
    auto path = file_path();
    std::error_code error;
    // What a write cut short left behind; the registry file itself is still the last whole one.
    std::filesystem::remove(temporary_path(), error);
    if (!std::filesystem::exists(path, error))
        return;
    std::ifstream file(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    bool read_whole = file && !file.bad();
    m_skipped_lines = RegistryFile::read(text, { *m_classes_root, *m_current_user, *m_local_machine });
    if (m_skipped_lines)
        m_device.write_debug(format_wide(u"registry: %u lines of %hs not understood, skipped\r\n",
            static_cast<unsigned>(m_skipped_lines), file_name));
    // Writing the tree back would lose what could not be read (lines in another encoding, a
    // person's edits the reader does not know): the file is kept aside before it is replaced.
    m_keep_file_aside = !read_whole || m_skipped_lines;
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

std::filesystem::path Registry::temporary_path() const
{
    auto path = file_path();
    path += ".new";
    return path;
}

// With the lock held: renames the file that could not be read whole to the first free
// "registry.reg.bad", "registry.reg.bad2" …, so that no earlier one is lost either.
bool Registry::keep_file_aside()
{
    auto path = file_path();
    std::error_code error;
    for (unsigned number = 1;; ++number) {
        auto aside = path;
        aside += number == 1 ? std::string(".bad") : ".bad" + std::to_string(number);
        if (std::filesystem::exists(std::filesystem::symlink_status(aside, error)))
            continue;
        std::filesystem::rename(path, aside, error);
        if (error)
            return false;
        m_device.write_debug(format_wide(u"registry: %hs could not be read whole, kept as %hs\r\n", file_name,
            aside.filename().c_str()));
        m_keep_file_aside = false;
        return true;
    }
}

// With the lock held. The text goes to a side file first, so that a failed write never leaves a
// half-written registry behind.
bool Registry::write_file()
{
    std::string text = RegistryFile::write({ *m_classes_root, *m_current_user, *m_local_machine });
    auto path = file_path();
    auto temporary = temporary_path();
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
        file.close();
        if (!file) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    if (m_keep_file_aside && std::filesystem::exists(path, error) && !keep_file_aside())
        return false;
    std::filesystem::rename(temporary, path, error);
    if (error)
        return false;
    m_changed = false;
    return true;
}

} // namespace kivo
