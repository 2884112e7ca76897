#include "cTeletextMagazine.h"

#include <new>

cTeletextPage* cTeletextMagazine::Page(DWORD pageNumber) const
{
    for (auto const& page : m_Pages) {
        if (page->m_dwPageNumber == pageNumber)
            return page.get();
    }
    return nullptr;
}

cTeletextPage* cTeletextMagazine::AddPage(DWORD pageNumber)
{
    try {
        return m_Pages.emplace_back(std::make_unique<cTeletextPage>(pageNumber)).get();
    } catch (std::bad_alloc const&) {
        return nullptr;
    }
}
