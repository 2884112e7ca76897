#pragma once

#include "Filter.h"
#include "FilterControl.h"
#include "SimCondition.h"
#include "SimMutex.h"
#include "TeletextPesDecoder.h"
#include "vendor/VendorTvApi.h"

#include <deque>

namespace kivo {

// The chip vendor's teletext decoder, "Zez RaruTeletext" with its input "In" and its output "Out".
// It takes the teletext stream the demultiplexer hands on (the payload of the transport packets,
// or whole PES packets), decodes its packets on a thread of its own (TeletextPesDecoder) and calls
// the receive callback there with each packet's record (TeletextRecords.h), the packet number as
// the code. What it took goes on unchanged on "Out", after its packets were delivered. A packet
// it cannot use is dropped with a debug line.
//
// The thread runs from the first Pause to the Stop, decoding while paused too; a flush or a stop
// forgets the PES half assembled.
class ZezTeletextDecoder final : public Filter
    , public IReceiveCallback {
public:
    enum class Operation {
        SetReceiveCallback,
        GetReceiveCallback,
    };
    using Call = FilterControl<Operation>::Record;

    ZezTeletextDecoder();
    ~ZezTeletextDecoder() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override { return query_interface(iid, object); }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
    ULONG STDMETHODCALLTYPE Release() override { return release_reference(); }
    void* find_interface(REFIID) override;

    // IReceiveCallback: a null callback stops the delivery.
    HRESULT STDMETHODCALLTYPE SetReceiveCallback(ReceiveCallback callback, void* context) override;
    HRESULT STDMETHODCALLTYPE GetReceiveCallback(ReceiveCallback* callback, void** context) override;

    InputPin& input() const { return *m_input; }
    OutputPin& output() const { return *m_output; }

    // Test control: a sample taken as if it came on "In" (VFW_E_WRONG_STATE while stopped); the
    // interface calls with their arguments (callback, context) and results; a forced result.
    HRESULT inject(const SamplePtr&);
    std::vector<Call> calls() const { return m_control.calls(); }
    void force_result(Operation operation, HRESULT result) { m_control.force_result(operation, result); }
    void clear_forced_results() { m_control.clear_forced_results(); }

private:
    class Input;
    class Output;
    struct Queued {
        SamplePtr sample; // null for the end of the stream
    };

    void on_pause(FILTER_STATE from) override;
    void on_stop() override;

    HRESULT receive(const SamplePtr&);
    void end_of_stream();
    void begin_flush();
    void end_flush();
    void decode_loop();
    void deliver(const TeletextPesDecoder::Packet&);

    InputPin* m_input = nullptr;
    OutputPin* m_output = nullptr;
    StreamingThread m_thread;
    FilterControl<Operation> m_control;

    // Guarded by m_lock.
    ReceiveCallback m_callback = nullptr;
    void* m_context = nullptr;
    SimCondition m_wake;  // the thread: a sample, a flush, the stop
    SimCondition m_space; // the upstream thread: room in the queue; a flush: the thread idle
    std::deque<Queued> m_queue;
    bool m_ending = false;
    bool m_flushing = false;
    bool m_reset_wanted = false;
    bool m_decoding = false;

    // The decoder thread's alone (and the stopping thread's, once it has ended).
    TeletextPesDecoder m_decoder;
};

} // namespace kivo
