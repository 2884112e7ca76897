#pragma once

// One magazine slot of a service's teletext: the pages received in that magazine, in the order
// they first came, and the page whose header came last (the page the rows that follow belong to).

#include "StreamwellExport.h"
#include "cTeletextPage.h"

#include <list>
#include <memory>

class STREAMWELL_API cTeletextMagazine {
public:
    // The first page with this number, else null.
    cTeletextPage* Page(DWORD pageNumber) const;
    // Appends a new cleared page with this number; null, with nothing appended, when memory runs
    // out.
    cTeletextPage* AddPage(DWORD pageNumber);

    std::list<std::unique_ptr<cTeletextPage>> m_Pages;
    cTeletextPage* m_pCurrentPage = nullptr; // null until the magazine's first header
};
