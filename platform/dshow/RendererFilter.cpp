#include "RendererFilter.h"

#include "KernelApi.h"

#include <mutex>

namespace kivo {

// The renderer's input hands everything to the renderer itself.
class RendererFilter::RendererInput final : public InputPin {
public:
    RendererInput(RendererFilter& owner, std::u16string name)
        : InputPin(owner, std::move(name))
        , m_owner(owner)
    {
    }

    HRESULT check_type(const MediaType& type) override { return m_owner.check_input_type(type); }
    HRESULT complete_connect() override { return m_owner.on_input_connected(type()); }
    void break_connect() override { m_owner.on_input_disconnected(); }

    HRESULT receive(const SamplePtr& sample) override { return m_owner.receive(sample); }
    void end_of_stream() override { m_owner.end_of_stream(); }
    void begin_flush() override { m_owner.begin_flush(); }
    void end_flush() override { m_owner.end_flush(); }

private:
    RendererFilter& m_owner;
};

RendererFilter::RendererFilter(const CLSID& class_id, std::u16string default_name, std::u16string pin_name)
    : Filter(class_id, std::move(default_name))
{
    auto input = std::make_unique<RendererInput>(*this, std::move(pin_name));
    m_input = input.get();
    add_pin(std::move(input));
}

RendererFilter::~RendererFilter()
{
    // A graph stops its filters before it lets them go; a renderer released while streaming
    // (outside a graph) still ends its thread first.
    if (m_thread.started()) {
        std::unique_lock held(m_lock);
        m_ending = true;
        m_wake.notify_all();
        m_space.notify_all();
        held.unlock();
        m_thread.join();
    }
}

void RendererFilter::on_pause(FILTER_STATE from)
{
    if (from == State_Stopped) {
        {
            std::lock_guard guard(m_lock);
            m_ending = false;
            m_end_received = false;
            m_still_wanted = true;
            m_queue.clear();
        }
        m_thread.start([this] { render_loop(); });
    } else {
        std::lock_guard guard(m_lock);
        m_wake.notify_all();
    }
    on_renderer_paused();
}

void RendererFilter::on_run(REFERENCE_TIME)
{
    {
        std::lock_guard guard(m_lock);
        m_wake.notify_all();
    }
    on_renderer_running();
}

void RendererFilter::on_stop()
{
    {
        std::lock_guard guard(m_lock);
        m_ending = true;
        m_queue.clear();
        m_wake.notify_all();
        m_space.notify_all();
    }
    m_thread.join();
    {
        std::lock_guard guard(m_lock);
        m_flushing = false;
        m_end_received = false;
    }
    on_renderer_stopped();
}

void RendererFilter::on_clock_changed()
{
    std::lock_guard guard(m_lock);
    m_wake.notify_all();
}

bool RendererFilter::queue_full() const
{
    constexpr size_t most_queued = 256;
    if (m_queue.size() >= most_queued)
        return true;
    const Queued& first = m_queue.front();
    const Queued& last = m_queue.back();
    if (!first.sample || !last.sample || !first.sample->has_time || !last.sample->has_time)
        return false;
    return last.sample->start - first.sample->start >= queue_span();
}

HRESULT RendererFilter::receive(const SamplePtr& sample)
{
    DWORD tick = GetTickCount();
    std::unique_lock held(m_lock);
    if (state() == State_Stopped || m_ending)
        return VFW_E_WRONG_STATE;
    if (m_flushing || m_end_received)
        return S_FALSE;
    m_last_receive_tick.store(tick, std::memory_order_release);
    if (sample->preroll)
        return S_OK;
    while (!m_queue.empty() && queue_full() && !m_flushing && !m_ending)
        m_space.wait(held);
    if (m_ending)
        return VFW_E_WRONG_STATE;
    if (m_flushing)
        return S_FALSE;
    m_queue.push_back({ sample });
    m_wake.notify_all();
    return S_OK;
}

void RendererFilter::end_of_stream()
{
    std::lock_guard guard(m_lock);
    if (m_ending || m_flushing || m_end_received)
        return;
    m_end_received = true;
    m_queue.push_back({});
    m_wake.notify_all();
}

void RendererFilter::begin_flush()
{
    std::lock_guard guard(m_lock);
    m_flushing = true;
    m_queue.clear();
    m_wake.notify_all();
    m_space.notify_all();
}

void RendererFilter::end_flush()
{
    {
        std::unique_lock held(m_lock);
        // What the thread is presenting was taken before the flush: let it finish.
        while (m_presenting && !m_ending)
            m_space.wait(held);
        m_flushing = false;
        m_end_received = false;
        m_still_wanted = true;
        m_last_stop = 0;
    }
    on_renderer_flushed();
}

void RendererFilter::render_loop()
{
    std::unique_lock held(m_lock);
    while (!m_ending) {
        if (m_queue.empty() || m_flushing) {
            m_wake.wait(held);
            continue;
        }
        Queued& head = m_queue.front();
        if (state() != State_Running) {
            if (head.sample && m_still_wanted && shows_still_when_paused() && state() == State_Paused) {
                head.shown = true;
                m_still_wanted = false;
                SamplePtr still = head.sample;
                m_presenting = true;
                held.unlock();
                present(*still);
                held.lock();
                m_presenting = false;
                m_space.notify_all();
                continue;
            }
            m_wake.wait(held);
            continue;
        }

        // Running: wait for the head's time on the clock.
        std::optional<REFERENCE_TIME> due;
        if (!head.sample)
            due = m_last_stop;
        else if (head.sample->has_time)
            due = head.sample->start - lead_time(*head.sample);
        if (due) {
            held.unlock();
            std::optional<REFERENCE_TIME> now = clock_now();
            held.lock();
            // Unlocked, the queue may have been flushed or cleared and the head with it.
            if (m_ending || m_flushing || m_queue.empty())
                continue;
            REFERENCE_TIME at = start_time() + *due;
            if (now && *now < at) {
                m_wake.wait(held, device_ms_of(at));
                continue; // the queue, the state or the clock may have changed
            }
        }

        Queued item = std::move(m_queue.front());
        m_queue.pop_front();
        m_space.notify_all();
        if (!item.sample) {
            held.unlock();
            notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
            held.lock();
            continue;
        }
        if (item.sample->has_time)
            m_last_stop = std::max(m_last_stop, item.sample->stop);
        if (item.shown)
            continue;
        m_still_wanted = false;
        m_presenting = true;
        held.unlock();
        present(*item.sample);
        held.lock();
        m_presenting = false;
        m_space.notify_all();
    }
}

// Transform filters.

class TransformFilter::TransformInput final : public InputPin {
public:
    TransformInput(TransformFilter& owner, std::u16string name)
        : InputPin(owner, std::move(name))
        , m_owner(owner)
    {
    }

