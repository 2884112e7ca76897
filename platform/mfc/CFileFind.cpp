#include "CFileFind.h"

#include "kernel/KernelApi.h"

#include <string>
#include <string_view>

BOOL CFileFind::FindFile(LPCWSTR pattern, DWORD)
{
    Close();
    std::u16string_view wanted = pattern ? std::u16string_view(pattern) : std::u16string_view(u"*.*");
    size_t slash = wanted.find_last_of(u"\\/");
    m_root = slash == std::u16string_view::npos ? CString() : CString(std::u16string(wanted.substr(0, slash)).c_str());
    m_search = ::FindFirstFile(std::u16string(wanted).c_str(), &m_next);
    m_has_next = m_search != INVALID_HANDLE_VALUE;
    return m_has_next;
}

BOOL CFileFind::FindNextFile()
{
    if (!m_has_next)
        return FALSE;
    m_current = m_next;
    m_has_current = true;
    m_has_next = ::FindNextFile(m_search, &m_next) != FALSE;
    return m_has_next;
}

void CFileFind::Close()
{
    if (m_search != INVALID_HANDLE_VALUE)
        ::FindClose(m_search);
    m_search = INVALID_HANDLE_VALUE;
    m_has_next = false;
    m_has_current = false;
    m_root.Empty();
}

CString CFileFind::GetFileName() const
{
    return m_has_current ? CString(m_current.cFileName) : CString();
}

CString CFileFind::GetFilePath() const
{
    if (!m_has_current)
        return CString();
    return m_root + u"\\" + m_current.cFileName;
}

uint64_t CFileFind::GetLength() const
{
    return m_has_current ? (static_cast<uint64_t>(m_current.nFileSizeHigh) << 32) | m_current.nFileSizeLow : 0;
}

BOOL CFileFind::IsDots() const
{
    std::u16string_view name(m_current.cFileName);
    return m_has_current && IsDirectory() && (name == u"." || name == u"..");
}

BOOL CFileFind::MatchesMask(DWORD mask) const
{
    return m_has_current && (m_current.dwFileAttributes & mask) != 0;
}
