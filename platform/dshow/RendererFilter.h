#pragma once

#include "Filter.h"

#include <deque>

namespace kivo {

// A filter that ends a stream: one input pin, a queue, and a thread of its own that hands each
// sample to present() at its time on the filter's clock (stream time 0 at the last Run's start;
// at once without a clock). While paused nothing plays, except the still picture of a renderer
// that shows one; a Stop ends the thread before it returns. When the end of the stream has played
// the renderer raises EC_COMPLETE (S_OK, the filter) in its graph, once per run from a stop or a
// flush. Samples marked preroll are taken and dropped.
class RendererFilter : public Filter {
public:
    RendererFilter(const CLSID& class_id, std::u16string default_name, std::u16string pin_name);
    ~RendererFilter() override;

    bool is_renderer() const override { return true; }

    // GetTickCount when the last sample came in (0 before any).
    DWORD last_receive_tick() const { return m_last_receive_tick.load(std::memory_order_acquire); }
    InputPin& input() const { return *m_input; }

protected:
    virtual HRESULT check_input_type(const MediaType&) = 0;
    // The input was connected with its type; a failure refuses the connection.
    virtual HRESULT on_input_connected(const MediaType&) { return S_OK; }
    virtual void on_input_disconnected() { }

    // On the renderer's thread, without the filter's lock.
    virtual void present(const MediaSample&) = 0;
    // How long before its time a sample is presented (a sound renderer queues ahead).
    virtual REFERENCE_TIME lead_time() const { return 0; }
    // Whether the first sample after a stop or a flush is presented at once while paused.
    virtual bool shows_still_when_paused() const { return false; }
    // How much media time may wait in the queue before the upstream thread waits.
    virtual REFERENCE_TIME queue_span() const { return UNITS; }

    // On the thread that changes the state, without the lock.
    virtual void on_renderer_running() { }
    virtual void on_renderer_paused() { }
    // After the thread has ended.
    virtual void on_renderer_stopped() { }
    // At the end of a flush: nothing is queued and nothing is being presented.
    virtual void on_renderer_flushed() { }

private:
    class RendererInput;
    struct Queued {
        SamplePtr sample; // null for the end of the stream
        bool shown = false;
    };

    void on_pause(FILTER_STATE from) final;
    void on_run(REFERENCE_TIME start) final;
    void on_stop() final;
    void on_clock_changed() final;

    HRESULT receive(const SamplePtr&);
    void end_of_stream();
    void begin_flush();
    void end_flush();
    bool queue_full() const;
    void render_loop();

    InputPin* m_input = nullptr;
    StreamingThread m_thread;
    // Guarded by m_lock.
    SimCondition m_wake;  // the thread: a sample, a state change, a flush
    SimCondition m_space; // the upstream thread: room in the queue
    std::deque<Queued> m_queue;
    bool m_ending = false;
    bool m_flushing = false;
    bool m_end_received = false;
    bool m_presenting = false;
    // Paused after a stop or a flush, the first sample shows at once; paused while running, the
    // picture shown stays.
    bool m_still_wanted = false;
    REFERENCE_TIME m_last_stop = 0;
    std::atomic<DWORD> m_last_receive_tick = 0;
};

// A filter with one input and one output that turns each sample into zero or more samples on the
// upstream thread (a decoder). A failure of its own raises EC_ERRORABORT with the result, once,
// and refuses the stream until a flush or a stop.
class TransformFilter : public Filter {
public:
    TransformFilter(const CLSID& class_id, std::u16string default_name, std::u16string input_name = u"XForm In",
        std::u16string output_name = u"XForm Out");

    InputPin& input() const { return *m_input; }
    OutputPin& output() const { return *m_output; }

protected:
    virtual HRESULT check_input_type(const MediaType&) = 0;
    // What the output offers for the connected input's type, best first.
    virtual std::vector<MediaType> output_types() = 0;
    virtual HRESULT on_input_connected(const MediaType&) { return S_OK; }
    virtual void on_input_disconnected() { }

    // On the upstream thread: turns one sample into what it gives, handed on by deliver(). Its own
    // failure is answered as is; a refusal downstream comes back from deliver().
    virtual HRESULT transform(const SamplePtr&) = 0;
    // At the end of the stream, before it is passed on: hand on what is held.
    virtual HRESULT drain() { return S_OK; }
    // Forget what is held: after a seek's flush, and when streaming starts from a stop.
    virtual void reset() { }

    HRESULT deliver(const SamplePtr& sample) { return m_output->deliver(sample); }

private:
    class TransformInput;
    class TransformOutput;

    void on_pause(FILTER_STATE from) final;
    HRESULT receive(const SamplePtr&);
    void fail(HRESULT);

    InputPin* m_input = nullptr;
    OutputPin* m_output = nullptr;
    std::atomic<bool> m_flushing = false;
    std::atomic<bool> m_failed = false;
};

} // namespace kivo
