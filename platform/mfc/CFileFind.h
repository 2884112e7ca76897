#pragma once

#include "CObject.h"
#include "CString.h"
#include "storage/FileApi.h"

#include <cstdint>

// A search of a folder: FindFile starts it, and each FindNextFile moves to the next entry (it
// answers false at the last one, which is then the current one, as MFC does).
class CFileFind : public CObject {
public:
    CFileFind() = default;
    ~CFileFind() override { Close(); }
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // Without a pattern, every entry of the current folder ("*.*").
    BOOL FindFile(LPCWSTR pattern = nullptr, DWORD unused = 0);
    BOOL FindNextFile();
    void Close();

    CString GetFileName() const;
    CString GetFilePath() const;
    CString GetRoot() const { return m_root; }
    uint64_t GetLength() const;
    BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
    BOOL IsDots() const;
    BOOL IsReadOnly() const { return MatchesMask(FILE_ATTRIBUTE_READONLY); }
    BOOL IsHidden() const { return MatchesMask(FILE_ATTRIBUTE_HIDDEN); }
    BOOL MatchesMask(DWORD mask) const;

private:
    HANDLE m_search = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATA m_next {};
    WIN32_FIND_DATA m_current {};
    bool m_has_next = false;
    bool m_has_current = false;
    CString m_root;
};
