#include "ManagerState.h"

#include "Device.h"
#include "ManagerCodes.h"
#include "Process.h"
#include "SimThread.h"
#include "SimulatedPhones.h"
#include "WideText.h"
#include "ZolRecord.h"

#include <cstdlib>
#include <cstring>

namespace kivo {

namespace {

// Hears the phones for one process's manager; the state may be gone by the time an event comes.
class Hearing final : public PhoneObserver {
public:
    explicit Hearing(std::weak_ptr<ManagerState> state)
        : m_state(std::move(state))
    {
    }
    void connection_changed(const ConnectionChange& change) override
    {
        if (auto state = m_state.lock())
            state->heard(change);
    }
    void call_changed(const CallReport& report) override
    {
        if (auto state = m_state.lock())
            state->heard(report);
    }
    void sms_received(const SmsReport& report) override
    {
        if (auto state = m_state.lock())
            state->heard(report);
    }

private:
    std::weak_ptr<ManagerState> m_state;
};

int connection_status(ConnectionStatus status)
{
    switch (status) {
    case ConnectionStatus::Connected:
        return MANAGER_OK;
    case ConnectionStatus::OutOfRange:
        return MANAGER_NOT_CONNECTED;
    case ConnectionStatus::RadioOff:
        return ZOL_RADIO_OFF;
    case ConnectionStatus::Disconnected:
        break;
    }
    return ZOL_LINK_DROPPED;
}

} // namespace

PhonebookEntry call_party(const std::u16string& number, const std::u16string& name)
{
    PhonebookEntry party {};
    if (!name.empty()) {
        party.fields[party.fieldCount].type = PHONEBOOK_FIELD_OTHER_NAME;
        WriteRecordText(party.fields[party.fieldCount++].text, name);
    }
    if (!number.empty()) {
        party.fields[party.fieldCount].type = 1; // a telephone number
        WriteRecordText(party.fields[party.fieldCount++].text, number);
    }
    return party;
}

SmsRecord sms_record(const PhoneSms& message)
{
    SmsRecord record {};
    WriteRecordText(record.number, message.number);
    WriteRecordText(record.date, to_utf16(time_text(message.time)));
    WriteRecordText(record.text, message.text);
    record.location = message.location;
    record.received = message.received ? 1 : 0;
    record.store = message.received ? 1 : 2; // inbox or sent
    return record;
}

ManagerState::ManagerState(Device& device, Process& process, HMODULE module)
    : m_device(device)
    , m_process(process)
    , m_process_id(process.id())
    , m_module(module)
{
}

ManagerState::~ManagerState() = default;

SimulatedPhones& ManagerState::phones() const
{
    return m_device.component<SimulatedPhones>();
}

ZolRecord& ManagerState::record() const
{
    return m_device.component<ZolRecord>();
}

bool ManagerState::start()
{
    std::weak_ptr<ManagerState> weak = weak_from_this();
    m_thread = m_device.create_thread(m_process, [weak] {
        auto state = weak.lock();
        return state ? state->run() : DWORD { 0 };
    });
    if (!m_thread)
        return false;
    m_observer = std::make_shared<Hearing>(weak);
    phones().subscribe(m_observer);
    return true;
}

void ManagerState::stop()
{
    phones().unsubscribe(m_observer.get());
    {
        std::lock_guard guard(m_mutex);
        m_stopping = true;
        m_jobs.clear();
        m_wake.notify_all();
    }
    SimThread& self = *SimThread::current();
    if (m_thread && m_thread.get() != &self && m_thread->state() != SimThread::State::Finished) {
        auto& scheduler = m_device.scheduler();
        auto guard = scheduler.lock();
        scheduler.wait_regardless(guard, self, *m_thread);
    }
    for (const void* buffer : record().drop_buffers(m_process_id))
        std::free(const_cast<void*>(buffer));
}

DWORD ManagerState::run()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock guard(m_mutex);
            for (;;) {
                if (m_stopping)
                    return 0;
                uint64_t now = m_device.clock().now_ms();
                if (!m_jobs.empty() && m_jobs.begin()->first <= now) {
                    job = std::move(m_jobs.begin()->second);
                    m_jobs.erase(m_jobs.begin());
                    break;
                }
                std::optional<uint64_t> deadline;
                if (!m_jobs.empty())
                    deadline = m_jobs.begin()->first;
                if (m_wake.wait(guard, deadline) == SimCondition::Wake::Failed)
                    return 0;
            }
        }
        job();
    }
}

