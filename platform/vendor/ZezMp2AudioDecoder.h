#pragma once

#include "ElementaryStreamDecoder.h"
#include "FilterControl.h"
#include "RendererFilter.h"
#include "vendor/VendorTvApi.h"

#include <atomic>

struct SwrContext;

namespace kivo {

// The chip vendor's MPEG audio decoder, "ZEZ MP2Dec Filter" ("XForm In", "XForm Out"): MPEG-1
// layer II from the audio PES payloads into 16-bit stereo PCM at 48 kHz (a mono stream plays in
// both channels; a stream at another rate is not played, and a debug line says so once).
// IAudioReceiveTick answers the tick count when a payload last came in; IMp2AudioInfo setting 2
// chooses the channels: 0 stereo, 1 the left in both, 2 the right in both.
class ZezMp2AudioDecoder final : public TransformFilter, public IAudioReceiveTick, public IMp2AudioInfo {
public:
    enum class Operation {
        GetLastReceiveTick,
        SetAudioSetting,
    };
    static constexpr DWORD channel_setting = 2;
    static constexpr uint32_t output_rate = 48'000;

    ZezMp2AudioDecoder();
    ~ZezMp2AudioDecoder() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override { return query_interface(iid, object); }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
    ULONG STDMETHODCALLTYPE Release() override { return release_reference(); }
    void* find_interface(REFIID) override;

    // IAudioReceiveTick
    HRESULT STDMETHODCALLTYPE GetLastReceiveTick(DWORD* tick) override;
    // IMp2AudioInfo
    HRESULT STDMETHODCALLTYPE SetAudioSetting(DWORD setting, DWORD value) override;

    FilterControl<Operation>& control() { return m_control; }

private:
    HRESULT check_input_type(const MediaType&) override;
    std::vector<MediaType> output_types() override;
    HRESULT on_input_connected(const MediaType&) override;
    void on_input_disconnected() override;
    HRESULT transform(const SamplePtr&) override;
    void reset() override;
    // Brings stereo PCM at `rate` to the output rate; false when it cannot.
    bool resample(std::vector<uint8_t>& pcm, int rate);

    FilterControl<Operation> m_control { device() };
    std::atomic<DWORD> m_last_receive_tick = 0;
    std::atomic<DWORD> m_channels = 0;
    // Resamples a stream not at 48 kHz; made for m_resampler_rate. The upstream thread alone.
    SwrContext* m_resampler = nullptr;
    int m_resampler_rate = 0;
    std::unique_ptr<ElementaryStreamDecoder> m_decoder;
    std::vector<DecodedFrame> m_frames;
};

} // namespace kivo
