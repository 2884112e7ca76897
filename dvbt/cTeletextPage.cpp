#include "cTeletextPage.h"

#include <algorithm>
#include <cstring>

cTeletextPage::cTeletextPage(DWORD pageNumber)
    : m_dwPageNumber(pageNumber)
{
    Clear();
}

void cTeletextPage::Clear()
{
    std::memset(m_Rows, 0, sizeof m_Rows);
    std::memset(m_Enhancement, 0, sizeof m_Enhancement);
    std::fill_n(m_dwReceived, ROWS, 0);
    std::fill_n(m_dwUpdated, ROWS, 0);
    m_dwActiveRow = 0;
    m_dwActiveColumn = 0;
}
