#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kivo {

// Writes `bytes` to a file beside `path` first, each write and the close checked, then puts it in
// place in one step; a failure keeps the old file. The reason when it failed.
std::optional<std::string> write_file_in_one_step(const std::filesystem::path& path, const std::string& bytes);
// Copies a file the same way.
std::optional<std::string> copy_file_in_one_step(const std::filesystem::path& from, const std::filesystem::path& to);

// The files beside a description that it names (string values that are the name of a file in
// its folder), so that it is copied with them.
std::vector<std::filesystem::path> files_named_by_description(const std::filesystem::path& description);

} // namespace kivo
