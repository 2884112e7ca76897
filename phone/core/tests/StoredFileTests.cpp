#include "StoredFiles.h"

#include "kernel/tests/TestDevice.h"
#include "storage/tests/DeviceFiles.h"

#include "FileMappings.h"
#include "FileSystem.h"
#include "Registry.h"
#include "Volumes.h"
#include "WindowManager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using Bytes = std::string;

// Little-endian pieces of the files, put together by hand in the tests.
Bytes le32(uint32_t value)
{
    Bytes bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>(value >> (8 * i));
    return bytes;
}

// ASCII text as UTF-16 in `units` code units (with its zero when units is 0).
Bytes utf16(std::string_view text, size_t units = 0)
{
    Bytes bytes;
    for (char c : text)
        bytes += { c, '\0' };
    bytes.resize((units ? units : text.size() + 1) * 2, '\0');
    return bytes;
}

struct Field {
    int type;
    std::string_view text;
};

// A packed contact: field count, memory type, 100 bytes of location, then 524-byte fields.
Bytes packed_contact(int memory_type, std::string_view location, std::initializer_list<Field> fields)
{
    Bytes bytes = le32(static_cast<uint32_t>(fields.size())) + le32(static_cast<uint32_t>(memory_type));
    bytes += Bytes(location) + Bytes(100 - location.size(), '\0');
    for (auto& field : fields)
        bytes += le32(static_cast<uint32_t>(field.type)) + utf16(field.text, 260);
    return bytes;
}

// An SMS record: 32 leading bytes, number at 32, date at 114, text at 194, location, received
// and store at 2200, 2204 and 2208, then 4 trailing bytes.
Bytes sms_bytes(std::string_view number, std::string_view date, std::string_view text, int location, int received)
{
    Bytes bytes(32, '\x5A');
    bytes += utf16(number, 41) + utf16(date, 40) + utf16(text, 1003);
    bytes += le32(static_cast<uint32_t>(location)) + le32(static_cast<uint32_t>(received)) + le32(2) + Bytes(4, '\0');
    return bytes;
}

// A device record: address low and high, 8 reserved bytes, the name at 16 in 160 units.
Bytes device_bytes(uint32_t low, uint32_t high, std::string_view name)
{
    return le32(low) + le32(high) + Bytes(8, '\0') + utf16(name, 160);
}

template<typename Record>
std::unique_ptr<Record> record_of(const Bytes& bytes)
{
    EXPECT_EQ(bytes.size(), sizeof(Record));
    auto record = std::make_unique<Record>();
    std::memcpy(record.get(), bytes.data(), sizeof(Record));
    return record;
}

class StoredFileTest : public ::testing::Test {
protected:
    static constexpr const char* imei = "356938035643809";
    const std::u16string contacts_path = u"\\SDMMC\\My Documents\\Contacts";
    const std::u16string sms_path = u"\\SDMMC\\My Documents\\SMS";
    const std::u16string device_path = DEVICE_FILE_PATH;

    std::unique_ptr<kivo::Device> device = kivo::test::make_test_device();
    kivo::Volumes& volumes = device->component<kivo::Volumes>();
    kivo::FileFaults& faults = device->component<kivo::FileSystem>().file_faults();

    // Packed contacts kept for the lists that point into them.
    std::list<Bytes> packed;

    StoredFileTest()
    {
        SetCurrentIMEI(u"356938035643809");
        std::u16string folder;
        EXPECT_TRUE(GetStorageCardFolder(&folder));
        EXPECT_TRUE(CreateDirectory(u"\\NAND\\My Documents", nullptr));
    }

    ContactList contact_list(std::initializer_list<Bytes> contacts)
    {
        ContactList list;
        for (auto& contact : contacts)
            list.push_back(reinterpret_cast<BYTE*>(packed.emplace_back(contact).data()));
        return list;
    }

    static Bytes contacts_header(std::string_view owner, uint32_t count)
    {
        return utf16("ZOLContact") + le32(1) + le32(static_cast<uint32_t>(2 * (owner.size() + 1))) + utf16(owner) + le32(count);
    }

