#pragma once

#include "CObject.h"
#include "CString.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

// A growable array by index, as MFC's CArray. An index out of range is a program fault: it is
// reported and the process stops, rather than reading past the end.
template<typename TYPE, typename ARG_TYPE = const TYPE&>
class CArray : public CObject {
public:
    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_items.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    BOOL IsEmpty() const { return m_items.empty(); }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }
    void SetSize(INT_PTR size, INT_PTR = -1) { m_items.resize(static_cast<size_t>(size < 0 ? 0 : size)); }
    void RemoveAll() { m_items.clear(); }
    void FreeExtra() { m_items.shrink_to_fit(); }

    const TYPE& GetAt(INT_PTR index) const { return m_items[checked(index)]; }
    TYPE& GetAt(INT_PTR index) { return m_items[checked(index)]; }
    TYPE& ElementAt(INT_PTR index) { return m_items[checked(index)]; }
    void SetAt(INT_PTR index, ARG_TYPE value) { m_items[checked(index)] = value; }
    const TYPE& operator[](INT_PTR index) const { return GetAt(index); }
    TYPE& operator[](INT_PTR index) { return GetAt(index); }
    const TYPE* GetData() const { return m_items.data(); }
    TYPE* GetData() { return m_items.data(); }

    INT_PTR Add(ARG_TYPE value)
    {
        m_items.push_back(value);
        return GetUpperBound();
    }
    void SetAtGrow(INT_PTR index, ARG_TYPE value)
    {
        if (index >= GetSize())
            SetSize(index + 1);
        SetAt(index, value);
    }
    void InsertAt(INT_PTR index, ARG_TYPE value, INT_PTR count = 1)
    {
        if (index > GetSize())
            SetSize(index);
        m_items.insert(m_items.begin() + index, static_cast<size_t>(count), value);
    }
    void RemoveAt(INT_PTR index, INT_PTR count = 1)
    {
        checked(index);
        checked(index + count - 1);
        m_items.erase(m_items.begin() + index, m_items.begin() + index + count);
    }
    INT_PTR Append(const CArray& other)
    {
        INT_PTR first = GetSize();
        m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
        return first;
    }
    void Copy(const CArray& other) { m_items = other.m_items; }

private:
    size_t checked(INT_PTR index) const
    {
        if (index < 0 || index >= GetSize()) {
            std::fprintf(stderr, "CArray: index %ld outside 0..%ld\n", static_cast<long>(index), static_cast<long>(GetSize()) - 1);
            std::abort();
        }
        return static_cast<size_t>(index);
    }

    std::vector<TYPE> m_items;
};

using CStringArray = CArray<CString, const CString&>;
using CPtrArray = CArray<void*, void*>;
using CDWordArray = CArray<DWORD, DWORD>;
using CUIntArray = CArray<UINT, UINT>;
