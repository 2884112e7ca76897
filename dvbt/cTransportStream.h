#pragma once

// One transport stream found on a tuner channel, and the services it carries.

#include "StreamwellExport.h"
#include "cService.h"
#include "platform.h"

#include <list>
#include <memory>

class STREAMWELL_API cTransportStream {
public:
    cTransportStream(DWORD channel, unsigned short tsid);
    // Destroys every service.
    ~cTransportStream() = default;

    // A copy would share the services and free them twice.
    cTransportStream(const cTransportStream&) = delete;
    cTransportStream& operator=(const cTransportStream&) = delete;

    // The service with this id (the last one when several have it); when there is none, a new one
    // appended. Null, with nothing appended, only when memory runs out.
    cService* Service(unsigned short serviceId);

    WORD m_wTsid;
    DWORD m_dwChannel; // the tuner channel value the stream was found on
    // Nothing in the library writes it; the test country tunes by it.
    WCHAR m_szName[256] {};
    std::list<std::unique_ptr<cService>> m_Services;
};
