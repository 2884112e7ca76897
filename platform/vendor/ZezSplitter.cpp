#include "ZezSplitter.h"

#include "vendor/VendorTvApi.h"

namespace kivo {

ZezSplitter::ZezSplitter()
    : TransformFilter(CLSID_TCCSPLITTER, u"ZEZ SPLITTER")
{
}

HRESULT ZezSplitter::transform(const SamplePtr& sample)
{
    m_received.fetch_add(1, std::memory_order_acq_rel);
    HRESULT result = deliver(sample);
    // Nothing downstream yet (a wiring half made) is no failure of the stream.
    return result == VFW_E_NOT_CONNECTED ? S_OK : result;
}

} // namespace kivo
