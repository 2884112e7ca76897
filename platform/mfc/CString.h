#pragma once

#include "gwes/GwesApi.h"

#include <string>
#include <string_view>

// A string of UTF-16 text, as MFC's wide CString. Compare is ordinal (wcscmp); Format follows the
// device's conventions (%s takes wide text). Pass a CString to a variable argument list through
// (LPCWSTR).
class CString {
public:
    CString() = default;
    CString(LPCWSTR text)
    {
        if (text)
            m_text = text;
    }
    CString(const std::u16string& text)
        : m_text(text)
    { }
    CString(std::u16string_view text)
        : m_text(text)
    { }
    CString(WCHAR c, int count = 1)
        : m_text(static_cast<size_t>(count > 0 ? count : 0), c)
    { }
    CString(LPCWSTR text, int length)
        : m_text(text ? std::u16string(text, static_cast<size_t>(length > 0 ? length : 0)) : std::u16string())
    { }

    operator LPCWSTR() const { return m_text.c_str(); }
    const std::u16string& str() const { return m_text; }

    int GetLength() const { return static_cast<int>(m_text.size()); }
    BOOL IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    WCHAR GetAt(int index) const { return m_text.at(static_cast<size_t>(index)); }
    void SetAt(int index, WCHAR c) { m_text.at(static_cast<size_t>(index)) = c; }
    WCHAR operator[](int index) const { return GetAt(index); }

    CString& operator=(LPCWSTR text);
    CString& operator+=(const CString& other);
    CString& operator+=(LPCWSTR text);
    CString& operator+=(WCHAR c);
    friend CString operator+(const CString& a, const CString& b);
    friend CString operator+(const CString& a, LPCWSTR b);
    friend CString operator+(LPCWSTR a, const CString& b);
    friend CString operator+(const CString& a, WCHAR b);
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, LPCWSTR b) { return a.m_text == std::u16string_view(b ? b : u""); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_text < b.m_text; }

    int Compare(LPCWSTR other) const;
    int CompareNoCase(LPCWSTR other) const;

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    int Find(WCHAR c, int start = 0) const;
    int Find(LPCWSTR text, int start = 0) const;
    int ReverseFind(WCHAR c) const;
    int FindOneOf(LPCWSTR characters) const;

    CString& MakeUpper();
    CString& MakeLower();
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim();
    CString& TrimLeft(WCHAR c);
    CString& TrimRight(WCHAR c);
    int Replace(WCHAR from, WCHAR to);
    int Replace(LPCWSTR from, LPCWSTR to);
    int Remove(WCHAR c);
    int Insert(int index, LPCWSTR text);
    int Insert(int index, WCHAR c);
    int Delete(int index, int count = 1);

    void Format(LPCWSTR format, ...);
    void AppendFormat(LPCWSTR format, ...);

    // A writable buffer of at least `minimum` characters; ReleaseBuffer takes the text up to
    // its terminator (or `length` characters) back.
    LPWSTR GetBuffer(int minimum = 0);
    LPWSTR GetBufferSetLength(int length);
    void ReleaseBuffer(int length = -1);

private:
    std::u16string m_text;
};