    static Bytes sms_header(std::string_view owner, uint32_t count)
    {
        return utf16("ZOLSMS") + le32(1) + le32(static_cast<uint32_t>(2 * (owner.size() + 1))) + utf16(owner) + le32(count);
    }

    static Bytes device_header(uint32_t count) { return utf16("ZOLDEVICE") + le32(1) + le32(count); }

    static std::optional<Bytes> read(const std::u16string& path) { return kivo::test::read_device_file(path); }
    static void write(const std::u16string& path, const Bytes& bytes) { ASSERT_EQ(kivo::test::write_device_file(path, bytes), 0u); }
    static bool exists(const std::u16string& path) { return GetFileAttributes(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    HCURSOR last_cursor() { return device->component<kivo::WindowManager>().cursor_history().back(); }
};

// 272 contacts, 229 with 21 fields and 43 with 20, after the header of a 16-character IMEI: the
// file is 3,000,000 bytes long (68 + 108 × 272 + 524 × 5,669).
ContactList three_million_bytes(std::list<Bytes>& packed)
{
    ContactList list;
    for (int i = 0; i < 272; ++i) {
        Bytes contact = packed_contact(1, "SM", {});
        int fields = i < 229 ? 21 : 20;
        contact.replace(0, 4, le32(static_cast<uint32_t>(fields)));
        for (int f = 0; f < fields; ++f)
            contact += le32(2) + utf16(std::to_string(i * 100 + f), 260);
        list.push_back(reinterpret_cast<BYTE*>(packed.emplace_back(contact).data()));
    }
    return list;
}

} // namespace

TEST_F(StoredFileTest, FilesAreWrittenByteForByteAsLaidOutAndReadBack)
{
    const Bytes ann = packed_contact(1, "SM:12", { { 17, "Ann" }, { 2, "0912345678" } });
    const Bytes bob = packed_contact(3, "ME:7", {});
    const Bytes inbox = sms_bytes("10086", "2024-06-07 09:05:03", "Hello", 4, 1);
    const Bytes sent = sms_bytes("+886912", "", "On my way", 9, 0);
    const Bytes phone = device_bytes(0x11223344, 0x5566, "My phone");

    // Empty lists give the bare headers: 34 + L, 26 + L and 28 bytes.
    ASSERT_TRUE(SaveContactsFile(contacts_path, {}));
    ASSERT_TRUE(SaveSMSFile(sms_path, {}));
    ASSERT_TRUE(SaveDeviceFile(device_path, {}));
    EXPECT_EQ(read(contacts_path), contacts_header(imei, 0));
    EXPECT_EQ(read(contacts_path)->size(), 34u + 32u);
    EXPECT_EQ(read(sms_path), sms_header(imei, 0));
    EXPECT_EQ(read(sms_path)->size(), 26u + 32u);
    EXPECT_EQ(read(device_path), device_header(0));
    EXPECT_EQ(read(device_path)->size(), 28u);

    ASSERT_TRUE(SaveContactsFile(contacts_path, contact_list({ ann, bob })));
    SmsList messages;
    messages.push_back(record_of<SmsRecord>(inbox));
    messages.push_back(record_of<SmsRecord>(sent));
    ASSERT_TRUE(SaveSMSFile(sms_path, messages));
    DeviceList devices;
    devices.push_back(record_of<DeviceRecord>(phone));
    ASSERT_TRUE(SaveDeviceFile(device_path, devices));
    EXPECT_EQ(read(contacts_path), contacts_header(imei, 2) + ann + bob);
    EXPECT_EQ(read(sms_path), sms_header(imei, 2) + inbox + sent);
    EXPECT_EQ(read(device_path), device_header(1) + phone);
    EXPECT_FALSE(exists(contacts_path + u".tmp"));

    ContactList contacts;
    SharedBuffer buffer;
    ASSERT_TRUE(LoadContactsFile(contacts_path, contacts, buffer));
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(contacts.front()), ann.size()), ann);
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(contacts.back()), bob.size()), bob);
    EXPECT_NE(buffer.mapping, nullptr);
    EXPECT_NE(buffer.name[0], 0);
    SmsList loaded_messages;
    ASSERT_TRUE(LoadSMSFile(sms_path, loaded_messages));
    ASSERT_EQ(loaded_messages.size(), 2u);
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(loaded_messages.back().get()), sizeof(SmsRecord)), sent);
    DeviceList loaded_devices;
    ASSERT_TRUE(LoadDeviceFile(device_path, loaded_devices));
    ASSERT_EQ(loaded_devices.size(), 1u);
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(loaded_devices.front().get()), sizeof(DeviceRecord)), phone);

    // The holder releases the shared buffer in one step.
    buffer.Free();
    EXPECT_EQ(buffer.data, nullptr);
    EXPECT_EQ(buffer.mapping, nullptr);
    EXPECT_EQ(device->component<kivo::FileMappings>().view_count(), 0u);
}

