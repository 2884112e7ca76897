#pragma once

// One row of the country table and the transport streams found on its channels. The country
// owns the whole tree below it: destroying it destroys every transport stream, service, stream
// record, event and teletext page.

#include "StreamwellExport.h"
#include "cTransportStream.h"
#include "platform.h"

#include <list>
#include <memory>

class STREAMWELL_API cCountry {
public:
    // The name is not copied: it belongs to the country table.
    cCountry(const WCHAR* name, int code);
    ~cCountry() = default;

    // A copy would share the transport streams and free them twice.
    cCountry(const cCountry&) = delete;
    cCountry& operator=(const cCountry&) = delete;

    // The first transport stream with this channel and TSID; when there is none, a new one
    // appended. Null, with nothing appended, only when memory runs out.
    cTransportStream* TransportStream(int channel, unsigned short tsid);
    // The first transport stream on this channel, else null.
    cTransportStream* TransportStream(int channel) const;

    const WCHAR* m_pszName;
    LONG m_nCode; // what the tuner receives as its country; -1 the test country
    std::list<std::unique_ptr<cTransportStream>> m_TransportStreams;
};
