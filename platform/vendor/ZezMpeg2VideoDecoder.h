#pragma once

#include "ElementaryStreamDecoder.h"
#include "FilterControl.h"
#include "RendererFilter.h"
#include "vendor/VendorTvApi.h"

#include <array>
#include <atomic>

struct SwsContext;

namespace kivo {

// The chip vendor's MPEG-2 video decoder, "ZEZ MPG2Dec Filter" ("XForm In", "XForm Out"): it takes
// the video PES payloads and hands on I420 pictures of the connection's size (720 × 480), each
// decoded picture scaled to it, so a change of resolution in the stream needs no new connection.
// IVideoResolution re-arms the resolution event: the next sequence header after it raises one
// graph event EC_VIDEO_RESOLUTION with param1 = width | height << 16, whether or not the output is
// connected.
class ZezMpeg2VideoDecoder final : public TransformFilter, public IVideoResolution {
public:
    enum class Operation {
        ArmResolutionEvent,
    };
    static constexpr int output_width = 720;
    static constexpr int output_height = 480;

    ZezMpeg2VideoDecoder();
    ~ZezMpeg2VideoDecoder() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override { return query_interface(iid, object); }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
    ULONG STDMETHODCALLTYPE Release() override { return release_reference(); }
    void* find_interface(REFIID) override;

    // IVideoResolution
    HRESULT STDMETHODCALLTYPE ArmResolutionEvent() override;

    FilterControl<Operation>& control() { return m_control; }

private:
    HRESULT check_input_type(const MediaType&) override;
    std::vector<MediaType> output_types() override;
    HRESULT on_input_connected(const MediaType&) override;
    void on_input_disconnected() override;
    HRESULT transform(const SamplePtr&) override;
    void reset() override;

    // Looks for a sequence header in the payload (its start may lie in the payload before).
    void scan_for_sequence_header(const std::vector<uint8_t>&);

    FilterControl<Operation> m_control { device() };
    std::atomic<bool> m_armed = false;
    // The last bytes of the payload before: a sequence header may be cut between two.
    std::vector<uint8_t> m_scan_tail;
    // Made at the connection; used by the upstream thread while streaming.
    std::unique_ptr<ElementaryStreamDecoder> m_decoder;
    std::vector<DecodedFrame> m_frames;
    SwsContext* m_scaler = nullptr;
};

} // namespace kivo
