#include "MobileSettings.h"

#include "platform.h"

#include "WideText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace kivo {

namespace {

std::string ansi_of(std::u16string text)
{
    // A line break inside a value would start a new line of the file.
    std::replace_if(
        text.begin(), text.end(), [](char16_t c) { return c == u'\r' || c == u'\n'; }, u' ');
    if (text.empty())
        return {};
    int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(std::max(length, 0)), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), narrow.data(), length, nullptr, nullptr);
    return narrow;
}

std::string trimmed(std::string_view text)
{
    auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

bool same_name(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

std::string merge_mobile_settings(const std::string& old_text, const PhoneIdentity& phone)
{
    std::array<std::pair<std::string, std::string>, 4> keys { {
        { "name", ansi_of(phone.name) },
        { "phone", ansi_of(phone.model) },
        { "company", ansi_of(phone.maker) },
        { "IMEI", ansi_of(phone.imei) },
    } };
    std::array<bool, 4> written {};
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < old_text.size()) {
        size_t end = old_text.find('\n', start);
        std::string line = old_text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end == std::string::npos ? old_text.size() : end + 1;
    }
    std::vector<std::string> out;
    bool in_mobile = false;
    bool found_section = false;
    auto add_missing = [&] {
        // After the section's last key, before the blank lines that part it from the next.
        size_t at = out.size();
        while (at > 0 && trimmed(out[at - 1]).empty())
            --at;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (!written[i])
                out.insert(out.begin() + static_cast<long>(at++), keys[i].first + "=" + keys[i].second);
        }
    };
    for (auto& line : lines) {
        std::string bare = trimmed(line);
        if (!bare.empty() && bare.front() == '[') {
            if (in_mobile)
                add_missing();
            auto close = bare.find(']');
            in_mobile = close != std::string::npos && same_name(trimmed(bare.substr(1, close - 1)), "mobile") && !found_section;
            found_section = found_section || in_mobile;
            out.push_back(line);
            continue;
        }
        if (in_mobile) {
            auto equals = line.find('=');
            std::string key = equals == std::string::npos ? std::string() : trimmed(line.substr(0, equals));
            auto known = std::find_if(keys.begin(), keys.end(), [&](auto& pair) { return same_name(pair.first, key); });
            if (known != keys.end()) {
                size_t index = static_cast<size_t>(known - keys.begin());
                if (!written[index]) {
                    out.push_back(key + "=" + known->second);
                    written[index] = true;
                }
                continue;
            }
        }
        out.push_back(line);
    }
    if (in_mobile) {
        add_missing();
    } else if (!found_section) {
        out.push_back("[mobile]");
        add_missing();
    }
    std::string text;
    for (auto& line : out)
        text += line + "\r\n";
    return text;
}

bool write_mobile_settings(const std::u16string& path, const PhoneIdentity& phone)
{
    std::string old_text;
    HANDLE old_file = CreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool existed = old_file != INVALID_HANDLE_VALUE;
    if (existed) {
        DWORD size = GetFileSize(old_file, nullptr);
        old_text.resize(size == INVALID_FILE_SIZE ? 0 : size);
        DWORD read = 0;
        bool whole = ReadFile(old_file, old_text.data(), static_cast<DWORD>(old_text.size()), &read, nullptr) && read == old_text.size();
        CloseHandle(old_file);
        // A file that cannot be read whole is not replaced: its other keys would be lost.
        if (!whole)
            return false;
    }
    std::string text = merge_mobile_settings(old_text, phone);
    std::u16string temporary = path + u".tmp";
    DeleteFile(temporary.c_str());
    HANDLE file = CreateFile(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool complete = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
    complete = CloseHandle(file) && complete;
    bool placed = complete && (existed ? DeleteAndRenameFile(path.c_str(), temporary.c_str()) : MoveFile(temporary.c_str(), path.c_str()));
    if (!placed)
        DeleteFile(temporary.c_str());
    return placed;
}

} // namespace kivo
