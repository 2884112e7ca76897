#include "CString.h"

#include "kernel/WideText.h"

#include <algorithm>
#include <cstdarg>

using namespace kivo;

namespace {

bool is_space(WCHAR c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0x0B || c == 0x0C;
}

int count_of(LPCWSTR text)
{
    return text ? static_cast<int>(std::u16string_view(text).size()) : 0;
}

} // namespace

CString& CString::operator=(LPCWSTR text)
{
    m_text = text ? text : u"";
    return *this;
}

CString& CString::operator+=(const CString& other)
{
    m_text += other.m_text;
    return *this;
}

CString& CString::operator+=(LPCWSTR text)
{
    if (text)
        m_text += text;
    return *this;
}

CString& CString::operator+=(WCHAR c)
{
    m_text += c;
    return *this;
}

CString operator+(const CString& a, const CString& b)
{
    return CString(a.m_text + b.m_text);
}

CString operator+(const CString& a, LPCWSTR b)
{
    CString result(a);
    result += b;
    return result;
}

CString operator+(LPCWSTR a, const CString& b)
{
    CString result(a);
    result += b;
    return result;
}

CString operator+(const CString& a, WCHAR b)
{
    CString result(a);
    result += b;
    return result;
}

int CString::Compare(LPCWSTR other) const
{
    int result = m_text.compare(other ? other : u"");
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

int CString::CompareNoCase(LPCWSTR other) const
{
    int result = compare_ignoring_case(m_text, other ? other : u"");
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

CString CString::Left(int count) const
{
    return CString(m_text.substr(0, static_cast<size_t>(std::clamp(count, 0, GetLength()))));
}

CString CString::Right(int count) const
{
    int length = std::clamp(count, 0, GetLength());
    return CString(m_text.substr(m_text.size() - static_cast<size_t>(length)));
}

CString CString::Mid(int first) const
{
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const
{
    first = std::clamp(first, 0, GetLength());
    count = std::clamp(count, 0, GetLength() - first);
    return CString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

int CString::Find(WCHAR c, int start) const
{
    if (start < 0 || start >= GetLength())
        return -1;
    auto at = m_text.find(c, static_cast<size_t>(start));
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(LPCWSTR text, int start) const
{
    if (!text || start < 0 || start > GetLength())
        return -1;
    auto at = m_text.find(text, static_cast<size_t>(start));
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(WCHAR c) const
{
    auto at = m_text.rfind(c);
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int CString::FindOneOf(LPCWSTR characters) const
{
    if (!characters)
        return -1;
    auto at = m_text.find_first_of(characters);
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

CString& CString::MakeUpper()
{
    for (auto& c : m_text)
        c = upper_case(c);
    return *this;
}

CString& CString::MakeLower()
{
    for (auto& c : m_text)
        c = fold_case(c);
    return *this;
}

CString& CString::TrimLeft()
{
    auto first = std::find_if_not(m_text.begin(), m_text.end(), is_space);
    m_text.erase(m_text.begin(), first);
    return *this;
}

CString& CString::TrimRight()
{
    while (!m_text.empty() && is_space(m_text.back()))
        m_text.pop_back();
    return *this;
}

CString& CString::Trim()
{
    return TrimRight().TrimLeft();
}

CString& CString::TrimLeft(WCHAR c)
{
    auto first = std::find_if(m_text.begin(), m_text.end(), [c](WCHAR x) { return x != c; });
    m_text.erase(m_text.begin(), first);
    return *this;
}

CString& CString::TrimRight(WCHAR c)
{
    while (!m_text.empty() && m_text.back() == c)
        m_text.pop_back();
    return *this;
}

int CString::Replace(WCHAR from, WCHAR to)
{
    int count = 0;
    for (auto& c : m_text) {
        if (c == from) {
            c = to;
            ++count;
        }
    }
    return count;
}

int CString::Replace(LPCWSTR from, LPCWSTR to)
{
    int from_length = count_of(from);
    if (!from_length)
        return 0;
    std::u16string replacement = to ? to : u"";
    int count = 0;
    size_t at = 0;
    while ((at = m_text.find(from, at)) != std::u16string::npos) {
        m_text.replace(at, static_cast<size_t>(from_length), replacement);
        at += replacement.size();
        ++count;
    }
    return count;
}

int CString::Remove(WCHAR c)
{
    auto before = m_text.size();
    std::erase(m_text, c);
    return static_cast<int>(before - m_text.size());
}

int CString::Insert(int index, LPCWSTR text)
{
    index = std::clamp(index, 0, GetLength());
    if (text)
        m_text.insert(static_cast<size_t>(index), text);
    return GetLength();
}

int CString::Insert(int index, WCHAR c)
{
    index = std::clamp(index, 0, GetLength());
    m_text.insert(m_text.begin() + index, c);
    return GetLength();
}

int CString::Delete(int index, int count)
{
    if (index >= 0 && index < GetLength() && count > 0)
        m_text.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return GetLength();
}

void CString::Format(LPCWSTR format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    m_text = vformat_wide(format ? format : u"", arguments);
    va_end(arguments);
}

void CString::AppendFormat(LPCWSTR format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    m_text += vformat_wide(format ? format : u"", arguments);
    va_end(arguments);
}

LPWSTR CString::GetBuffer(int minimum)
{
    if (minimum > GetLength())
        m_text.resize(static_cast<size_t>(minimum));
    return m_text.data();
}

LPWSTR CString::GetBufferSetLength(int length)
{
    m_text.resize(static_cast<size_t>(std::max(length, 0)));
    return m_text.data();
}

void CString::ReleaseBuffer(int length)
{
    if (length < 0) {
        auto end = m_text.find(u'\0');
        if (end != std::u16string::npos)
            m_text.resize(end);
    } else {
        m_text.resize(static_cast<size_t>(std::min(length, GetLength())));
    }
}
