#include "RadioFiles.h"

#include "Radio.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <iterator>
#include <set>

namespace kivo {

std::optional<std::string> write_file_in_one_step(const std::filesystem::path& path, const std::string& bytes)
{
    auto temporary = path;
    temporary += ".new";
    bool written = false;
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        file.close();
        written = static_cast<bool>(file);
    }
    std::error_code error;
    if (written)
        std::filesystem::rename(temporary, path, error);
    if (!written || error) {
        std::filesystem::remove(temporary, error);
        return "cannot write " + path.filename().string();
    }
    return std::nullopt;
}

std::optional<std::string> copy_file_in_one_step(const std::filesystem::path& from, const std::filesystem::path& to)
{
    std::ifstream in(from, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (!in.is_open() || in.bad())
        return "cannot read " + from.string();
    return write_file_in_one_step(to, bytes);
}

std::vector<std::filesystem::path> files_named_by_description(const std::filesystem::path& description)
{
    std::ifstream in(description, std::ios::binary);
    auto json = nlohmann::json::parse(in, nullptr, false);
    std::set<std::filesystem::path> files;
    if (json.is_discarded())
        return {};
    auto folder = description.parent_path();
    std::vector<const nlohmann::json*> pending { &json };
    while (!pending.empty()) {
        const auto* value = pending.back();
        pending.pop_back();
        if (value->is_string()) {
            const auto& text = value->get_ref<const std::string&>();
            std::error_code error;
            if (Radio::is_plain_file_name(text) && std::filesystem::is_regular_file(folder / text, error))
                files.insert(folder / text);
        } else if (value->is_structured()) {
            for (const auto& item : *value)
                pending.push_back(&item);
        }
    }
    files.erase(description);
    return { files.begin(), files.end() };
}

} // namespace kivo
