#include "cTransportStream.h"

#include <new>

cTransportStream::cTransportStream(DWORD channel, unsigned short tsid)
    : m_wTsid(tsid)
    , m_dwChannel(channel)
{
}

cService* cTransportStream::Service(unsigned short serviceId)
{
    for (auto it = m_Services.rbegin(); it != m_Services.rend(); ++it) {
        if ((*it)->m_wServiceId == serviceId)
            return it->get();
    }
    try {
        return m_Services.emplace_back(std::make_unique<cService>(this, serviceId)).get();
    } catch (std::bad_alloc const&) {
        return nullptr;
    }
}