    HRESULT check_type(const MediaType& type) override { return m_owner.check_input_type(type); }
    HRESULT complete_connect() override { return m_owner.on_input_connected(type()); }
    void break_connect() override { m_owner.on_input_disconnected(); }

    HRESULT receive(const SamplePtr& sample) override { return m_owner.receive(sample); }
    void end_of_stream() override
    {
        if (m_owner.m_flushing || m_owner.m_failed)
            return;
        m_owner.drain();
        m_owner.output().deliver_end_of_stream();
    }
    void begin_flush() override
    {
        m_owner.m_flushing = true;
        m_owner.output().deliver_begin_flush();
    }
    void end_flush() override
    {
        // The upstream thread has stopped by now, so the transform's state is free to reset.
        m_owner.reset();
        m_owner.m_failed = false;
        m_owner.m_flushing = false;
        m_owner.output().deliver_end_flush();
    }
    void new_segment(REFERENCE_TIME start) override { m_owner.output().deliver_new_segment(start); }

private:
    TransformFilter& m_owner;
};

class TransformFilter::TransformOutput final : public OutputPin {
public:
    TransformOutput(TransformFilter& owner, std::u16string name)
        : OutputPin(owner, std::move(name))
        , m_owner(owner)
    {
    }

    // The output can only be connected once the input knows what comes in.
    HRESULT check_type(const MediaType& type) override
    {
        if (!m_owner.input().connected())
            return VFW_E_NOT_CONNECTED;
        for (const MediaType& offered : m_owner.output_types()) {
            if (offered == type)
                return S_OK;
        }
        return S_FALSE;
    }
    std::vector<MediaType> proposed_types() override
    {
        return m_owner.input().connected() ? m_owner.output_types() : std::vector<MediaType> {};
    }

private:
    TransformFilter& m_owner;
};

TransformFilter::TransformFilter(const CLSID& class_id, std::u16string default_name, std::u16string input_name, std::u16string output_name)
    : Filter(class_id, std::move(default_name))
{
    auto input = std::make_unique<TransformInput>(*this, std::move(input_name));
    auto output = std::make_unique<TransformOutput>(*this, std::move(output_name));
    m_input = input.get();
    m_output = output.get();
    add_pin(std::move(input));
    add_pin(std::move(output));
}

void TransformFilter::on_pause(FILTER_STATE from)
{
    if (from == State_Stopped) {
        // No upstream thread runs yet: the graph pauses a filter before those upstream of it.
        reset();
        m_failed = false;
        m_flushing = false;
    }
}

HRESULT TransformFilter::receive(const SamplePtr& sample)
{
    if (state() == State_Stopped)
        return VFW_E_WRONG_STATE;
    if (m_flushing)
        return S_FALSE;
    if (m_failed)
        return E_FAIL;
    HRESULT result = transform(sample);
    if (FAILED(result) && result != VFW_E_WRONG_STATE && result != VFW_E_NOT_CONNECTED && !m_flushing)
        fail(result);
    return result;
}

void TransformFilter::fail(HRESULT result)
{
    if (m_failed.exchange(true))
        return;
    notify(EC_ERRORABORT, result, 0);
}

} // namespace kivo