TEST_F(StoredFileTest, ALargeContactsFileIsWrittenInPiecesOfAtMost1024000Bytes)
{
    SetCurrentIMEI(u"3569380356438091");
    auto contacts = three_million_bytes(packed);
    faults.watch(contacts_path + u".tmp");
    ASSERT_TRUE(SaveContactsFile(contacts_path, contacts));
    EXPECT_EQ(faults.watched_sizes(contacts_path + u".tmp"), (std::vector<DWORD> { 1'024'000, 1'024'000, 952'000 }));
    EXPECT_EQ(read(contacts_path)->size(), 3'000'000u);
    ContactList loaded;
    SharedBuffer buffer;
    ASSERT_TRUE(LoadContactsFile(contacts_path, loaded, buffer));
    EXPECT_EQ(loaded.size(), 272u);
}

TEST_F(StoredFileTest, AFailedSaveKeepsTheOldFileAndLeavesNoTemporaryAndTheArrowCursor)
{
    SetCurrentIMEI(u"3569380356438091");
    auto big = three_million_bytes(packed);
    SmsList messages;
    messages.push_back(record_of<SmsRecord>(sms_bytes("10086", "", "Hi", 1, 1)));
    DeviceList devices;
    devices.push_back(record_of<DeviceRecord>(device_bytes(1, 2, "Phone")));
    const Bytes old_contacts = "old contacts";
    const Bytes old_sms = "old sms";
    const Bytes old_devices = "old devices";
    HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);

    struct Case {
        const char* what;
        std::u16string path;
        Bytes old;
        std::function<bool()> save;
        // The write that fails, 0 for the close.
        unsigned failing_write;
    };
    auto save_contacts = [&] { return SaveContactsFile(contacts_path, big); };
    auto save_sms = [&] { return SaveSMSFile(sms_path, messages); };
    auto save_devices = [&] { return SaveDeviceFile(device_path, devices); };
    const Case cases[] = {
        { "contacts, first piece", contacts_path, old_contacts, save_contacts, 1 },
        { "contacts, second piece", contacts_path, old_contacts, save_contacts, 2 },
        { "contacts, last piece", contacts_path, old_contacts, save_contacts, 3 },
        { "contacts, close", contacts_path, old_contacts, save_contacts, 0 },
        { "sms, write", sms_path, old_sms, save_sms, 1 },
        { "sms, close", sms_path, old_sms, save_sms, 0 },
        { "devices, write", device_path, old_devices, save_devices, 1 },
        { "devices, close", device_path, old_devices, save_devices, 0 },
    };
    for (auto& each : cases) {
        SCOPED_TRACE(each.what);
        write(each.path, each.old);
        faults.clear();
        if (each.failing_write)
            faults.fail_write(each.path + u".tmp", each.failing_write, ERROR_GEN_FAILURE);
        else
            faults.fail_close(each.path + u".tmp", ERROR_GEN_FAILURE);
        EXPECT_FALSE(each.save());
        EXPECT_EQ(read(each.path), each.old);
        EXPECT_FALSE(exists(each.path + u".tmp"));
        faults.clear();
        // With nothing failing the same save goes through.
        EXPECT_TRUE(each.save());
        EXPECT_NE(read(each.path), each.old);
    }
    EXPECT_EQ(last_cursor(), arrow);

    // The steps before the file: no room on the card, no shared buffer, no temporary file.
    struct Early {
        const char* what;
        std::function<void()> arrange;
        std::function<void()> undo;
    };
    auto& mappings = device->component<kivo::FileMappings>();
    const Early early[] = {
        { "card full", [&] { volumes.set_free_bytes(kivo::VolumeId::Card, 1000); }, [&] { volumes.set_capacity(kivo::VolumeId::Card, 1ull << 30); } },
        { "no buffer", [&] { mappings.set_create_failure(ERROR_NOT_ENOUGH_MEMORY); }, [&] { mappings.set_create_failure(0); } },
        { "temporary file read-only", [&] {
             write(contacts_path + u".tmp", "");
             SetFileAttributes((contacts_path + u".tmp").c_str(), FILE_ATTRIBUTE_READONLY); },
            [&] { SetFileAttributes((contacts_path + u".tmp").c_str(), FILE_ATTRIBUTE_NORMAL); } },
    };
    for (auto& each : early) {
        SCOPED_TRACE(each.what);
        write(contacts_path, old_contacts);
        each.arrange();
        SetCursor(nullptr);
        EXPECT_FALSE(SaveContactsFile(contacts_path, big));
        EXPECT_EQ(last_cursor(), arrow);
        EXPECT_EQ(read(contacts_path), old_contacts);
        each.undo();
    }
}

TEST_F(StoredFileTest, FreeSpaceIsExactBelow4GiBAndTheSaversNeedTheWholeFile)
{
    const std::u16string folder = u"\\SDMMC\\My Documents\\";
    struct Case {
        uint64_t free;
        DWORD answer;
    };
    for (auto each : { Case { 1'048'575, 1'048'575 }, Case { 1'048'576, 1'048'576 }, Case { 0xFFFF'FFFF, 0xFFFF'FFFF },
             Case { 1ull << 32, FREE_SPACE_PLENTY }, Case { 5ull << 30, FREE_SPACE_PLENTY } }) {
        SCOPED_TRACE(each.free);
        volumes.set_free_bytes(kivo::VolumeId::Card, each.free);
        EXPECT_EQ(GetFreeDiskSpace(folder), each.answer);
        EXPECT_EQ(HasDiskSpace(folder, 0xFFFF'FFFF), each.free >= 0xFFFF'FFFF ? 1 : 0);
    }

    // An SMS list of one record makes a file of 26 + 32 + 2,216 bytes; the space check lets it be
    // written only when all of it fits.
    SmsList messages;
    messages.push_back(record_of<SmsRecord>(sms_bytes("10086", "", "Hi", 1, 1)));
    const uint64_t length = 26 + 32 + 2216;
    volumes.set_free_bytes(kivo::VolumeId::Card, length - 1);
    EXPECT_EQ(HasDiskSpace(sms_path, length), 0);
    EXPECT_FALSE(SaveSMSFile(sms_path, messages));
    EXPECT_FALSE(exists(sms_path));
    volumes.set_free_bytes(kivo::VolumeId::Card, length);
    EXPECT_EQ(HasDiskSpace(sms_path, length), 1);
    EXPECT_TRUE(SaveSMSFile(sms_path, messages));

    // Without a card nothing can be asked: no free space, and the check does not stand in the way.
    volumes.set_card_present(false);
    EXPECT_EQ(GetFreeDiskSpace(folder), 0u);
    EXPECT_EQ(HasDiskSpace(folder, 1), 1);
}

TEST_F(StoredFileTest, OnlyWholeFilesOfTheCurrentPhoneInVersion1AreRead)
{
    const Bytes ann = packed_contact(1, "SM:1", { { 15, "Ann Lee" }, { 2, "0912" } });
    const Bytes message = sms_bytes("10086", "", "Hi", 1, 1);
    const Bytes phone = device_bytes(7, 8, "Phone");
    // What each loader answers and how many records it lists.
    struct Outcome {
        bool loads;
        size_t listed;
    };
    struct Case {
        const char* what;
        Bytes contacts;
        Bytes sms;
        Bytes devices;
        Outcome contacts_outcome;
        Outcome sms_outcome;
        Outcome devices_outcome;
    };
    auto other_case = [](Bytes header, std::string_view magic) {
        header.replace(0, magic.size() * 2, utf16(magic, magic.size()));
        return header;
    };
    const std::string_view foreign = "356938035643808";
    const Case cases[] = {
        { "as written", contacts_header(imei, 1) + ann, sms_header(imei, 1) + message, device_header(1) + phone, { true, 1 }, { true, 1 },
            { true, 1 } },
        { "magic in other case", other_case(contacts_header(imei, 1), "zolcONTACT") + ann, other_case(sms_header(imei, 1), "ZolSms") + message,
            other_case(device_header(1), "zoldevice") + phone, { true, 1 }, { true, 1 }, { true, 1 } },
        // The device file has no owner.
        { "another phone", contacts_header(foreign, 1) + ann, sms_header(foreign, 1) + message, device_header(1) + phone, { false, 0 },
            { false, 0 }, { true, 1 } },
        { "version 2", contacts_header(imei, 1).replace(22, 4, le32(2)) + ann, sms_header(imei, 1).replace(14, 4, le32(2)) + message,
            device_header(1).replace(20, 4, le32(2)) + phone, { false, 0 }, { false, 0 }, { false, 0 } },
        { "cut in the header", contacts_header(imei, 1).substr(0, 40), sms_header(imei, 1).substr(0, 16), device_header(1).substr(0, 22),
            { false, 0 }, { false, 0 }, { false, 0 } },
        // Fixed-size records are cut to those present, however large or negative the count.
        { "count beyond the records", contacts_header(imei, 3) + ann, sms_header(imei, 0xFFFF'FFFF) + message + "x",
            device_header(0x7FFF'FFFF) + phone + "x", { false, 1 }, { true, 1 }, { true, 1 } },
    };
    for (auto& each : cases) {
        SCOPED_TRACE(each.what);
        write(contacts_path, each.contacts);
        write(sms_path, each.sms);
        write(device_path, each.devices);
        ContactList contacts;
        SharedBuffer buffer;
        EXPECT_EQ(LoadContactsFile(contacts_path, contacts, buffer), each.contacts_outcome.loads);
        EXPECT_EQ(contacts.size(), each.contacts_outcome.listed);
        SmsList messages;
        EXPECT_EQ(LoadSMSFile(sms_path, messages), each.sms_outcome.loads);
        EXPECT_EQ(messages.size(), each.sms_outcome.listed);
        DeviceList devices;
        EXPECT_EQ(LoadDeviceFile(device_path, devices), each.devices_outcome.loads);
        EXPECT_EQ(devices.size(), each.devices_outcome.listed);
    }

    // The IMEI is compared exactly, letter case included.
    SetCurrentIMEI(u"35693803564380A");
    write(sms_path, sms_header("35693803564380a", 1) + message);
    SmsList messages;
    EXPECT_FALSE(LoadSMSFile(sms_path, messages));
    for (auto* missing : { u"", u"\\SDMMC\\My Documents\\Nothing" }) {
        ContactList contacts;
        SharedBuffer buffer;
        EXPECT_FALSE(LoadContactsFile(missing, contacts, buffer));
        EXPECT_FALSE(LoadSMSFile(missing, messages));
        DeviceList devices;
        EXPECT_FALSE(LoadDeviceFile(missing, devices));
    }
}

TEST_F(StoredFileTest, HostileContactRecordsStopTheLoadWithinTheBuffer)
{
    const Bytes ann = packed_contact(1, "SM:1", { { 17, "Ann" } });
    Bytes bad_count = packed_contact(1, "SM:2", { { 17, "Bob" } });
    struct Case {
        const char* what;
        Bytes file;
        bool loads;
        size_t listed;
    };
    const Case cases[] = {
        { "no contacts", contacts_header(imei, 0), true, 0 },
        { "27 fields", contacts_header(imei, 2) + ann + Bytes(bad_count).replace(0, 4, le32(27)) + Bytes(524 * 26, 'x'), false, 1 },
        { "negative field count", contacts_header(imei, 2) + ann + Bytes(bad_count).replace(0, 4, le32(0xFFFF'FFFF)), false, 1 },
        { "record past the end", contacts_header(imei, 2) + ann + Bytes(bad_count).replace(0, 4, le32(5)), false, 1 },
        { "count beyond the records", contacts_header(imei, 0x8000'0000) + ann, false, 1 },
        { "count but no records", contacts_header(imei, 1), false, 0 },
    };
    for (auto& each : cases) {
        SCOPED_TRACE(each.what);
        write(contacts_path, each.file);
        ContactList contacts;
        SharedBuffer buffer;
        EXPECT_EQ(LoadContactsFile(contacts_path, contacts, buffer), each.loads);
        ASSERT_EQ(contacts.size(), each.listed);
        if (each.listed) {
            EXPECT_EQ(Bytes(reinterpret_cast<char*>(contacts.front()), ann.size()), ann);
        }
        // An empty file needs no buffer; any other buffer stays with the caller, who frees it.
        EXPECT_EQ(buffer.data == nullptr, each.listed == 0);
    }
    EXPECT_EQ(device->component<kivo::FileMappings>().view_count(), 0u);
}

TEST_F(StoredFileTest, PairingPutsANewDeviceFirstAndKeepsAKnownOneInItsPlace)
{
    auto device_record = [](uint32_t low, uint32_t high, std::string_view name) { return record_of<DeviceRecord>(device_bytes(low, high, name)); };
    ASSERT_TRUE(AddDeviceToFile(device_path, device_record(1, 0x10, "First").get()));
    ASSERT_TRUE(AddDeviceToFile(device_path, device_record(2, 0x10, "Second").get()));
    ASSERT_TRUE(AddDeviceToFile(device_path, device_record(1, 0x20, "Third").get()));
    const Bytes paired = device_header(3) + device_bytes(1, 0x20, "Third") + device_bytes(2, 0x10, "Second") + device_bytes(1, 0x10, "First");
    EXPECT_EQ(read(device_path), paired);

    // Pairing the second again, under another name, changes nothing.
    EXPECT_TRUE(AddDeviceToFile(device_path, device_record(2, 0x10, "Renamed").get()));
    EXPECT_EQ(read(device_path), paired);

    // A file that cannot be read now is left alone: another program holds it, or a read fails.
    HANDLE holder = CreateFile(device_path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(AddDeviceToFile(device_path, device_record(9, 9, "New").get()));
    CloseHandle(holder);
    EXPECT_EQ(read(device_path), paired);
    for (unsigned failing_read : { 1, 2, 3, 4, 5, 6 }) {
        SCOPED_TRACE(failing_read);
        faults.fail_read(device_path, failing_read, ERROR_GEN_FAILURE);
        EXPECT_FALSE(AddDeviceToFile(device_path, device_record(9, 9, "New").get()));
        EXPECT_EQ(read(device_path), paired);
        faults.clear();
    }

    // An older file is replaced by a list of the new device alone.
    write(device_path, Bytes(paired).replace(20, 4, le32(2)));
    EXPECT_TRUE(AddDeviceToFile(device_path, device_record(9, 9, "New").get()));
    EXPECT_EQ(read(device_path), device_header(1) + device_bytes(9, 9, "New"));

    // Without the device file's folder every operation fails.
    EXPECT_FALSE(AddDeviceToFile(u"", device_record(9, 9, "New").get()));
    EXPECT_FALSE(SaveDeviceFile(u"", {}));
}

TEST_F(StoredFileTest, ACallersNameIsFoundByAnyOfTheNumbersOfTheCurrentPhonesContacts)
{
    const Bytes contacts[] = {
        packed_contact(1, "SM:1", { { 17, "Ann" }, { 16, "Lee" }, { 2, "0912000111" } }),
        packed_contact(1, "SM:2", { { 15, "Boss" }, { 3, "0912000222" }, { 18, "0912000333" }, { 7, "*31#ext" } }),
        packed_contact(1, "SM:3", { { 15, "Duplicate" }, { 4, "0912000222" } }),
    };
    ASSERT_TRUE(SaveContactsFile(contacts_path, contact_list({ contacts[0], contacts[1], contacts[2] })));
    struct Case {
        const char* number;
        bool found;
        const char16_t* name;
    };
    // The first contact in file order wins; only number fields count; case is ignored, and nothing else.
    for (auto each : { Case { "0912000222", true, u"Boss" }, Case { "0912000111", true, u"Ann Lee" }, Case { "*31#EXT", true, u"Boss" },
             Case { "0912000333", false, u"" }, Case { "+886912000111", false, u"" }, Case { "0912 000 111", false, u"" } }) {
        SCOPED_TRACE(each.number);
        std::u16string name = u"stale";
        EXPECT_EQ(FindNameByNumber(std::u16string(each.number, each.number + std::strlen(each.number)), &name), each.found);
        EXPECT_EQ(name, each.name);
    }

    // The contacts of another phone are not searched.
    SetCurrentIMEI(u"356938035643808");
    std::u16string name;
    EXPECT_FALSE(FindNameByNumber(u"0912000222", &name));
    EXPECT_EQ(device->component<kivo::FileMappings>().view_count(), 0u);
}

TEST_F(StoredFileTest, WithoutACardThereIsNoFolderAndNoHostFolderIsMade)
{
    auto host_folder = volumes.host_folder(kivo::VolumeId::Card) / "My Documents";
    ASSERT_TRUE(RemoveDirectory(u"\\SDMMC\\My Documents"));
    volumes.set_card_present(false);
    std::u16string folder;
    EXPECT_FALSE(GetStorageCardFolder(&folder));
    EXPECT_FALSE(std::filesystem::exists(host_folder));
    std::u16string name;
    EXPECT_FALSE(FindNameByNumber(u"10086", &name));

    // With the card back the folder is made, and found again.
    volumes.set_card_present(true);
    EXPECT_TRUE(GetStorageCardFolder(&folder));
    EXPECT_EQ(folder, u"\\SDMMC\\My Documents\\");
    EXPECT_TRUE(std::filesystem::is_directory(host_folder));
    EXPECT_TRUE(GetStorageCardFolder(&folder));
}

TEST_F(StoredFileTest, RegistryStringsAreFlushedAndAFailedSetIsReported)
{
    auto& registry = device->component<kivo::Registry>();
    size_t flushes = registry.flush_count();
    EXPECT_EQ(WriteRegString(u"Software\\ZOLSOFT\\Voxlane", u"Show", u"1"), ERROR_SUCCESS);
    EXPECT_EQ(registry.flush_count(), flushes + 1);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"software\\zolsoft\\voxlane", 0, KEY_READ, &key), ERROR_SUCCESS);
    WCHAR value[8] = {};
    DWORD type = 0;
    DWORD size = sizeof(value);
    EXPECT_EQ(RegQueryValueEx(key, u"Show", nullptr, &type, reinterpret_cast<BYTE*>(value), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::u16string(value), u"1");

    // A value name the registry refuses: the set's error comes back and nothing is flushed.
    EXPECT_EQ(WriteRegString(u"Software\\ZOLSOFT\\Voxlane", u"Close\nWindow", u"0"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(registry.flush_count(), flushes + 1);
}
