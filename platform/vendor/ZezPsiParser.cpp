#include "ZezPsiParser.h"

#include "KernelApi.h"

#include <mutex>

namespace kivo {

namespace {

// How many samples may wait for the parser's thread before the upstream thread waits.
constexpr size_t queue_limit = 256;

// A sample of whole packets, each beginning with the sync byte; anything else is sections.
bool holds_packets(const std::vector<uint8_t>& data)
{
    if (data.empty() || data.size() % ts_packet_size != 0)
        return false;
    for (size_t at = 0; at < data.size(); at += ts_packet_size) {
        if (data[at] != ts_sync_byte)
            return false;
    }
    return true;
}

} // namespace

class ZezPsiParser::ParserInput final : public InputPin {
public:
    explicit ParserInput(ZezPsiParser& owner)
        : InputPin(owner, u"Input")
        , m_parser(owner)
    {
    }
    // Sections or packets of any PIDs: whatever the demultiplexer's pin carries.
    HRESULT check_type(const MediaType&) override { return S_OK; }
    HRESULT receive(const SamplePtr& sample) override { return m_parser.receive(sample); }
    void end_of_stream() override { }
    void begin_flush() override
    {
        std::lock_guard guard(m_parser.m_lock);
        m_parser.m_queue.clear();
        m_parser.m_drop_half_sections = true;
        m_parser.m_space.notify_all();
        m_parser.m_wake.notify_all();
    }
    void end_flush() override { }

private:
    ZezPsiParser& m_parser;
};

// Hands the decoder's records to the program's callback and its complaints to the debug output,
// on the parser's thread.
class ZezPsiParser::Sink final : public PsiSink {
public:
    explicit Sink(ZezPsiParser& owner)
        : m_parser(owner)
    {
    }
    void record(DWORD code, void* record) override
    {
        ReceiveCallback callback = nullptr;
        void* context = nullptr;
        {
            std::lock_guard guard(m_parser.m_lock);
            callback = m_parser.m_callback;
            context = m_parser.m_context;
        }
        if (callback)
            callback(code, record, context);
    }
    void dropped(const std::string& why) override
    {
        std::u16string line(why.begin(), why.end());
        line += u"\r\n";
        OutputDebugString(line.c_str());
    }

private:
    ZezPsiParser& m_parser;
};

ZezPsiParser::ZezPsiParser()
    : Filter(CLSID_Zez_PsiParser3, u"ZEZ PSI Parser3")
    , m_sink(std::make_unique<Sink>(*this))
    , m_decoder(std::make_unique<PsiDecoder>(*m_sink))
    , m_assembler(std::make_unique<SectionAssembler>(*m_decoder, *m_sink))
{
    auto input = std::make_unique<ParserInput>(*this);
    m_input = input.get();
    add_pin(std::move(input));
}

ZezPsiParser::~ZezPsiParser()
{
    if (state() != State_Stopped)
        Stop();
}

void* ZezPsiParser::find_interface(REFIID iid)
{
    if (iid == IID_IReceiveCallback)
        return static_cast<IReceiveCallback*>(this);
    if (iid == IID_IPsiParserControl)
        return static_cast<IPsiParserControl*>(this);
    return Filter::find_interface(iid);
}

HRESULT ZezPsiParser::SetReceiveCallback(ReceiveCallback callback, void* context)
{
    return m_control.call(Operation::SetReceiveCallback, [&] {
        std::lock_guard guard(m_lock);
        m_callback = callback;
        m_context = context;
        return S_OK;
    });
}

HRESULT ZezPsiParser::GetReceiveCallback(ReceiveCallback* callback, void** context)
{
    return m_control.call(Operation::GetReceiveCallback, [&] {
        if (!callback || !context)
            return E_POINTER;
        std::lock_guard guard(m_lock);
        *callback = m_callback;
        *context = m_context;
        return S_OK;
    });
}

HRESULT ZezPsiParser::ClearTables(BYTE selector)
{
    return m_control.call(Operation::ClearTables, [&] {
        if (selector != 0 && selector != 255)
            return E_INVALIDARG;
        std::lock_guard guard(m_lock);
        // The thread applies it before its next sample: the decoder is its alone.
        m_forget_versions = true;
        if (selector == 255) {
            m_forget_all = true;
            m_queue.clear();
            m_space.notify_all();
        }
        m_wake.notify_all();
        return S_OK;
    });
}

HRESULT ZezPsiParser::inject(std::vector<uint8_t> bytes)
{
    auto sample = std::make_shared<MediaSample>();
    sample->data = std::move(bytes);
    return receive(sample);
}

HRESULT ZezPsiParser::receive(const SamplePtr& sample)
{
    std::unique_lock held(m_lock);
    while (!m_ending && state() != State_Stopped && m_queue.size() >= queue_limit)
        m_space.wait(held);
    if (m_ending || state() == State_Stopped)
        return VFW_E_WRONG_STATE;
    m_queue.push_back(sample);
    m_wake.notify_all();
    return S_OK;
}

void ZezPsiParser::on_pause(FILTER_STATE from)
{
    if (from != State_Stopped)
        return;
    {
        std::lock_guard guard(m_lock);
        m_ending = false;
        m_queue.clear();
    }
    m_thread.start([this] { parse_loop(); });
}

void ZezPsiParser::on_stop()
{
    {
        std::lock_guard guard(m_lock);
        m_ending = true;
        m_queue.clear();
        m_wake.notify_all();
        m_space.notify_all();
    }
    m_thread.join();
    // A new run starts from packet boundaries the old stream knew nothing of.
    m_assembler->reset();
}

void ZezPsiParser::parse_loop()
{
    std::unique_lock held(m_lock);
    while (!m_ending) {
        const bool forget_all = std::exchange(m_forget_all, false);
        const bool forget_versions = std::exchange(m_forget_versions, false);
        const bool drop_half_sections = std::exchange(m_drop_half_sections, false);
        if (forget_all || forget_versions || drop_half_sections) {
            held.unlock();
            if (forget_all)
                m_decoder->forget_all();
            else if (forget_versions)
                m_decoder->forget_versions();
            if (forget_all || drop_half_sections)
                m_assembler->reset();
            held.lock();
            continue;
        }
        if (m_queue.empty()) {
            m_wake.wait(held);
            continue;
        }
        SamplePtr sample = std::move(m_queue.front());
        m_queue.pop_front();
        m_space.notify_all();
        held.unlock();
        parse(*sample);
        held.lock();
    }
}

void ZezPsiParser::parse(const MediaSample& sample)
{
    if (sample.discontinuity)
        m_assembler->reset();
    if (holds_packets(sample.data))
        m_assembler->packets(sample.data.data(), sample.data.size());
    else
        m_decoder->sections(sample.data.data(), sample.data.size());
}

} // namespace kivo
