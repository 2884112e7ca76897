// The exported entries of ZolManagerU.dll. Each entry is recorded with its arguments and result
// (ZolRecord), passes the failure knobs, then acts on the simulated phones through their device's
// side with the calling process's manager state.

#include "platform.h"

#include "Device.h"
#include "HostMutex.h"
#include "ManagerCodes.h"
#include "ManagerState.h"
#include "MobileSettings.h"
#include "Process.h"
#include "SimulatedPhones.h"
#include "WideText.h"
#include "ZolRecord.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

using namespace kivo;

namespace {

// The state of each process the library is attached to.
struct Managers {
    HostMutex lock { LockRank::ZolManagers };
    std::map<const Process*, std::shared_ptr<ManagerState>> states;
};

Managers& managers()
{
    static Managers instance;
    return instance;
}

std::shared_ptr<ManagerState> state_of_caller()
{
    auto& all = managers();
    std::lock_guard guard(all.lock);
    auto it = all.states.find(&Process::current());
    return it == all.states.end() ? nullptr : it->second;
}

ZolRecord& record()
{
    return Device::current().component<ZolRecord>();
}

// Runs an entry: recorded, then the knobs, then the body with the caller's state.
template<typename Body>
int run_entry(const char* name, std::string arguments, Body&& body)
{
    auto& calls = record();
    auto ticket = calls.begin_call(name, std::move(arguments));
    if (auto code = calls.before_entry(name)) {
        calls.end_call(ticket, *code, true);
        return *code;
    }
    auto state = state_of_caller();
    int result = state ? body(*state) : ZOL_NOT_ATTACHED;
    calls.end_call(ticket, result);
    return result;
}

int not_offered(const char* name)
{
    return run_entry(name, "", [name](ManagerState& state) {
        state.device().write_debug(u"zol: " + to_utf16(name) + u" is not supported\r\n");
        return ZOL_ENTRY_NOT_SUPPORTED;
    });
}

// A program's text, read no further than the limit: a longer one is refused as too long by the
// phones rather than read past its end.
std::u16string_view bounded_text(const WCHAR* text)
{
    size_t length = 0;
    while (length < 1024 && text[length])
        ++length;
    return { text, length };
}

// Arguments as the record shows them.
std::string text_argument(const WCHAR* text)
{
    return text ? to_utf8(bounded_text(text)) : "null";
}

std::string pointer_argument(const void* pointer, const char* what = "out")
{
    return pointer ? what : "null";
}

PhoneAddress address_of(int low, int high)
{
    return (static_cast<uint64_t>(static_cast<uint32_t>(high) & 0xFFFF) << 32) | static_cast<uint32_t>(low);
}

std::string address_argument(int low, int high)
{
    return address_text(address_of(low, high));
}

int code_of(PhoneError error)
{
    switch (error) {
    case PhoneError::None:
        return MANAGER_OK;
    case PhoneError::RadioOff:
        return ZOL_RADIO_OFF;
    case PhoneError::UnknownPhone:
        return ZOL_UNKNOWN_PHONE;
    case PhoneError::PhoneExists:
    case PhoneError::BadValue:
        return ZOL_BAD_VALUE;
    case PhoneError::OutOfRange:
        return ZOL_OUT_OF_RANGE;
    case PhoneError::NotPaired:
        return ZOL_NOT_PAIRED;
    case PhoneError::WrongPin:
        return ZOL_WRONG_PIN;
    case PhoneError::NotConnected:
        return MANAGER_NOT_CONNECTED;
    case PhoneError::Busy:
        return ZOL_BUSY;
    case PhoneError::NoCall:
        return ZOL_NO_CALL;
    case PhoneError::NotSupported:
        return ZOL_NOT_SUPPORTED;
    case PhoneError::NoNumber:
        return ZOL_NOTHING_TO_REDIAL;
    }
    return ZOL_BAD_VALUE;
}

// The phone the device is linked to, when it offers the function.
int connected_phone(ManagerState& state, PhoneFunction function, PhoneData& out)
{
    auto address = state.phones().connected_phone();
    auto phone = address ? state.phones().phone(*address) : std::nullopt;
    if (!phone)
        return MANAGER_NOT_CONNECTED;
    if (!phone->offers(function))
        return ZOL_NOT_SUPPORTED;
    out = std::move(*phone);
    return MANAGER_OK;
}

bool still_connected(ManagerState& state, PhoneAddress address)
{
    return state.phones().connected_phone() == address;
}

// A buffer handed to the program, kept until ZOL_ReleaseMemory; none for nothing.
void* hand_out(const char* entry, const void* bytes, size_t size)
{
    if (!size)
        return nullptr;
    void* buffer = std::malloc(size);
    if (!buffer)
        return nullptr;
    std::memcpy(buffer, bytes, size);
    record().handed_out(entry, buffer, size);
    return buffer;
}

// A progress report; false when the program asks to stop.
bool report_progress(ManagerProgressFn progress, int kind, int done, int total)
{
    if (!progress)
        return true;
    int answer = progress(kind, done, total, 0, 0);
    record().record_callback("ManagerProgressFn",
        std::to_string(kind) + ", " + std::to_string(done) + ", " + std::to_string(total) + ", 0, 0", answer);
    return answer != 0;
}

void report_end(ManagerProgressFn progress, int kind, int done, int total, int result)
{
    if (!progress)
        return;
    int answer = progress(kind, done, total, result, 1);
    record().record_callback("ManagerProgressFn",
        std::to_string(kind) + ", " + std::to_string(done) + ", " + std::to_string(total) + ", " + std::to_string(result) + ", 1", answer);
}

PhoneDateTime date_time_of(const PhoneTime& time)
{
    return { 0, time.second, time.minute, time.hour, time.day, time.month, time.year };
}

void append_packed(std::vector<uint8_t>& run, int memory_type, std::string_view location, const std::vector<PhonebookField>& fields)
{
    PackedPhonebookEntry head {};
    head.fieldCount = static_cast<int32_t>(std::min<size_t>(fields.size(), PHONEBOOK_MAX_FIELDS));
    head.memoryType = memory_type;
    std::memcpy(head.location, location.data(), std::min(location.size(), sizeof(head.location) - 1));
    auto* bytes = reinterpret_cast<const uint8_t*>(&head);
    run.insert(run.end(), bytes, bytes + sizeof(head));
    for (int i = 0; i < head.fieldCount; ++i) {
        auto* field = reinterpret_cast<const uint8_t*>(&fields[i]);
        run.insert(run.end(), field, field + sizeof(PhonebookField));
    }
}

PhonebookField text_field(int type, std::u16string_view text)
{
    PhonebookField field {};
    field.type = type;
    WriteRecordText(field.text, text);
    return field;
}

std::vector<PhonebookField> contact_fields(const PhoneContact& contact)
{
    std::vector<PhonebookField> fields;
    for (auto& field : contact.fields)
        fields.push_back(text_field(field.type, field.text));
    return fields;
}

std::vector<PhonebookField> call_fields(const CallLogEntry& entry)
{
    std::vector<PhonebookField> fields;
    if (!entry.name.empty())
        fields.push_back(text_field(PHONEBOOK_FIELD_OTHER_NAME, entry.name));
    fields.push_back(text_field(1, entry.number));
    PhonebookField date {};
    date.type = PHONEBOOK_FIELD_DATETIME;
    PhoneDateTime when = date_time_of(entry.time);
    std::memcpy(reinterpret_cast<uint8_t*>(date.text) + PHONEBOOK_DATETIME_OFFSET, &when, sizeof(when));
    fields.push_back(date);
    return fields;
}

int memory_type_of(CallList list)
{
    switch (list) {
    case CallList::Dialled:
        return PHONEBOOK_MEMORY_DIALLED;
    case CallList::Received:
        return PHONEBOOK_MEMORY_RECEIVED;
    case CallList::Missed:
        break;
    }
    return PHONEBOOK_MEMORY_MISSED;
}

FileEntry file_entry(const PhoneFileItem& item)
{
    FileEntry entry {};
    std::u16string name = item.name();
    entry.length = item.folder ? 0 : static_cast<int32_t>(item.size);
    WriteRecordText(entry.name, name);
    entry.isFolder = item.folder ? 1 : 0;
    entry.level = static_cast<int32_t>(std::count(item.path.begin(), item.path.end(), u'/'));
    entry.fileType = item.folder ? 0 : 1;
    // The phone's identifier of the object is its full path: a listing asked for a delivered
    // folder finds it again by it.
    WriteRecordText(entry.id, item.path);
    entry.modified = date_time_of(item.modified);
    entry.noTime = item.modified.year == 0 ? 1 : 0;
    entry.size = item.folder ? -1 : static_cast<int32_t>(item.size);
    WriteRecordText(entry.fullName, name);
    return entry;
}

bool is_root(const FileEntry& folder)
{
    auto* bytes = reinterpret_cast<const uint8_t*>(&folder);
    return std::all_of(bytes, bytes + sizeof(folder), [](uint8_t byte) { return byte == 0; });
}

// Copies one phone file to a device path: into a file beside it, then put in place in one step.
// Answers MANAGER_OK, a failure code, or 0 when the program asked to stop.
int copy_file(ManagerState& state, PhoneAddress phone, const GetFileRequest& request, ManagerProgressFn progress)
{
    std::u16string source = ReadRecordText(request.file.id);
    std::u16string target = ReadRecordText(request.destination);
    if (target.empty())
        return ZOL_BAD_ARGUMENT;
    auto content = state.phones().file_content(phone, source);
    if (!content)
        return ZOL_NO_SUCH_FILE;
    std::u16string temporary = target + u".part";
    DeleteFile(temporary.c_str());
    HANDLE file = CreateFile(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return MANAGER_COPY_FAILED;
    int total = static_cast<int>(content->size());
    int result = MANAGER_OK;
    size_t done = 0;
    do {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(ZOL_COPY_CHUNK, content->size() - done));
        Sleep(std::max<DWORD>(1, chunk / 1024 * ZOL_COPY_MS_PER_KB));
        if (!still_connected(state, phone)) {
            result = MANAGER_NOT_CONNECTED;
            break;
        }
        DWORD written = 0;
        if (chunk && (!WriteFile(file, content->data() + done, chunk, &written, nullptr) || written != chunk)) {
            result = MANAGER_COPY_FAILED;
            break;
        }
        done += chunk;
        if (!report_progress(progress, ZOL_PROGRESS_FILE, static_cast<int>(done), total)) {
            result = 0;
            break;
        }
    } while (done < content->size());
    bool closed = CloseHandle(file);
    if (result == MANAGER_OK && !closed)
        result = MANAGER_COPY_FAILED;
    if (result == MANAGER_OK) {
        bool existed = GetFileAttributes(target.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!(existed ? DeleteAndRenameFile(target.c_str(), temporary.c_str()) : MoveFile(temporary.c_str(), target.c_str())))
            result = MANAGER_COPY_FAILED;
    }
    if (result != MANAGER_OK)
        DeleteFile(temporary.c_str());
    return result;
}

// The default phone, kept in the registry.
constexpr const WCHAR* settings_key = u"Software\\ZOLSOFT\\ZolManager";
constexpr const WCHAR* default_phone_value = u"DefaultPhone";

std::optional<PhoneAddress> default_phone()
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, settings_key, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    WCHAR text[16] = {};
    DWORD size = sizeof(text) - sizeof(WCHAR);
    DWORD type = 0;
    LONG read = RegQueryValueEx(key, default_phone_value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    return parse_address(to_utf8(ReadRecordText(text)));
}

bool set_default_phone(std::optional<PhoneAddress> address)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, settings_key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return false;
    LONG done;
    if (address) {
        std::u16string text = to_utf16(address_text(*address));
        done = RegSetValueEx(key, default_phone_value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
            static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
    } else {
        done = RegDeleteValue(key, default_phone_value);
        if (done == ERROR_FILE_NOT_FOUND)
            done = ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return done == ERROR_SUCCESS;
}

std::u16string settings_file(ManagerState& state)
{
    WCHAR path[MAX_PATH] = {};
    GetModuleFileName(state.module(), path, MAX_PATH);
    std::u16string library(path);
    return library.substr(0, library.find_last_of(u'\\') + 1) + u"mobile_setting.ini";
}

} // namespace

extern "C" {

BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    auto& all = managers();
    Process& process = Process::current();
    if (reason == DLL_PROCESS_ATTACH) {
        auto state = std::make_shared<ManagerState>(Device::current(), process, instance);
        if (!state->start())
            return FALSE;
        std::lock_guard guard(all.lock);
        all.states[&process] = std::move(state);
        return TRUE;
    }
    if (reason == DLL_PROCESS_DETACH) {
        std::shared_ptr<ManagerState> state;
        {
            std::lock_guard guard(all.lock);
            if (auto it = all.states.find(&process); it != all.states.end()) {
                state = std::move(it->second);
                all.states.erase(it);
            }
        }
        if (state)
            state->stop();
    }
    return TRUE;
}

int ZOL_ManagerInitial(ZolStartFn start)
{
    return run_entry("ZOL_ManagerInitial", pointer_argument(reinterpret_cast<void*>(start), "callback"), [&](ManagerState& state) {
        state.set_start_callback(start);
        return MANAGER_OK;
    });
}

int ZOL_ManagerClose()
{
    return run_entry("ZOL_ManagerClose", "", [](ManagerState& state) {
        state.set_connect_callback(nullptr);
        state.set_frame_callbacks(nullptr, nullptr);
        state.stop_inquiry();
        return MANAGER_OK;
    });
}

int ZOL_GPRSConnection()
{
    return run_entry("ZOL_GPRSConnection", "", [](ManagerState& state) {
        if (!state.phones().connected_phone())
            return MANAGER_NOT_CONNECTED;
        Sleep(ZOL_DIAL_UP_MS);
        return code_of(state.phones().open_dial_up());
    });
}

int ZOL_GPRSDisconnection()
{
    return run_entry("ZOL_GPRSDisconnection", "", [](ManagerState& state) {
        return state.phones().close_dial_up() == PhoneError::None ? MANAGER_OK : ZOL_NO_DIAL_UP;
    });
}

int ZOL_DeviceInitial()
{
    // Bringing the stack up switches the radio on, as the device's Bluetooth card does at start.
    return run_entry("ZOL_DeviceInitial", "", [](ManagerState& state) {
        state.phones().set_radio_power(true);
        return MANAGER_OK;
    });
}

int ZOL_DeviceClose()
{
    return run_entry("ZOL_DeviceClose", "", [](ManagerState& state) {
        state.stop_inquiry();
        state.phones().disconnect();
        return MANAGER_OK;
    });
}

int ZOL_DeviceInquiry(InquiryFn callback)
{
    return run_entry("ZOL_DeviceInquiry", pointer_argument(reinterpret_cast<void*>(callback), "callback"), [&](ManagerState& state) {
        if (!callback)
            return ZOL_BAD_ARGUMENT;
        if (!state.phones().radio_power())
            return ZOL_RADIO_OFF;
        state.start_inquiry(callback);
        return MANAGER_OK;
    });
}

int ZOL_DeviceInquiryStop()
{
    return run_entry("ZOL_DeviceInquiryStop", "", [](ManagerState& state) {
        state.stop_inquiry();
        return MANAGER_OK;
    });
}

int ZOL_DevicePair(int address_low, int address_high, const WCHAR* pin, BYTE* out)
{
    std::string arguments = address_argument(address_low, address_high) + ", " + text_argument(pin) + ", " + pointer_argument(out);
    return run_entry("ZOL_DevicePair", std::move(arguments), [&](ManagerState& state) {
        if (!pin)
            return ZOL_BAD_ARGUMENT;
        Sleep(ZOL_PAIR_MS);
        int result = code_of(state.phones().pair_with_pin(address_of(address_low, address_high), bounded_text(pin)));
        if (out && result == MANAGER_OK)
            *out = 1;
        return result;
    });
}

int ZOL_ActivateMobile(int address_low, int address_high)
{
    return run_entry("ZOL_ActivateMobile", address_argument(address_low, address_high), [&](ManagerState& state) {
        PhoneAddress address = address_of(address_low, address_high);
        auto phone = state.phones().phone(address);
        if (!phone)
            return ZOL_UNKNOWN_PHONE;
        if (!phone->paired)
            return ZOL_NOT_PAIRED;
        if (!set_default_phone(address) || !write_mobile_settings(settings_file(state), phone->identity))
            return ZOL_SETTINGS_NOT_WRITTEN;
        return MANAGER_OK;
    });
}

int ZOL_DeleteDefaultPhone(int address_low, int address_high)
{
    return run_entry("ZOL_DeleteDefaultPhone", address_argument(address_low, address_high), [&](ManagerState& state) {
        PhoneAddress address = address_of(address_low, address_high);
        if (default_phone() == address && !set_default_phone(std::nullopt))
            return ZOL_SETTINGS_NOT_WRITTEN;
        if (state.phones().connected_phone() == address)
            state.phones().disconnect();
        return MANAGER_OK;
    });
}

int ZOL_GetContactsEx(const char* storage, BYTE** entries, int* count, ManagerProgressFn progress)
{
    std::string arguments = (storage ? std::string(storage, strnlen(storage, 8)) : std::string("null")) + ", " + pointer_argument(entries) + ", " + pointer_argument(count)
        + ", " + pointer_argument(reinterpret_cast<void*>(progress), "callback");
    return run_entry("ZOL_GetContactsEx", std::move(arguments), [&](ManagerState& state) {
        if (!storage || !entries || !count)
            return ZOL_BAD_ARGUMENT;
        *entries = nullptr;
        *count = 0;
        std::string_view asked(storage, strnlen(storage, 3));
        auto list = parse_call_list(asked);
        if (asked != "MT" && !list)
            return ZOL_BAD_ARGUMENT;
        PhoneData phone;
        if (int found = connected_phone(state, list ? PhoneFunction::CallLog : PhoneFunction::Phonebook, phone); found != MANAGER_OK)
            return found;
        // Each record as packed fields: the phonebook's contacts, or one call list's entries.
        struct Pending {
            int memory_type;
            std::string location;
            std::vector<PhonebookField> fields;
        };
        std::vector<Pending> pending;
        if (!list) {
            for (auto& contact : phone.contacts)
                pending.push_back({ contact.memory_type, contact.location, contact_fields(contact) });
        } else {
            for (auto& call : phone.calls) {
                if (call.list == *list)
                    pending.push_back({ memory_type_of(*list), std::string(asked) + std::to_string(pending.size() + 1), call_fields(call) });
            }
        }
        int kind = list ? ZOL_PROGRESS_CALL_LIST : ZOL_PROGRESS_CONTACTS;
        int total = static_cast<int>(pending.size());
        std::vector<uint8_t> run;
        int delivered = 0;
        bool stopped = false;
        for (auto& item : pending) {
            Sleep(ZOL_RECORD_MS);
            if (!still_connected(state, phone.identity.address)) {
                report_end(progress, kind, delivered, total, MANAGER_NOT_CONNECTED);
                return MANAGER_NOT_CONNECTED;
            }
            append_packed(run, item.memory_type, item.location, item.fields);
            ++delivered;
            if (!report_progress(progress, kind, delivered, total)) {
                stopped = true;
                break;
            }
        }
        *entries = static_cast<BYTE*>(hand_out("ZOL_GetContactsEx", run.data(), run.size()));
        *count = delivered;
        if (!stopped)
            report_end(progress, kind, total, total, MANAGER_OK);
        return MANAGER_OK;
    });
}

int ZOL_ReleaseMemory(void* buffer)
{
    return run_entry("ZOL_ReleaseMemory", pointer_argument(buffer, "buffer"), [&](ManagerState&) {
        if (!buffer)
            return MANAGER_OK;
        if (!record().release(buffer))
            return ZOL_UNKNOWN_BUFFER;
        std::free(buffer);
        return MANAGER_OK;
    });
}

int ZOL_GetSMSs(SmsRecord** records, int* count, void* extra, ManagerProgressFn progress)
{
    std::string arguments = pointer_argument(records) + ", " + pointer_argument(count) + ", " + pointer_argument(extra)
        + ", " + pointer_argument(reinterpret_cast<void*>(progress), "callback");
    return run_entry("ZOL_GetSMSs", std::move(arguments), [&](ManagerState& state) {
        if (!records || !count)
            return ZOL_BAD_ARGUMENT;
        *records = nullptr;
        *count = 0;
        PhoneData phone;
        if (int found = connected_phone(state, PhoneFunction::SmsList, phone); found != MANAGER_OK)
            return found;
        int total = static_cast<int>(phone.messages.size());
        std::vector<SmsRecord> delivered;
        bool stopped = false;
        for (auto& message : phone.messages) {
            Sleep(ZOL_RECORD_MS);
            if (!still_connected(state, phone.identity.address)) {
                report_end(progress, ZOL_PROGRESS_SMS, static_cast<int>(delivered.size()), total, MANAGER_NOT_CONNECTED);
                return MANAGER_NOT_CONNECTED;
            }
            delivered.push_back(sms_record(message));
            if (!report_progress(progress, ZOL_PROGRESS_SMS, static_cast<int>(delivered.size()), total)) {
                stopped = true;
                break;
            }
        }
        *records = static_cast<SmsRecord*>(hand_out("ZOL_GetSMSs", delivered.data(), delivered.size() * sizeof(SmsRecord)));
        *count = static_cast<int>(delivered.size());
        if (!stopped)
            report_end(progress, ZOL_PROGRESS_SMS, total, total, MANAGER_OK);
        return MANAGER_OK;
    });
}

int ZOL_FileTransferGetFileList(FileEntry folder, FileEntry** list, int* count)
{
    std::u16string path = is_root(folder) ? u"/" : ReadRecordText(folder.id);
    std::string arguments = to_utf8(path) + ", " + pointer_argument(list) + ", " + pointer_argument(count);
    return run_entry("ZOL_FileTransferGetFileList", std::move(arguments), [&](ManagerState& state) {
        if (!list || !count)
            return ZOL_BAD_ARGUMENT;
        *list = nullptr;
        *count = 0;
        PhoneData phone;
        if (int found = connected_phone(state, PhoneFunction::FileTransfer, phone); found != MANAGER_OK)
            return found;
        Sleep(ZOL_LIST_FOLDER_MS);
        auto items = state.phones().list_folder(phone.identity.address, path);
        if (!items)
            return ZOL_NO_SUCH_FILE;
        std::vector<FileEntry> entries;
        for (auto& item : *items)
            entries.push_back(file_entry(item));
        *list = static_cast<FileEntry*>(hand_out("ZOL_FileTransferGetFileList", entries.data(), entries.size() * sizeof(FileEntry)));
        *count = static_cast<int>(entries.size());
        return MANAGER_OK;
    });
}

int ZOL_FileTransferGetFile(GetFileRequest** requests, int count, ManagerProgressFn progress)
{
    std::string arguments;
    for (int i = 0; requests && i < count && i < 16; ++i) {
        if (requests[i])
            arguments += to_utf8(ReadRecordText(requests[i]->file.id)) + " to " + to_utf8(ReadRecordText(requests[i]->destination)) + ", ";
    }
    arguments += std::to_string(count) + ", " + pointer_argument(reinterpret_cast<void*>(progress), "callback");
    return run_entry("ZOL_FileTransferGetFile", std::move(arguments), [&](ManagerState& state) {
        if (!requests || count < 1 || std::any_of(requests, requests + count, [](GetFileRequest* request) { return !request; }))
            return ZOL_BAD_ARGUMENT;
        PhoneData phone;
        int result = connected_phone(state, PhoneFunction::FileTransfer, phone);
        for (int i = 0; result == MANAGER_OK && i < count; ++i) {
            result = copy_file(state, phone.identity.address, *requests[i], progress);
            // The program asked to stop: the call returns without its last report.
            if (result == 0)
                return MANAGER_OK;
        }
        report_end(progress, ZOL_PROGRESS_FILE, count, count, result);
        return result;
    });
}

void ZOL_SetConnectStatusCallBack(ConnectStatusFn callback)
{
    run_entry("ZOL_SetConnectStatusCallBack", pointer_argument(reinterpret_cast<void*>(callback), "callback"), [&](ManagerState& state) {
        state.set_connect_callback(callback);
        return MANAGER_OK;
    });
}

int ZOL_ConnectMobile()
{
    return run_entry("ZOL_ConnectMobile", "", [](ManagerState& state) {
        auto address = default_phone();
        if (!address)
            return ZOL_NO_DEFAULT_PHONE;
        if (state.phones().connected_phone() == address)
            return MANAGER_OK;
        Sleep(ZOL_CONNECT_MS);
        return code_of(state.phones().connect(*address));
    });
}

int ZOL_DisconnectMobile()
{
    return run_entry("ZOL_DisconnectMobile", "", [](ManagerState& state) {
        // Not linked is as good as disconnected.
        state.phones().disconnect();
        return MANAGER_OK;
    });
}

int ZOL_Dial(const WCHAR* number)
{
    return run_entry("ZOL_Dial", text_argument(number), [&](ManagerState& state) {
        return number ? code_of(state.phones().dial_on_device(bounded_text(number))) : ZOL_BAD_ARGUMENT;
    });
}

int ZOL_AnswerCall()
{
    return run_entry("ZOL_AnswerCall", "", [](ManagerState& state) {
        int result = code_of(state.phones().answer_on_device());
        // Without hands-free the call's sound stays on the handset.
        if (result == MANAGER_OK && !state.hands_free())
            state.phones().transfer_audio(false);
        return result;
    });
}

int ZOL_HangupCall()
{
    return run_entry("ZOL_HangupCall", "", [](ManagerState& state) { return code_of(state.phones().hang_up_on_device()); });
}

int ZOL_SetIncomingframeCallBack(CallStatusFn call, IncomingSmsFn sms)
{
    std::string arguments = pointer_argument(reinterpret_cast<void*>(call), "callback") + ", " + pointer_argument(reinterpret_cast<void*>(sms), "callback");
    return run_entry("ZOL_SetIncomingframeCallBack", std::move(arguments), [&](ManagerState& state) {
        state.set_frame_callbacks(call, sms);
        return MANAGER_OK;
    });
}

int ZOL_GetPhoneSupportFun(PhoneSupportFun* out)
{
    return run_entry("ZOL_GetPhoneSupportFun", pointer_argument(out), [&](ManagerState& state) {
        if (!out)
            return ZOL_BAD_ARGUMENT;
        *out = {};
        auto address = state.phones().connected_phone();
        auto phone = address ? state.phones().phone(*address) : std::nullopt;
        if (!phone)
            return MANAGER_NOT_CONNECTED;
        std::copy(phone->functions.begin(), phone->functions.end(), out->functions);
        return MANAGER_OK;
    });
}

int ZOL_DialDTMF(const WCHAR* digits)
{
    return run_entry("ZOL_DialDTMF", text_argument(digits), [&](ManagerState& state) {
        return digits ? code_of(state.phones().send_dtmf(bounded_text(digits))) : ZOL_BAD_ARGUMENT;
    });
}

int ZOL_ReDial()
{
    return run_entry("ZOL_ReDial", "", [](ManagerState& state) { return code_of(state.phones().redial_on_device()); });
}

int ZOL_HFInitial()
{
    return run_entry("ZOL_HFInitial", "", [](ManagerState&) { return MANAGER_OK; });
}

int ZOL_HFAudioConnect(int on)
{
    return run_entry("ZOL_HFAudioConnect", std::to_string(on), [&](ManagerState& state) {
        state.set_hands_free(on != 0);
        return MANAGER_OK;
    });
}

int ZOL_GetHFStatus(BYTE* audio_on)
{
    return run_entry("ZOL_GetHFStatus", pointer_argument(audio_on), [&](ManagerState& state) {
        if (!audio_on)
            return ZOL_BAD_ARGUMENT;
        auto address = state.phones().connected_phone();
        auto world = address ? state.phones().world_of(*address) : std::nullopt;
        if (!world) {
            *audio_on = 0;
            return MANAGER_NOT_CONNECTED;
        }
        bool on = world->call.state == CallState::Idle ? state.hands_free() : world->call.audio_on_device;
        *audio_on = on ? 1 : 0;
        return MANAGER_OK;
    });
}

int ZOL_SetDeviceVol(int device, int value)
{
    // The callers read any non-zero answer as done, so a refusal answers 0.
    return run_entry("ZOL_SetDeviceVol", std::to_string(device) + ", " + std::to_string(value), [&](ManagerState& state) {
        if (device == ZOL_DEVICE_MICROPHONE) {
            state.phones().set_microphone_on(value != 0);
            return MANAGER_OK;
        }
        if (device == ZOL_DEVICE_SPEAKER && value >= 0 && value <= 15) {
            state.phones().set_speaker_volume(value);
            return MANAGER_OK;
        }
        return 0;
    });
}

int ZOL_SetBTPower(int on)
{
    return run_entry("ZOL_SetBTPower", std::to_string(on), [&](ManagerState& state) {
        state.phones().set_radio_power(on != 0);
        return MANAGER_OK;
    });
}

int ZOL_GetBTPower()
{
    return run_entry("ZOL_GetBTPower", "", [](ManagerState& state) { return state.phones().radio_power() ? 1 : 0; });
}

int ZOL_TransferAudio(int value)
{
    return run_entry("ZOL_TransferAudio", std::to_string(value), [&](ManagerState& state) {
        return code_of(state.phones().transfer_audio(value != 0));
    });
}

// The entries this manager does not offer: each answers ZOL_ENTRY_NOT_SUPPORTED.
int ZOL_DeviceUnPair() { return not_offered("ZOL_DeviceUnPair"); }
int ZOL_ActivateFTPDevice() { return not_offered("ZOL_ActivateFTPDevice"); }
int ZOL_GetDevicePaired() { return not_offered("ZOL_GetDevicePaired"); }
int ZOL_ActivateHeadset() { return not_offered("ZOL_ActivateHeadset"); }
int ZOL_ActivateMP3() { return not_offered("ZOL_ActivateMP3"); }
int ZOL_GetOperatorInfo() { return not_offered("ZOL_GetOperatorInfo"); }
int ZOL_GetSignalQualityInfo() { return not_offered("ZOL_GetSignalQualityInfo"); }
int ZOL_GetBatteryChargeInfo() { return not_offered("ZOL_GetBatteryChargeInfo"); }
int ZOL_DeviceRefuse() { return not_offered("ZOL_DeviceRefuse"); }
int ZOL_DeviceInversePair() { return not_offered("ZOL_DeviceInversePair"); }
int ZOL_GetContacts() { return not_offered("ZOL_GetContacts"); }
int ZOL_AddContacts() { return not_offered("ZOL_AddContacts"); }
int ZOL_DeleteContacts() { return not_offered("ZOL_DeleteContacts"); }
int ZOL_ModifyContact() { return not_offered("ZOL_ModifyContact"); }
int ZOL_GetCalendars() { return not_offered("ZOL_GetCalendars"); }
int ZOL_AddCalendars() { return not_offered("ZOL_AddCalendars"); }
int ZOL_DeleteCalendars() { return not_offered("ZOL_DeleteCalendars"); }
int ZOL_ModifyCalendar() { return not_offered("ZOL_ModifyCalendar"); }
int ZOL_GetTasks() { return not_offered("ZOL_GetTasks"); }
int ZOL_AddTasks() { return not_offered("ZOL_AddTasks"); }
int ZOL_DeleteTasks() { return not_offered("ZOL_DeleteTasks"); }
int ZOL_ModifyTask() { return not_offered("ZOL_ModifyTask"); }
int ZOL_AddSMSs() { return not_offered("ZOL_AddSMSs"); }
int ZOL_DeleteSMS() { return not_offered("ZOL_DeleteSMS"); }
int ZOL_SendSMSs() { return not_offered("ZOL_SendSMSs"); }
int ZOL_FileTransferDeleteFile() { return not_offered("ZOL_FileTransferDeleteFile"); }
int ZOL_FileTransferPutFile() { return not_offered("ZOL_FileTransferPutFile"); }
int ZOL_InitSynchronization() { return not_offered("ZOL_InitSynchronization"); }
int ZOL_GetSupportMailSystem() { return not_offered("ZOL_GetSupportMailSystem"); }
int ZOL_GetOutlookProfileList() { return not_offered("ZOL_GetOutlookProfileList"); }
int ZOL_GetOutlookFolderList() { return not_offered("ZOL_GetOutlookFolderList"); }
int ZOL_Synchronization() { return not_offered("ZOL_Synchronization"); }
int ZOL_MemoryDial() { return not_offered("ZOL_MemoryDial"); }
int ZOL_HFVoiceDial() { return not_offered("ZOL_HFVoiceDial"); }
int ZOL_CallWaiting() { return not_offered("ZOL_CallWaiting"); }
int ZOL_QueryCurrentCall() { return not_offered("ZOL_QueryCurrentCall"); }
int ZOL_Mute() { return not_offered("ZOL_Mute"); }
int ZOL_HSConnect() { return not_offered("ZOL_HSConnect"); }
int ZOL_StereoConnect() { return not_offered("ZOL_StereoConnect"); }
int ZOL_MP3StereoConnect() { return not_offered("ZOL_MP3StereoConnect"); }
int ZOL_MP3StereoSetVolume() { return not_offered("ZOL_MP3StereoSetVolume"); }
int ZOL_AVRCPCommand() { return not_offered("ZOL_AVRCPCommand"); }
int ZOL_SetStereoConnectStatusCallBack() { return not_offered("ZOL_SetStereoConnectStatusCallBack"); }
int ZOL_GetDeviceSupportProfile() { return not_offered("ZOL_GetDeviceSupportProfile"); }
int ZOL_GetDeviceVol() { return not_offered("ZOL_GetDeviceVol"); }
int ZOL_AddContact2MSOT() { return not_offered("ZOL_AddContact2MSOT"); }
int ZOL_AddCalendar2MSOT() { return not_offered("ZOL_AddCalendar2MSOT"); }
int ZOL_AddTask2MSOT() { return not_offered("ZOL_AddTask2MSOT"); }
int ZOL_AddSMS2MSOT() { return not_offered("ZOL_AddSMS2MSOT"); }

} // extern "C"
