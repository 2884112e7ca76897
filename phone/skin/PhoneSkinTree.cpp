#include "PhoneSkinTree.h"

#include "BmpFile.h"
#include "CodePages.h"
#include "Device.h"
#include "FileSystem.h"
#include "Gdi.h"
#include "WideText.h"
#include "platform.h"

namespace kivo {

namespace {

constexpr UINT tree_code_page = 950;

class TreeWriter {
public:
    TreeWriter(Device& device, std::string* error)
        : m_files(device.component<FileSystem>())
        , m_error(error)
    {
    }

    // Writes a file unless it is there already; the folders on the way are made first.
    bool put(const std::u16string& path, std::string_view bytes)
    {
        DWORD attributes = 0;
        if (m_files.attributes_of(path, attributes) == ERROR_SUCCESS)
            return true;
        for (size_t at = path.find(u'\\', 1); at != std::u16string::npos; at = path.find(u'\\', at + 1))
            m_files.create_directory(path.substr(0, at)); // those there already answer an error that does not matter
        std::u16string part = path + u".part";
        DWORD code = ERROR_SUCCESS;
        bool existed = false;
        {
            auto file = m_files.open(part, { false, true, false }, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, code, existed);
            if (!file)
                return fail(part, code);
            DWORD done = 0;
            code = m_files.write(*file, bytes.data(), static_cast<DWORD>(bytes.size()), done);
            if (code == ERROR_SUCCESS && done != bytes.size())
                code = ERROR_DISK_FULL;
        }
        if (code == ERROR_SUCCESS)
            code = m_files.move(part, path);
        if (code != ERROR_SUCCESS) {
            m_files.remove_file(part);
            return fail(path, code);
        }
        return true;
    }

    bool fail(const std::u16string& path, DWORD code)
    {
        if (m_error)
            *m_error = "cannot write " + to_utf8(path) + " (error " + std::to_string(code) + ")";
        return false;
    }

private:
    FileSystem& m_files;
    std::string* m_error;
};

} // namespace

bool put_phone_file(Device& device, const std::u16string& path, std::string_view bytes, std::string* error)
{
    return TreeWriter(device, error).put(path, bytes);
}

bool install_phone_skin(Device& device, std::string* error)
{
    TreeWriter writer(device, error);
    auto& code_pages = device.component<CodePages>();
    for (const auto& text : phone_tree_texts()) {
        std::u16string path = std::u16string(phone_link_folder) + text.path;
        auto narrow = code_pages.to_narrow(tree_code_page, to_utf16(text.utf8));
        if (!narrow || narrow->replaced)
            return writer.fail(path, ERROR_INVALID_DATA);
        if (!writer.put(path, narrow->text))
            return false;
    }
    auto& fonts = device.component<Gdi>().fonts();
    for (const auto& picture : phone_skin_pictures()) {
        auto bitmap = Bitmap::create_compatible(picture.width, picture.height);
        BitmapCanvas canvas(*bitmap, fonts);
        picture.paint(canvas);
        auto bytes = encode_bmp(*bitmap);
        if (!writer.put(std::u16string(phone_skin_folder) + picture.path,
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
            return false;
    }
    return true;
}

} // namespace kivo