void ManagerState::post(const char* callback, std::function<void()> call, uint64_t extra_delay_ms)
{
    auto knob = record().callback_knob(callback);
    uint64_t due = m_device.clock().now_ms() + extra_delay_ms + knob.delay_ms;
    std::string name = callback;
    auto job = [this, name, call = std::move(call)] {
        // Withheld when it would be made, so a knob set after the event still holds it back.
        if (record().callback_knob(name).withheld) {
            record().record_callback(name, "", std::nullopt);
            return;
        }
        call();
    };
    std::lock_guard guard(m_mutex);
    if (m_stopping)
        return;
    m_jobs.emplace(due, std::move(job));
    m_wake.notify_one();
}

void ManagerState::set_start_callback(ZolStartFn start)
{
    if (!start)
        return;
    // The program learns on the manager's thread that the manager runs.
    post("ZolStartFn", [this, start] { record().record_callback("ZolStartFn", "", start()); });
}

void ManagerState::set_connect_callback(ConnectStatusFn callback)
{
    std::lock_guard guard(m_mutex);
    m_connect = callback;
}

void ManagerState::set_frame_callbacks(CallStatusFn call, IncomingSmsFn sms)
{
    std::lock_guard guard(m_mutex);
    m_call = call;
    m_sms = sms;
}

void ManagerState::set_hands_free(bool on)
{
    std::lock_guard guard(m_mutex);
    m_hands_free = on;
}

bool ManagerState::hands_free() const
{
    std::lock_guard guard(m_mutex);
    return m_hands_free;
}

void ManagerState::start_inquiry(InquiryFn callback)
{
    auto found = phones().phones_in_range();
    uint64_t search;
    {
        std::lock_guard guard(m_mutex);
        search = ++m_inquiry;
    }
    auto still_searching = [this, search] {
        std::lock_guard guard(m_mutex);
        return m_inquiry == search;
    };
    for (size_t i = 0; i < found.size(); ++i) {
        DeviceRecord device {};
        device.addressLow = static_cast<uint32_t>(found[i].address & 0xFFFF'FFFF);
        device.addressHigh = static_cast<uint32_t>(found[i].address >> 32);
        WriteRecordText(device.name, found[i].name);
        std::string arguments = address_text(found[i].address) + ", " + to_utf8(found[i].name) + ", 0";
        post(
            "InquiryFn", [this, callback, device, arguments, still_searching] {
                if (still_searching())
                    record().record_callback("InquiryFn", arguments, callback(device, 0, 0));
            },
            (i + 1) * ZOL_INQUIRY_STEP_MS);
    }
    post(
        "InquiryFn", [this, callback, still_searching] {
            if (still_searching())
                record().record_callback("InquiryFn", "finished", callback(DeviceRecord {}, 0, 1));
        },
        (found.size() + 1) * ZOL_INQUIRY_STEP_MS);
}

void ManagerState::stop_inquiry()
{
    std::lock_guard guard(m_mutex);
    ++m_inquiry;
}

void ManagerState::heard(const ConnectionChange& change)
{
    int status = connection_status(change.status);
    post("ConnectStatusFn", [this, status] {
        ConnectStatusFn callback;
        {
            std::lock_guard guard(m_mutex);
            callback = m_connect;
        }
        if (callback)
            record().record_callback("ConnectStatusFn", std::to_string(status), callback(status));
    });
}

void ManagerState::heard(const CallReport& report)
{
    int state = static_cast<int>(report.state);
    std::string arguments = to_utf8(report.number) + ", " + to_utf8(report.name) + ", " + std::to_string(state);
    post("CallStatusFn", [this, report, state, arguments] {
        CallStatusFn callback;
        {
            std::lock_guard guard(m_mutex);
            callback = m_call;
        }
        if (callback)
            record().record_callback("CallStatusFn", arguments, callback(call_party(report.number, report.name), state));
    });
}

void ManagerState::heard(const SmsReport& report)
{
    std::string arguments = to_utf8(report.message.number) + ", " + to_utf8(report.message.text);
    post("IncomingSmsFn", [this, message = report.message, arguments] {
        IncomingSmsFn callback;
        {
            std::lock_guard guard(m_mutex);
            callback = m_sms;
        }
        if (callback)
            record().record_callback("IncomingSmsFn", arguments, callback(sms_record(message)));
    });
}

} // namespace kivo
