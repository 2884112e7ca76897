#include "StoredFiles.h"

#include "Contacts.h"
#include "Kitbase.h"
#include "program_services.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

namespace {

// Each magic with its terminating zero, as the files hold it.
constexpr std::u16string_view contacts_magic { u"ZOLContact", 11 };
constexpr std::u16string_view sms_magic { u"ZOLSMS", 7 };
constexpr std::u16string_view device_magic { u"ZOLDEVICE", 10 };
constexpr int32_t file_version = 1;
// The owner's IMEI, in bytes with its zero: at least the zero, at most MAX_PATH characters.
constexpr int32_t shortest_owner = 2;
constexpr int32_t longest_owner = 520;
constexpr size_t device_header_bytes = 28;
constexpr uint64_t largest_dword = 0xFFFFFFFF;

kivo::ProcessLocal<std::u16string> s_current_imei;

int32_t int_at(const BYTE* bytes)
{
    return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8
        | static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

bool is_valid_field_count(int32_t count)
{
    return count >= 0 && count <= PHONEBOOK_MAX_FIELDS;
}

// The wait cursor for as long as it lives; the arrow again on every way out.
class WaitCursor {
public:
    WaitCursor() { SetCursor(LoadCursor(nullptr, IDC_WAIT)); }
    ~WaitCursor() { SetCursor(LoadCursor(nullptr, IDC_ARROW)); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Appends little-endian values and raw bytes to a block of a known length.
class ByteWriter {
public:
    explicit ByteWriter(BYTE* bytes)
        : m_bytes(bytes)
    {
    }
    void put(const void* bytes, size_t size)
    {
        std::memcpy(m_bytes + m_position, bytes, size);
        m_position += size;
    }
    void put_int(int32_t value)
    {
        auto bits = static_cast<uint32_t>(value);
        for (int i = 0; i < 4; ++i)
            m_bytes[m_position++] = static_cast<BYTE>(bits >> (8 * i));
    }
    void put_text(std::u16string_view text) { put(text.data(), text.size() * sizeof(WCHAR)); }
    BYTE* here() { return m_bytes + m_position; }
    void skip(size_t size) { m_position += size; }

private:
    BYTE* m_bytes;
    size_t m_position = 0;
};

// The magic, the version and the owner's IMEI (with its zero) that start the phone's files.
void put_owned_header(ByteWriter& out, std::u16string_view magic, const std::u16string& imei)
{
    out.put_text(magic);
    out.put_int(file_version);
    out.put_int(static_cast<int32_t>((imei.size() + 1) * sizeof(WCHAR)));
    out.put(imei.c_str(), (imei.size() + 1) * sizeof(WCHAR));
}

uint64_t owned_header_bytes(std::u16string_view magic, const std::u16string& imei)
{
    return magic.size() * sizeof(WCHAR) + 3 * sizeof(int32_t) + (imei.size() + 1) * sizeof(WCHAR);
}

// The new file takes the old one's name in one step, or its place when there was none.
bool put_in_place(const std::u16string& path, const std::u16string& temporary)
{
    if (GetFileAttributes(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return DeleteAndRenameFile(path.c_str(), temporary.c_str());
    return MoveFile(temporary.c_str(), path.c_str());
}

// Writes the bytes to "<path>.tmp" in pieces, each write and the close checked, and puts the file
// in place only when it is whole: a card pulled or full on the way keeps the old file.
bool write_stored_file(const std::u16string& path, const BYTE* bytes, size_t length)
{
    std::u16string temporary = path + u".tmp";
    HANDLE file = CreateFile(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool whole = true;
    for (size_t done = 0; whole && done < length;) {
        auto piece = static_cast<DWORD>(std::min<size_t>(length - done, STORED_FILE_PIECE));
        DWORD written = 0;
        whole = WriteFile(file, bytes + done, piece, &written, nullptr) && written == piece;
        done += piece;
    }
    bool closed = CloseHandle(file);
    if (whole && closed && put_in_place(path, temporary))
        return true;
    DeleteFile(temporary.c_str());
    return false;
}

// A stored file's bytes in one shared buffer of the file's length, as the savers build them.
bool allocate_image(SharedBuffer& image, uint64_t length)
{
    if (length > largest_dword)
        return false;
    image.data = static_cast<BYTE*>(ReAllocMemory(nullptr, 0, static_cast<DWORD>(length), image.name, &image.mapping));
    return image.data != nullptr;
}

enum class LoadOutcome {
    Loaded,
    Missing,    // no such file
    Unreadable, // the file is there but could not be read (an I/O error)
    Refused,    // the file was read but is not ours to load (damaged, older, another phone's)
};

// A stored file read from its start; a read answers true only when it got every byte asked for.
class StoredFileReader {
public:
    explicit StoredFileReader(const std::u16string& path)
    {
        if (path.empty()) {
            m_outcome = LoadOutcome::Missing;
            return;
        }
        m_file = CreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_file == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
            m_outcome = missing ? LoadOutcome::Missing : LoadOutcome::Unreadable;
            return;
        }
        DWORD high = 0;
        DWORD low = GetFileSize(m_file, &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS)
            m_outcome = LoadOutcome::Unreadable;
        m_size = static_cast<uint64_t>(high) << 32 | low;
    }
    ~StoredFileReader()
    {
        if (m_file != INVALID_HANDLE_VALUE)
            CloseHandle(m_file);
    }
    StoredFileReader(const StoredFileReader&) = delete;
    StoredFileReader& operator=(const StoredFileReader&) = delete;

    bool is_open() const { return m_outcome == LoadOutcome::Loaded; }
    LoadOutcome outcome() const { return m_outcome; }
    uint64_t remaining() const { return m_size - std::min(m_size, m_position); }

    bool read(void* into, DWORD size)
    {
        DWORD done = 0;
        if (!ReadFile(m_file, into, size, &done, nullptr)) {
            m_outcome = LoadOutcome::Unreadable;
            return false;
        }
        m_position += done;
        return done == size;
    }
    bool read_int(int32_t& value)
    {
        BYTE bytes[4];
        if (!read(bytes, sizeof(bytes)))
            return false;
        value = int_at(bytes);
        return true;
    }

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    LoadOutcome m_outcome = LoadOutcome::Loaded;
    uint64_t m_size = 0;
    uint64_t m_position = 0;
};

// Reads the magic (compared without regard to case) and the version, and for the phone's files
// the owner, which must be the current phone exactly.
bool read_header(StoredFileReader& file, std::u16string_view magic, bool owned)
{
    std::u16string seen(magic.size(), u'\0');
    if (!file.read(seen.data(), static_cast<DWORD>(magic.size() * sizeof(WCHAR))) || !kivo::equals_ignoring_case(seen, magic))
        return false;
    int32_t version = 0;
    if (!file.read_int(version) || version != file_version)
        return false;
    if (!owned)
        return true;
    int32_t owner_bytes = 0;
    if (!file.read_int(owner_bytes) || owner_bytes < shortest_owner || owner_bytes > longest_owner)
        return false;
    std::vector<BYTE> owner(static_cast<size_t>(owner_bytes));
    if (!file.read(owner.data(), static_cast<DWORD>(owner.size())))
        return false;
    std::u16string imei = GetCurrentIMEI();
    return owner.size() == (imei.size() + 1) * sizeof(WCHAR) && std::memcmp(owner.data(), imei.c_str(), owner.size()) == 0;
}

// Appends the fixed-size records that follow the count, never more than the file holds.
template<typename Record>
bool read_records(StoredFileReader& file, std::list<std::unique_ptr<Record>>& records)
{
    int32_t count = 0;
    if (!file.read_int(count))
        return false;
    uint64_t present = file.remaining() / sizeof(Record);
    uint64_t wanted = std::min<uint64_t>(static_cast<uint32_t>(count), present);
    for (uint64_t i = 0; i < wanted; ++i) {
        auto record = std::make_unique<Record>();
        if (!file.read(record.get(), sizeof(Record)))
            return false;
        records.push_back(std::move(record));
    }
    return true;
}

template<typename Record>
bool save_records(const std::u16string& path, std::u16string_view magic, const std::list<std::unique_ptr<Record>>& records)
{
    WaitCursor wait;
    std::u16string imei = GetCurrentIMEI();
    uint64_t length = owned_header_bytes(magic, imei) + records.size() * sizeof(Record);
    if (imei.size() >= MAX_PATH || records.size() > INT32_MAX || !HasDiskSpace(path, static_cast<DWORD>(std::min<uint64_t>(length, largest_dword))))
        return false;
    SharedBuffer image;
    if (!allocate_image(image, length))
        return false;
    ByteWriter out(image.data);
    put_owned_header(out, magic, imei);
    out.put_int(static_cast<int32_t>(records.size()));
    for (auto& record : records)
        out.put(record.get(), sizeof(Record));
    return write_stored_file(path, image.data, length);
}

LoadOutcome load_devices(const std::u16string& path, DeviceList& devices)
{
    StoredFileReader file(path);
    if (!file.is_open())
        return file.outcome();
    bool loaded = read_header(file, device_magic, false) && read_records(file, devices);
    if (loaded)
        return LoadOutcome::Loaded;
    return file.outcome() == LoadOutcome::Unreadable ? LoadOutcome::Unreadable : LoadOutcome::Refused;
}

} // namespace

void SharedBuffer::Free()
{
    FreeMemory(data, &mapping, name);
    data = nullptr;
}

void SetCurrentIMEI(std::u16string imei)
{
    *s_current_imei = std::move(imei);
}

std::u16string GetCurrentIMEI()
{
    return *s_current_imei;
}

bool SaveContactsFile(const std::u16string& path, const ContactList& contacts)
{
    if (path.empty())
        return false;
    WaitCursor wait;
    std::u16string imei = GetCurrentIMEI();
    uint64_t length = owned_header_bytes(contacts_magic, imei);
    for (const BYTE* packed : contacts) {
        int32_t fields = int_at(packed);
        if (!is_valid_field_count(fields))
            return false;
        length += PACKED_CONTACT_HEAD + static_cast<uint64_t>(fields) * sizeof(PhonebookField);
    }
    if (imei.size() >= MAX_PATH || contacts.size() > INT32_MAX || length > largest_dword || !HasDiskSpace(path, static_cast<DWORD>(length)))
        return false;
    SharedBuffer image;
    if (!allocate_image(image, length))
        return false;
    ByteWriter out(image.data);
    put_owned_header(out, contacts_magic, imei);
    out.put_int(static_cast<int32_t>(contacts.size()));
    // Each contact goes through its record, so that only what a record can hold is stored.
    auto entry = std::make_unique<PhonebookEntry>();
    for (const BYTE* packed : contacts) {
        UnpackContact(packed, entry.get());
        out.skip(static_cast<size_t>(PackContact(entry.get(), out.here())));
    }
    return write_stored_file(path, image.data, length);
}

bool SaveSMSFile(const std::u16string& path, const SmsList& messages)
{
    return !path.empty() && save_records(path, sms_magic, messages);
}

bool SaveDeviceFile(const std::u16string& path, const DeviceList& devices)
{
    if (path.empty() || devices.size() > INT32_MAX)
        return false;
    std::vector<BYTE> bytes(device_header_bytes + devices.size() * sizeof(DeviceRecord));
    ByteWriter out(bytes.data());
    out.put_text(device_magic);
    out.put_int(file_version);
    out.put_int(static_cast<int32_t>(devices.size()));
    for (auto& device : devices)
        out.put(device.get(), sizeof(DeviceRecord));
    return write_stored_file(path, bytes.data(), bytes.size());
}

bool LoadContactsFile(const std::u16string& path, ContactList& contacts, SharedBuffer& buffer)
{
    buffer.Free();
    StoredFileReader file(path);
    if (!file.is_open() || !read_header(file, contacts_magic, true))
        return false;
    int32_t count = 0;
    if (!file.read_int(count))
        return false;
    if (count == 0)
        return true;
    uint64_t size = file.remaining();
    if (size == 0 || size > largest_dword)
        return false;
    buffer.data = static_cast<BYTE*>(ReAllocMemory(nullptr, 0, static_cast<DWORD>(size), buffer.name, &buffer.mapping));
    if (!buffer.data || !file.read(buffer.data, static_cast<DWORD>(size)))
        return false;
    // The packed records lie in the buffer as they lay in the file; each must be whole within it.
    uint64_t position = 0;
    for (uint64_t i = 0; i < static_cast<uint32_t>(count); ++i) {
        if (size - position < PACKED_CONTACT_HEAD)
            return false;
        int32_t fields = int_at(buffer.data + position);
        if (!is_valid_field_count(fields))
            return false;
        uint64_t length = PACKED_CONTACT_HEAD + static_cast<uint64_t>(fields) * sizeof(PhonebookField);
        if (length > size - position)
            return false;
        contacts.push_back(buffer.data + position);
        position += length;
    }
    return true;
}

bool LoadSMSFile(const std::u16string& path, SmsList& messages)
{
    StoredFileReader file(path);
    return file.is_open() && read_header(file, sms_magic, true) && read_records(file, messages);
}

bool LoadDeviceFile(const std::u16string& path, DeviceList& devices)
{
    return load_devices(path, devices) == LoadOutcome::Loaded;
}

bool AddDeviceToFile(const std::u16string& path, const DeviceRecord* device)
{
    if (path.empty() || !device)
        return false;
    DeviceList devices;
    switch (load_devices(path, devices)) {
    case LoadOutcome::Unreadable:
        // Saving now would wipe every pairing that could not be read.
        return false;
    case LoadOutcome::Refused:
        devices.clear();
        break;
    case LoadOutcome::Loaded:
    case LoadOutcome::Missing:
        break;
    }
    bool listed = std::any_of(devices.begin(), devices.end(), [&](const auto& known) {
        return known->addressLow == device->addressLow && known->addressHigh == device->addressHigh;
    });
    if (!listed)
        devices.push_front(std::make_unique<DeviceRecord>(*device));
    return SaveDeviceFile(path, devices);
}

bool FindNameByNumber(const std::u16string& number, std::u16string* name)
{
    name->clear();
    std::u16string folder;
    if (!GetStorageCardFolder(&folder))
        return false;
    ContactList contacts;
    SharedBuffer buffer;
    LoadContactsFile(folder + u"Contacts", contacts, buffer);
    auto entry = std::make_unique<PhonebookEntry>();
    for (const BYTE* packed : contacts) {
        UnpackContact(packed, entry.get());
        for (int i = 0; i < entry->fieldCount; ++i) {
            auto& field = entry->fields[i];
            if (IsNumberFieldType(field.type) && kivo::equals_ignoring_case(ReadRecordText(field.text), number)) {
                GetContactDisplayName(entry.get(), name);
                return true;
            }
        }
    }
    return false;
}

bool GetStorageCardFolder(std::u16string* folder)
{
    *folder = STORAGE_CARD_FOLDER;
    return CreateDirectory(folder->c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

DWORD GetFreeDiskSpace(const std::u16string& path)
{
    ULARGE_INTEGER free {};
    if (!GetDiskFreeSpaceEx(path.c_str(), &free, nullptr, nullptr))
        return 0;
    return free.QuadPart > largest_dword ? FREE_SPACE_PLENTY : static_cast<DWORD>(free.QuadPart);
}

int HasDiskSpace(const std::u16string& path, DWORD length)
{
    ULARGE_INTEGER free {};
    if (!GetDiskFreeSpaceEx(path.c_str(), &free, nullptr, nullptr))
        return 1;
    return free.QuadPart > largest_dword || free.QuadPart >= length ? 1 : 0;
}

LONG WriteRegString(const WCHAR* subkey, const WCHAR* valueName, const WCHAR* text)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG opened = RegCreateKeyEx(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, &disposition);
    if (opened != ERROR_SUCCESS)
        return opened;
    std::u16string_view value = text ? text : u"";
    LONG set = RegSetValueEx(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data()),
        static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
    if (set == ERROR_SUCCESS)
        RegFlushKey(key);
    LONG closed = RegCloseKey(key);
    return set != ERROR_SUCCESS ? set : closed;
}
