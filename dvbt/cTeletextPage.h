#pragma once

// One teletext page received for a service: its rows as the decoder delivered them (7-bit
// characters, row 0 the header), the characters that enhancement packets X/26 placed, and which
// packets arrived and changed.

#include "StreamwellExport.h"
#include "platform.h"

class STREAMWELL_API cTeletextPage {
public:
    static constexpr int ROWS = 26;
    static constexpr int COLUMNS = 40;
    static constexpr int PACKETS = 32;

    // A cleared page with this number.
    explicit cTeletextPage(DWORD pageNumber);

    // Empties the page for a new transmission of it: the rows, the enhancement, the received and
    // updated flags of the rows and the enhancement position. The page number, the control bits
    // and the national option stay.
    void Clear();

    DWORD m_dwPageNumber;         // 0 to 99 within the magazine
    DWORD m_dwControlBits = 0;    // as the decoder delivers them with the page header
    DWORD m_dwNationalOption = 0; // 0 to 7
    BYTE m_Rows[ROWS][COLUMNS] {};
    BYTE m_Enhancement[ROWS][COLUMNS] {};
    // Indexed by packet number.
    DWORD m_dwReceived[PACKETS] {};
    DWORD m_dwUpdated[PACKETS] {};
    // Where the next X/26 character goes.
    DWORD m_dwActiveRow = 0;
    DWORD m_dwActiveColumn = 0;
};
