#pragma once

#include "Filter.h"
#include "FilterControl.h"
#include "PsiSections.h"
#include "vendor/VendorTvApi.h"

#include <deque>
#include <vector>

namespace kivo {

// The chip vendor's PSI/SI parser, "ZEZ PSI Parser3" with its input "Input": it takes what the
// demultiplexer's "psi" pin gives, whole sections or 188-byte transport packets (told apart by
// their sync bytes), decodes the tables of the actual transport stream and calls the program's
// receive callback with each record on a thread of its own (codes 1 PAT, 2 PMT, 4 SDT, 5 EIT,
// 6 TDT, 100 TOT; see PsiRecords.h). Dropped sections leave a "psi:" debug line. The thread runs
// while the filter is paused or running; a stop or a flush drops what is queued and every half
// section.
class ZezPsiParser final : public Filter, public IReceiveCallback, public IPsiParserControl {
public:
    enum class Operation {
        SetReceiveCallback,
        GetReceiveCallback,
        ClearTables,
    };

    using Call = FilterControl<Operation>::Record;

    ZezPsiParser();
    ~ZezPsiParser() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override { return query_interface(iid, object); }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
    ULONG STDMETHODCALLTYPE Release() override { return release_reference(); }
    void* find_interface(REFIID) override;

    // IReceiveCallback: a null callback stops the deliveries.
    HRESULT STDMETHODCALLTYPE SetReceiveCallback(ReceiveCallback callback, void* context) override;
    HRESULT STDMETHODCALLTYPE GetReceiveCallback(ReceiveCallback* callback, void** context) override;
    // IPsiParserControl: 0 forgets the versions of the tables delivered, so each comes again when
    // next complete; 255 also drops what is queued and what is half assembled. Others: E_INVALIDARG.
    HRESULT STDMETHODCALLTYPE ClearTables(BYTE selector) override;

    InputPin& input() const { return *m_input; }

    // Test control: input as if it came from the pin (refused while stopped); the interface calls
    // made so far with their results; a forced result that an operation answers, doing nothing,
    // until cleared.
    HRESULT inject(std::vector<uint8_t> bytes);
    std::vector<Call> calls() const { return m_control.calls(); }
    void force_result(Operation operation, HRESULT result) { m_control.force_result(operation, result); }
    void clear_forced_results() { m_control.clear_forced_results(); }

private:
    class ParserInput;
    class Sink;

    void on_pause(FILTER_STATE from) override;
    void on_stop() override;
    HRESULT receive(const SamplePtr&);
    void parse_loop();
    void parse(const MediaSample&);

    InputPin* m_input = nullptr;
    StreamingThread m_thread;
    std::unique_ptr<Sink> m_sink;
    // Used by the parser's thread only (and by a stop, after the thread has ended).
    std::unique_ptr<PsiDecoder> m_decoder;
    std::unique_ptr<SectionAssembler> m_assembler;

    // Guarded by m_lock.
    SimCondition m_wake;  // the thread: a sample, a clear, the end
    SimCondition m_space; // the upstream thread: room in the queue
    std::deque<SamplePtr> m_queue;
    bool m_ending = false;
    bool m_forget_versions = false;
    bool m_forget_all = false;
    bool m_drop_half_sections = false; // a flush: the stream goes on elsewhere
    ReceiveCallback m_callback = nullptr;
    void* m_context = nullptr;

    FilterControl<Operation> m_control { device() };
};

} // namespace kivo
