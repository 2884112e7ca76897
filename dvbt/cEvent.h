#pragma once

// One programme-guide event of a service. The service owns the EVENT records; a cEvent is only a
// handle on one, so the service's list can be sorted by start time and the guide can hold its own
// handles on its own records.

#include "StreamwellExport.h"
#include "platform.h"

class STREAMWELL_API cEvent {
public:
    struct STREAMWELL_API EVENT {
        EVENT() = default;
        // Frees the three texts.
        ~EVENT();

        // A copy would share the texts and free them twice.
        EVENT(const EVENT&) = delete;
        EVENT& operator=(const EVENT&) = delete;

        WORD m_wEventId = 0;
        SYSTEMTIME m_stStart {};    // broadcast (UTC) time
        SYSTEMTIME m_stDuration {}; // in the hour, minute and second fields
        DWORD m_dwStatus = 0;       // the status byte of the parser's event record
        // Zero-terminated texts allocated with new[], each null when the event has none.
        WCHAR* m_pszName = nullptr;
        WCHAR* m_pszShortText = nullptr;
        WCHAR* m_pszExtendedText = nullptr;
        BYTE m_byRating = 0; // 0 when the broadcast gives none
    };

    explicit cEvent(EVENT* event);
    ~cEvent() = default;

    // True when this event starts earlier, to the second: the day of the week and the
    // milliseconds do not count.
    bool operator<(const cEvent& other) const;

    EVENT* m_pEvent;
};
