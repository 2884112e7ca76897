#pragma once

#include "platform.h"

// The file times and size CAppUtil::GetFileTimes gives: the last-write and the creation time in
// local time (the day-of-week and millisecond slots are left as the caller set them), then the
// size, 0 for files of 4 GiB or more.
struct FileTimes {
    SYSTEMTIME LastWrite;
    SYSTEMTIME Creation;
    DWORD Size;
};
static_assert(sizeof(FileTimes) == 36);

// The support library's utility class: folder listings for the browsers, path operations, size
// texts, file times and versions, and the card store's operations. It holds no data; any
// instance serves.
class CAppUtil {
public:
    // Entries whose text reaches this length are left out of listings.
    static constexpr int listing_text_limit = 248;

    // A parent entry "<..>" (unless the folder is a volume's top), folders as "<name>", then the
    // files matching an extension; folders before files, each sorted without regard to case.
    // Answers the number of files added.
    int ListFolder(LPCWSTR folder, CStringArray& list, LPCWSTR const* extensions, int extension_count);
    // As ListFolder, refusing folders deeper than `max_depth` and adding at most `max_entries`.
    int ListFolderLimited(LPCWSTR folder, CStringArray& list, LPCWSTR const* extensions, int extension_count,
        int max_depth, int max_entries);
    // The full paths of the matching files of a folder that ends in a backslash, sorted.
    int ListFiles(LPCWSTR folder, CStringArray& list, LPCWSTR const* extensions, int extension_count);
    // The full paths of the matching files of a folder (no trailing backslash) and of all its
    // sub-folders whose names do not begin with ".", depth first in the order found.
    int SearchFiles(LPCWSTR folder, CStringArray& list, LPCWSTR const* extensions, int extension_count);
    int CheckFolderDepth(LPCWSTR path, int max_depth);

    int GetFileNamePos(const CString& path);
    int GetFileTitle(LPWSTR path);
    int GetFolderName(LPWSTR folder);
    int FormatFileSize(CString& text, DWORD size);
    int GetFileTimes(LPCWSTR path, FileTimes* times);
    int GetFileVersion(LPCWSTR path, int& major, int& minor, int& build, int& revision);

    int FindStore(LPCWSTR store_name);
    int IsStoreReadOnly(LPCWSTR store_name);
    int CheckStoreFormat(LPCWSTR store_name);
    // Dismounts, formats and mounts again the store's "Part00"; `store_name` (of `capacity`
    // characters) receives the store's device name once the store is found.
    int StoreDeviceFormat(LPWSTR store_name, size_t capacity = STORENAMESIZE);
};
