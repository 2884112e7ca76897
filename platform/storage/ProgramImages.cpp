#include "ProgramImages.h"

#include "Device.h"
#include "Errors.h"
#include "FileApi.h"
#include "FileSystem.h"
#include "WideText.h"

namespace kivo {

ProgramImages::ProgramImages(Device& device)
    : m_device(device)
{
}

std::u16string ProgramImages::key_of(std::u16string_view device_path)
{
    DWORD error = 0;
    auto path = DevicePath::parse(device_path, error);
    std::u16string key;
    for (char16_t c : path ? path->text() : std::u16string(device_path))
        key += fold_case(c);
    return key;
}

const std::vector<std::u16string>& ProgramImages::system_libraries()
{
    static const std::vector<std::u16string> libraries = {
        u"\\NAND\\App\\BT\\Kitbase.dll",
        u"\\NAND\\App\\BT\\Skinkit.dll",
        u"\\NAND\\App\\BT\\ZolManagerU.dll",
    };
    return libraries;
}

size_t ProgramImages::install()
{
    auto& files = m_device.component<FileSystem>();
    size_t written = 0;
    auto images = m_device.programs().images();
    images.insert(images.end(), system_libraries().begin(), system_libraries().end());
    for (auto& image : images) {
        DWORD error = 0;
        auto path = DevicePath::parse(image, error);
        if (!path || path->is_root())
            continue;
        DevicePath folder;
        for (size_t i = 0; i + 1 < path->names().size(); ++i) {
            folder = folder.child(path->names()[i]);
            files.create_directory(folder.text());
        }
        bool existed = false;
        auto file = files.open(path->text(), { false, true, false }, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, error, existed);
        if (!file)
            continue;
        std::string marker = "image file " + to_utf8(path->text()) + "\n";
        DWORD done = 0;
        if (files.write(*file, marker.data(), static_cast<DWORD>(marker.size()), done) == ERROR_SUCCESS)
            ++written;
    }
    Device& device = m_device;
    m_device.set_image_check([&device](std::u16string_view image) -> DWORD {
        DWORD error = 0;
        auto resolved = device.component<Volumes>().resolve(image, error);
        if (!resolved)
            return error;
        if (!resolved->exists)
            return resolved->parent_exists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        return resolved->is_directory ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    });
    return written;
}

void ProgramImages::set_version(std::u16string_view device_path, Version version)
{
    std::lock_guard guard(m_lock);
    m_versions[key_of(device_path)] = version;
}

std::optional<ProgramImages::Version> ProgramImages::version_of(std::u16string_view device_path) const
{
    std::lock_guard guard(m_lock);
    auto it = m_versions.find(key_of(device_path));
    if (it == m_versions.end())
        return std::nullopt;
    return it->second;
}

} // namespace kivo
