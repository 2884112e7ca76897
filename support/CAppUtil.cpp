#include "CAppUtil.h"

#include <algorithm>
#include <cwctype>
#include <memory>
#include <string>

namespace {

// The video player carries its own build of the limited listing and the file listing.
#ifdef SUPPORT_VIDEO_PLAYER_BUILD
constexpr bool video_player_build = true;
#else
constexpr bool video_player_build = false;
#endif
constexpr size_t video_folder_limit = 249;

std::u16string text_of(LPCWSTR text)
{
    return text ? std::u16string(text) : std::u16string();
}

// The last three characters, upper-cased, equal one of the extensions; the dot is not examined.
bool matches(const std::u16string& name, LPCWSTR const* extensions, int extension_count)
{
    if (name.size() < 3)
        return false;
    std::u16string tail = name.substr(name.size() - 3);
    for (auto& c : tail)
        c = static_cast<char16_t>(std::towupper(c));
    for (int i = 0; i < extension_count; ++i) {
        if (extensions[i] && tail == extensions[i])
            return true;
    }
    return false;
}

bool is_skipped_folder(const std::u16string& name)
{
    return name.size() <= 2 && !name.empty() && name[0] == u'.';
}

bool wants_parent_entry(const std::u16string& folder)
{
    if (folder.size() == 1)
        return true;
    for (size_t i = 1; i + 1 < folder.size(); ++i) {
        if (folder[i] == u'\\')
            return true;
    }
    return false;
}

bool less_ignoring_case(const CString& a, const CString& b)
{
    return a.CompareNoCase(b) < 0;
}

// "<..>" first when it was added, then the folders, then the files, each sorted without case.
void order_listing(CStringArray& list, bool has_parent)
{
    std::vector<CString> folders;
    std::vector<CString> files;
    for (INT_PTR i = has_parent ? 1 : 0; i < list.GetSize(); ++i)
        (list[i].GetLength() > 0 && list[i][0] == u'<' ? folders : files).push_back(list[i]);
    std::stable_sort(folders.begin(), folders.end(), less_ignoring_case);
    std::stable_sort(files.begin(), files.end(), less_ignoring_case);
    INT_PTR at = has_parent ? 1 : 0;
    for (auto& entry : folders)
        list[at++] = entry;
    for (auto& entry : files)
        list[at++] = entry;
}

// Enumerates a folder's entries; the callback answers false to stop. False when the search
// could not start.
template<typename Visit>
bool for_each_entry(const std::u16string& folder, Visit visit)
{
    std::u16string pattern = folder + u"\\*.*";
    WIN32_FIND_DATA found {};
    HANDLE search = FindFirstFile(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    do {
        if (!visit(found))
            break;
    } while (FindNextFile(search, &found));
    FindClose(search);
    return true;
}

bool is_folder(const WIN32_FIND_DATA& found)
{
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

int CAppUtil::ListFolder(LPCWSTR folder, CStringArray& list, LPCWSTR const* extensions, int extension_count)
{
    std::u16string path = text_of(folder);
    INT_PTR first = list.GetSize();
    bool has_parent = wants_parent_entry(path);
    if (has_parent)
        list.Add(CString(u"<..>"));
    int files = 0;
    for_each_entry(path, [&](const WIN32_FIND_DATA& found) {
        std::u16string name = found.cFileName;
        if (is_folder(found)) {
            if (!is_skipped_folder(name))
                list.Add(CString(u"<" + name + u">"));
        } else if (matches(name, extensions, extension_count)) {
            list.Add(CString(name));
            ++files;
        }
        return true;
    });
    if (list.GetSize() - first > 1)
        order_listing(list, has_parent);
    return files;
}

int CAppUtil::ListFolderLimited(LPCWSTR folder, CStringArray& list, LPCWSTR const* extensions, int extension_count,
    int max_depth, int max_entries)
{
    std::u16string path = text_of(folder);
    if (video_player_build && path.size() >= video_folder_limit)
        return 0;
    bool has_parent = wants_parent_entry(path);
    if (has_parent)
        list.Add(CString(u"<..>"));
    if (CheckFolderDepth(path.c_str(), max_depth) != 0)
        return video_player_build ? 0 : -1;

    // The video player's build counts the folder's own path into the limit.
    size_t prefix = video_player_build ? path.size() : 0;
    int files = 0;
    int entries = 0;
    for_each_entry(path, [&](const WIN32_FIND_DATA& found) {
        if (entries >= max_entries)
            return false;
        std::u16string name = found.cFileName;
        if (is_folder(found)) {
            std::u16string entry = u"<" + name + u">";
            if (!is_skipped_folder(name) && prefix + entry.size() < size_t(listing_text_limit)) {
                list.Add(CString(entry));
                ++entries;
            }
        } else if (matches(name, extensions, extension_count) && prefix + name.size() < size_t(listing_text_limit)) {
            list.Add(CString(name));
            ++entries;
            ++files;
        }
        return true;
    });
    if (list.GetSize() > 1)
        order_listing(list, has_parent);
    return files;
}

int CAppUtil::ListFiles(LPCWSTR folder, CStringArray& list, LPCWSTR const* extensions, int extension_count)
{
    std::u16string path = text_of(folder);
    if (video_player_build && path.size() >= video_folder_limit)
        return 0;
    int files = 0;
    bool searched = for_each_entry(path, [&](const WIN32_FIND_DATA& found) {
        std::u16string name = found.cFileName;
        if (!is_folder(found) && matches(name, extensions, extension_count)) {
            std::u16string full = path + name;
            if (full.size() < size_t(listing_text_limit)) {
                list.Add(CString(full));
                ++files;
            }
        }
        return true;
    });
    if (!searched)
        return -1;
    if (list.GetSize() > 1)
        std::stable_sort(list.GetData(), list.GetData() + list.GetSize(), less_ignoring_case);
    return files;
}

int CAppUtil::SearchFiles(LPCWSTR folder, CStringArray& list, LPCWSTR const* extensions, int extension_count)
{
    std::u16string path = text_of(folder);
    int files = 0;
    for_each_entry(path, [&](const WIN32_FIND_DATA& found) {
        std::u16string name = found.cFileName;
        std::u16string full = path + u"\\" + name;
        if (is_folder(found)) {
            // The sub-folder's search pattern must fit the path buffer.
            if (!name.empty() && name[0] != u'.' && full.size() + 4 < MAX_PATH)
                files += SearchFiles(full.c_str(), list, extensions, extension_count);
        } else if (matches(name, extensions, extension_count) && full.size() < size_t(listing_text_limit)) {
            list.Add(CString(full));
            ++files;
        }
        return true;
    });
    return files;
}

int CAppUtil::CheckFolderDepth(LPCWSTR path, int max_depth)
{
    int backslashes = 0;
    for (size_t i = 0; path && path[i]; ++i) {
        if (path[i] == u'\\' && ++backslashes > max_depth + 2)
            return -1;
    }
    return 0;
}

int CAppUtil::GetFileNamePos(const CString& path)
{
    int length = path.GetLength();
    if (length >= 256)
        return length;
    return path.ReverseFind(u'\\') + 1;
}

int CAppUtil::GetFileTitle(LPWSTR path)
{
    size_t length = std::char_traits<char16_t>::length(path);
    size_t end = length;
    size_t start = 0;
    for (size_t i = length; i > 0; --i) {
        char16_t c = path[i - 1];
        if (c == u'\\') {
            start = i;
            break;
        }
        if (c == u'.' && end == length)
            end = i - 1;
    }
    std::char_traits<char16_t>::move(path, path + start, end - start);
    path[end - start] = 0;
    return 0;
}

int CAppUtil::GetFolderName(LPWSTR folder)
{
    size_t length = std::char_traits<char16_t>::length(folder);
    if (length == 0)
        return 0;
    std::u16string_view rest(folder, length - 1);
    size_t slash = rest.rfind(u'\\');
    if (slash == std::u16string_view::npos || slash == 0) {
        folder[0] = 0;
        return 0;
    }
    size_t count = rest.size() - slash - 1;
    std::char_traits<char16_t>::move(folder, folder + slash + 1, count);
    folder[count] = 0;
    return 0;
}

int CAppUtil::FormatFileSize(CString& text, DWORD size)
{
    // Single precision, as the sizes have always been shown: 2^30 - 1 bytes is "1024.00MB".
    float bytes = static_cast<float>(size);
    if (size < 1024)
        text.Format(u"%dBytes", static_cast<int>(size));
    else if (size < 1048576)
        text.Format(u"%dKB", static_cast<int>(size / 1024));
    else if (size < 1073741824)
        text.Format(u"%2.2fMB", static_cast<double>(bytes * (1.0f / 1048576.0f)));
    else
        text.Format(u"%2.2fGB", static_cast<double>(bytes * (1.0f / 1073741824.0f)));
    return 0;
}

int CAppUtil::GetFileTimes(LPCWSTR path, FileTimes* times)
{
    HANDLE file = CreateFile(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    times->Size = high ? 0 : low;
    BY_HANDLE_FILE_INFORMATION information {};
    if (GetFileInformationByHandle(file, &information)) {
        auto fill = [](const FILETIME& utc, SYSTEMTIME& slots) {
            FILETIME local {};
            SYSTEMTIME time {};
            FileTimeToLocalFileTime(&utc, &local);
            FileTimeToSystemTime(&local, &time);
            slots.wYear = time.wYear;
            slots.wMonth = time.wMonth;
            slots.wDay = time.wDay;
            slots.wHour = time.wHour;
            slots.wMinute = time.wMinute;
            slots.wSecond = time.wSecond;
        };
        fill(information.ftLastWriteTime, times->LastWrite);
        fill(information.ftCreationTime, times->Creation);
    }
    CloseHandle(file);
    return 0;
}

int CAppUtil::GetFileVersion(LPCWSTR path, int& major, int& minor, int& build, int& revision)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSize(path, &handle);
    if (size == 0)
        return 0;
    auto block = std::make_unique<BYTE[]>(size);
    std::fill_n(block.get(), size, BYTE(0));
    if (!GetFileVersionInfo(path, handle, size, block.get()))
        return 0;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValue(block.get(), u"\\", reinterpret_cast<LPVOID*>(&fixed), &length) || !fixed || length < sizeof(VS_FIXEDFILEINFO))
        return 0;
    VS_FIXEDFILEINFO info = *fixed;
    major = HIWORD(info.dwFileVersionMS);
    minor = LOWORD(info.dwFileVersionMS);
    build = HIWORD(info.dwFileVersionLS);
    revision = LOWORD(info.dwFileVersionLS);
    return 1;
}
