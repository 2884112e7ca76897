#pragma once

#include "com/ComObject.h"

#include <utility>
#include <vector>

namespace kivo {

// Hands out the interfaces of a fixed list one at a time: a filter's pins, a graph's filters.
template<typename Enumerator, typename Item>
class ListEnumerator final : public ComObject<Enumerator> {
public:
    // Each item is kept with a reference for as long as the enumerator lives.
    explicit ListEnumerator(std::vector<Item*> items)
        : m_items(std::move(items))
    {
        for (Item* item : m_items)
            item->AddRef();
    }
    ~ListEnumerator() override
    {
        for (Item* item : m_items)
            item->Release();
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item** out, ULONG* fetched) override
    {
        if (!out || (count > 1 && !fetched))
            return E_POINTER;
        ULONG given = 0;
        while (given < count && m_next < m_items.size()) {
            out[given] = m_items[m_next++];
            out[given]->AddRef();
            ++given;
        }
        if (fetched)
            *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        size_t left = m_items.size() - m_next;
        if (count > left) {
            m_next = m_items.size();
            return S_FALSE;
        }
        m_next += count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        m_next = 0;
        return S_OK;
    }

private:
    std::vector<Item*> m_items;
    size_t m_next = 0;
};

} // namespace kivo
