#include "VendorNullRenderer.h"

#include "vendor/VendorTvApi.h"

namespace kivo {

class VendorNullRenderer::SinkInput final : public InputPin {
public:
    explicit SinkInput(VendorNullRenderer& owner)
        : InputPin(owner, u"Input")
        , m_owner(owner)
    {
    }

    HRESULT check_type(const MediaType&) override { return S_OK; }
    HRESULT receive(const SamplePtr& sample) override
    {
        if (m_owner.state() == State_Stopped)
            return VFW_E_WRONG_STATE;
        m_owner.m_received.fetch_add(1, std::memory_order_acq_rel);
        m_owner.m_received_bytes.fetch_add(sample->data.size(), std::memory_order_acq_rel);
        return S_OK;
    }
    void end_of_stream() override { }
    void begin_flush() override { }
    void end_flush() override { }

private:
    VendorNullRenderer& m_owner;
};

VendorNullRenderer::VendorNullRenderer()
    : Filter(CLSID_NullRenderer, u"Null Renderer")
{
    auto input = std::make_unique<SinkInput>(*this);
    m_input = input.get();
    add_pin(std::move(input));
}

} // namespace kivo
