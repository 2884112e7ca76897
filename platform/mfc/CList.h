#pragma once

#include "CObject.h"
#include "CString.h"

// A position in a list: the node itself, or null past either end.
struct __POSITION {
};
using POSITION = __POSITION*;

// A doubly linked list walked by POSITION, as MFC's CList: nodes hold their neighbours and a copy
// of the element; a position stays valid until its node is removed.
template<typename TYPE, typename ARG_TYPE = const TYPE&>
class CList : public CObject {
public:
    struct CNode {
        CNode* pNext;
        CNode* pPrev;
        TYPE data;
    };

    explicit CList(INT_PTR = 10) { }
    CList(const CList&) = delete;
    CList& operator=(const CList&) = delete;
    ~CList() override { RemoveAll(); }

    INT_PTR GetCount() const { return m_count; }
    INT_PTR GetSize() const { return m_count; }
    BOOL IsEmpty() const { return m_count == 0; }

    TYPE& GetHead() { return m_head->data; }
    const TYPE& GetHead() const { return m_head->data; }
    TYPE& GetTail() { return m_tail->data; }
    const TYPE& GetTail() const { return m_tail->data; }

    POSITION AddHead(ARG_TYPE value) { return insert(nullptr, m_head, value); }
    POSITION AddTail(ARG_TYPE value) { return insert(m_tail, nullptr, value); }
    TYPE RemoveHead()
    {
        TYPE value = m_head->data;
        RemoveAt(position(m_head));
        return value;
    }
    TYPE RemoveTail()
    {
        TYPE value = m_tail->data;
        RemoveAt(position(m_tail));
        return value;
    }
    void RemoveAll()
    {
        while (m_head)
            RemoveAt(position(m_head));
    }

    POSITION GetHeadPosition() const { return position(m_head); }
    POSITION GetTailPosition() const { return position(m_tail); }
    TYPE& GetNext(POSITION& at)
    {
        CNode* current = node(at);
        at = position(current->pNext);
        return current->data;
    }
    const TYPE& GetNext(POSITION& at) const
    {
        CNode* current = node(at);
        at = position(current->pNext);
        return current->data;
    }
    TYPE& GetPrev(POSITION& at)
    {
        CNode* current = node(at);
        at = position(current->pPrev);
        return current->data;
    }
    TYPE& GetAt(POSITION at) { return node(at)->data; }
    const TYPE& GetAt(POSITION at) const { return node(at)->data; }
    void SetAt(POSITION at, ARG_TYPE value) { node(at)->data = value; }

    void RemoveAt(POSITION at)
    {
        CNode* current = node(at);
        (current->pPrev ? current->pPrev->pNext : m_head) = current->pNext;
        (current->pNext ? current->pNext->pPrev : m_tail) = current->pPrev;
        delete current;
        --m_count;
    }
    POSITION InsertBefore(POSITION at, ARG_TYPE value)
    {
        if (!at)
            return AddHead(value);
        CNode* next = node(at);
        return insert(next->pPrev, next, value);
    }
    POSITION InsertAfter(POSITION at, ARG_TYPE value)
    {
        if (!at)
            return AddTail(value);
        CNode* previous = node(at);
        return insert(previous, previous->pNext, value);
    }
    POSITION Find(ARG_TYPE value, POSITION start = nullptr) const
    {
        for (CNode* current = start ? node(start)->pNext : m_head; current; current = current->pNext) {
            if (current->data == value)
                return position(current);
        }
        return nullptr;
    }
    POSITION FindIndex(INT_PTR index) const
    {
        if (index < 0 || index >= m_count)
            return nullptr;
        CNode* current = m_head;
        while (index--)
            current = current->pNext;
        return position(current);
    }

private:
    static POSITION position(CNode* node) { return reinterpret_cast<POSITION>(node); }
    static CNode* node(POSITION at) { return reinterpret_cast<CNode*>(at); }

    POSITION insert(CNode* previous, CNode* next, ARG_TYPE value)
    {
        auto* added = new CNode { next, previous, value };
        (previous ? previous->pNext : m_head) = added;
        (next ? next->pPrev : m_tail) = added;
        ++m_count;
        return position(added);
    }

    CNode* m_head = nullptr;
    CNode* m_tail = nullptr;
    INT_PTR m_count = 0;
};

using CPtrList = CList<void*, void*>;
using CStringList = CList<CString, const CString&>;
