#include "ZezSubtitleDecoder.h"

#include <mutex>

namespace kivo {

ZezSubtitleDecoder::ZezSubtitleDecoder()
    : TransformFilter(CLSID_DVBSubtitleDecoder, u"Zez RaruSubtitle", u"In", u"Out")
    , m_control(device())
{
}

void* ZezSubtitleDecoder::find_interface(REFIID iid)
{
    if (iid == IID_ISubtitleDisplay)
        return static_cast<ISubtitleDisplay*>(this);
    return TransformFilter::find_interface(iid);
}

HRESULT ZezSubtitleDecoder::ShowSubtitle(BOOL on)
{
    return m_control.call({ Operation::ShowSubtitle, uint64_t(on), 0, {} }, [&] {
        std::lock_guard guard(m_display_lock);
        m_display.shown = on != FALSE;
        return S_OK;
    });
}

HRESULT ZezSubtitleDecoder::SelectPage(DWORD magazine, DWORD page)
{
    return m_control.call({ Operation::SelectPage, magazine, page, {} }, [&] {
        std::lock_guard guard(m_display_lock);
        m_display.magazine = magazine;
        m_display.page = page;
        return S_OK;
    });
}

ZezSubtitleDecoder::Display ZezSubtitleDecoder::display() const
{
    std::lock_guard guard(m_display_lock);
    return m_display;
}

// The demultiplexer's pin decides the type of the stream; decoded pictures and sound are all this
// filter refuses.
HRESULT ZezSubtitleDecoder::check_input_type(const MediaType& type)
{
    return type.subtype == MEDIASUBTYPE_I420 || type.subtype == MEDIASUBTYPE_PCM ? S_FALSE : S_OK;
}

std::vector<MediaType> ZezSubtitleDecoder::output_types() { return { input().type() }; }

HRESULT ZezSubtitleDecoder::transform(const SamplePtr& sample)
{
    m_samples.fetch_add(1, std::memory_order_acq_rel);
    // Without an image renderer the stream ends here, taken.
    if (!output().connected())
        return S_OK;
    return deliver(sample);
}

} // namespace kivo
