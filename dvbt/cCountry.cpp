#include "cCountry.h"

#include <new>

cCountry::cCountry(const WCHAR* name, int code)
    : m_pszName(name)
    , m_nCode(code)
{
}

cTransportStream* cCountry::TransportStream(int channel, unsigned short tsid)
{
    for (auto const& stream : m_TransportStreams) {
        if (stream->m_dwChannel == static_cast<DWORD>(channel) && stream->m_wTsid == tsid)
            return stream.get();
    }
    try {
        return m_TransportStreams.emplace_back(std::make_unique<cTransportStream>(static_cast<DWORD>(channel), tsid)).get();
    } catch (std::bad_alloc const&) {
        return nullptr;
    }
}

cTransportStream* cCountry::TransportStream(int channel) const
{
    for (auto const& stream : m_TransportStreams) {
        if (stream->m_dwChannel == static_cast<DWORD>(channel))
            return stream.get();
    }
    return nullptr;
}
