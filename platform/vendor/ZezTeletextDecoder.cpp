#include "ZezTeletextDecoder.h"

#include "KernelApi.h"

#include <mutex>

namespace kivo {

namespace {

// Enough for a few seconds of teletext: the demultiplexer's thread waits beyond that.
constexpr size_t most_queued = 256;

// The demultiplexer's pin decides the type of the teletext it hands on; decoded pictures and
// sound are all this filter refuses.
HRESULT check_stream_type(const MediaType& type)
{
    return type.subtype == MEDIASUBTYPE_I420 || type.subtype == MEDIASUBTYPE_PCM ? S_FALSE : S_OK;
}

} // namespace

class ZezTeletextDecoder::Input final : public InputPin {
public:
    explicit Input(ZezTeletextDecoder& owner)
        : InputPin(owner, u"In")
        , m_owner(owner)
    {
    }

    HRESULT check_type(const MediaType& type) override { return check_stream_type(type); }
    HRESULT receive(const SamplePtr& sample) override { return m_owner.receive(sample); }
    void end_of_stream() override { m_owner.end_of_stream(); }
    void begin_flush() override { m_owner.begin_flush(); }
    void end_flush() override { m_owner.end_flush(); }

private:
    ZezTeletextDecoder& m_owner;
};

// "Out" carries what came in, so it offers the input's type once that is connected.
class ZezTeletextDecoder::Output final : public OutputPin {
public:
    explicit Output(ZezTeletextDecoder& owner)
        : OutputPin(owner, u"Out")
        , m_owner(owner)
    {
    }

    HRESULT check_type(const MediaType& type) override
    {
        if (!m_owner.input().connected())
            return VFW_E_NOT_CONNECTED;
        return type == m_owner.input().type() ? S_OK : S_FALSE;
    }
    std::vector<MediaType> proposed_types() override
    {
        if (!m_owner.input().connected())
            return {};
        return { m_owner.input().type() };
    }

private:
    ZezTeletextDecoder& m_owner;
};

ZezTeletextDecoder::ZezTeletextDecoder()
    : Filter(CLSID_TeletextDecoder, u"Zez RaruTeletext")
    , m_control(device())
    , m_decoder([this](const TeletextPesDecoder::Packet& packet) { deliver(packet); },
          [](const std::u16string& reason) { OutputDebugString((reason + u"\r\n").c_str()); })
{
    auto input = std::make_unique<Input>(*this);
    auto output = std::make_unique<Output>(*this);
    m_input = input.get();
    m_output = output.get();
    add_pin(std::move(input));
    add_pin(std::move(output));
}

ZezTeletextDecoder::~ZezTeletextDecoder()
{
    // A graph stops its filters before it lets them go; one released while running ends its
    // thread first.
    if (state() != State_Stopped)
        Stop();
}

void* ZezTeletextDecoder::find_interface(REFIID iid)
{
    if (iid == IID_IReceiveCallback)
        return static_cast<IReceiveCallback*>(this);
    return Filter::find_interface(iid);
}

HRESULT ZezTeletextDecoder::SetReceiveCallback(ReceiveCallback callback, void* context)
{
    return m_control.call({ Operation::SetReceiveCallback, reinterpret_cast<uintptr_t>(callback), reinterpret_cast<uintptr_t>(context), {} }, [&] {
        std::lock_guard guard(m_lock);
        m_callback = callback;
        m_context = context;
        return S_OK;
    });
}

HRESULT ZezTeletextDecoder::GetReceiveCallback(ReceiveCallback* callback, void** context)
{
    return m_control.call({ Operation::GetReceiveCallback, reinterpret_cast<uintptr_t>(callback), reinterpret_cast<uintptr_t>(context), {} }, [&] {
        if (!callback || !context)
            return E_POINTER;
        std::lock_guard guard(m_lock);
        *callback = m_callback;
        *context = m_context;
        return S_OK;
    });
}

HRESULT ZezTeletextDecoder::inject(const SamplePtr& sample) { return receive(sample); }

// The stream.

void ZezTeletextDecoder::on_pause(FILTER_STATE from)
{
    if (from != State_Stopped)
        return;
    {
        std::lock_guard guard(m_lock);
        m_ending = false;
        m_flushing = false;
        m_reset_wanted = false;
        m_queue.clear();
    }
    m_thread.start([this] { decode_loop(); });
}

void ZezTeletextDecoder::on_stop()
{
    {
        std::lock_guard guard(m_lock);
        m_ending = true;
        m_queue.clear();
        m_wake.notify_all();
        m_space.notify_all();
    }
    m_thread.join();
    m_decoder.reset();
}

HRESULT ZezTeletextDecoder::receive(const SamplePtr& sample)
{
    std::unique_lock held(m_lock);
    if (state() == State_Stopped || m_ending)
        return VFW_E_WRONG_STATE;
    while (m_queue.size() >= most_queued && !m_flushing && !m_ending)
        m_space.wait(held);
    if (m_ending)
        return VFW_E_WRONG_STATE;
    if (m_flushing)
        return S_FALSE;
    m_queue.push_back({ sample });
    m_wake.notify_all();
    return S_OK;
}

void ZezTeletextDecoder::end_of_stream()
{
    std::lock_guard guard(m_lock);
    if (m_ending || m_flushing)
        return;
    m_queue.push_back({});
    m_wake.notify_all();
}

void ZezTeletextDecoder::begin_flush()
{
    {
        std::lock_guard guard(m_lock);
        m_flushing = true;
        m_reset_wanted = true;
        m_queue.clear();
        m_space.notify_all();
    }
    // Downstream first lets go of a sample the thread may be handing on.
    m_output->deliver_begin_flush();
}

void ZezTeletextDecoder::end_flush()
{
    {
        std::unique_lock held(m_lock);
        while (m_decoding && !m_ending)
            m_space.wait(held);
        m_flushing = false;
    }
    m_output->deliver_end_flush();
}

void ZezTeletextDecoder::decode_loop()
{
    std::unique_lock held(m_lock);
    while (!m_ending) {
        if (m_queue.empty() || m_flushing) {
            m_wake.wait(held);
            continue;
        }
        Queued item = std::move(m_queue.front());
        m_queue.pop_front();
        m_space.notify_all();
        const bool reset = std::exchange(m_reset_wanted, false);
        m_decoding = true;
        held.unlock();
        if (reset)
            m_decoder.reset();
        if (item.sample) {
            m_decoder.push(item.sample->data, item.sample->discontinuity);
            // Downstream is a sink; whether it takes the sample changes nothing here.
            m_output->deliver(item.sample);
        } else {
            m_output->deliver_end_of_stream();
        }
        held.lock();
        m_decoding = false;
        m_space.notify_all();
    }
}

void ZezTeletextDecoder::deliver(const TeletextPesDecoder::Packet& packet)
{
    ReceiveCallback callback = nullptr;
    void* context = nullptr;
    {
        std::lock_guard guard(m_lock);
        callback = m_callback;
        context = m_context;
    }
    if (!callback)
        return;
    std::visit([&](const auto& record) { callback(record.packet, const_cast<void*>(static_cast<const void*>(&record)), context); }, packet);
}

} // namespace kivo
