#pragma once

// The phone link's stored files: the contacts and the SMS list of the current phone on the storage
// card, the paired Bluetooth devices on the flash disk. Also the free-space rule that guards the
// writes, the caller's name looked up by number, the storage-card folder and the registry values
// read by the watchdog.

#include "PhoneRecords.h"

#include <list>
#include <memory>
#include <string>

// Packed contacts as they lie in a buffer (not owned), and heap copies of SMS and device records
// (owned), each list in file order.
using ContactList = std::list<BYTE*>;
using SmsList = std::list<std::unique_ptr<SmsRecord>>;
using DeviceList = std::list<std::unique_ptr<DeviceRecord>>;

// A shared-memory block as its owner keeps it: the data, the mapping's name and its handle
// together. The holder releases the block when it goes, or earlier with Free.
class SharedBuffer {
public:
    SharedBuffer() = default;
    ~SharedBuffer() { Free(); }
    SharedBuffer(const SharedBuffer&) = delete;
    SharedBuffer& operator=(const SharedBuffer&) = delete;

    void Free();

    BYTE* data = nullptr;
    WCHAR name[MAX_PATH] = {};
    HANDLE mapping = nullptr;
};

inline constexpr const WCHAR* STORAGE_CARD_FOLDER = u"\\SDMMC\\My Documents\\";
inline constexpr const WCHAR* DEVICE_FILE_PATH = u"\\NAND\\My Documents\\Deviceinfo";
// Saves write their file in pieces of at most this many bytes.
inline constexpr DWORD STORED_FILE_PIECE = 1'024'000;
// What GetFreeDiskSpace answers for 4 GiB or more.
inline constexpr DWORD FREE_SPACE_PLENTY = 0xFFFFFFFF;

// The IMEI of the connected phone (its skin setting mobile\IMEI), which owns the contacts and SMS
// files: a file of another phone is not read. One per process; the application sets it.
void SetCurrentIMEI(std::u16string imei);
std::u16string GetCurrentIMEI();

// Savers write "<path>.tmp" beside the file, checking every write and the close, and put it in
// place only when it is whole; on any failure the old file stays and the answer is false. The
// contacts and SMS savers show the wait cursor meanwhile and the arrow again on every way out.
bool SaveContactsFile(const std::u16string& path, const ContactList& contacts);
bool SaveSMSFile(const std::u16string& path, const SmsList& messages);
bool SaveDeviceFile(const std::u16string& path, const DeviceList& devices);

// Lists the packed contacts of the file, which lie in one shared buffer handed to the caller in
// `buffer` (what it held before is released first). The buffer is the caller's to free, also when
// the answer is false; the contacts listed by then stay listed. A file without contacts loads as
// true with an empty list and no buffer.
bool LoadContactsFile(const std::u16string& path, ContactList& contacts, SharedBuffer& buffer);
// Append heap copies of the records; a count beyond the records present is cut to them.
bool LoadSMSFile(const std::u16string& path, SmsList& messages);
bool LoadDeviceFile(const std::u16string& path, DeviceList& devices);
// Puts a newly paired device at the head of the device file unless the file has it already (then
// it keeps its place), and answers the save's result. A file that cannot be read (an I/O error) is
// left as it is and the answer is false; a damaged or older file is replaced.
bool AddDeviceToFile(const std::u16string& path, const DeviceRecord* device);

// The display name of the first stored contact with a number field equal to `number` (ignoring
// case and nothing else); false with an empty name when there is none.
bool FindNameByNumber(const std::u16string& number, std::u16string* name);

// The storage-card folder, made when missing; false when there is no card.
bool GetStorageCardFolder(std::u16string* folder);
// The bytes free for the caller on the volume of `path`: FREE_SPACE_PLENTY for 4 GiB or more, 0
// when the volume cannot be queried.
DWORD GetFreeDiskSpace(const std::u16string& path);
// 0 when the volume of `path` can be queried and holds fewer than `length` free bytes (and less
// than 4 GiB), 1 otherwise.
int HasDiskSpace(const std::u16string& path, DWORD length);

// Sets a text value of a key under HKEY_LOCAL_MACHINE and flushes the key; answers the registry's
// error of the first step that failed (the open, the set), else the close's.
LONG WriteRegString(const WCHAR* subkey, const WCHAR* valueName, const WCHAR* text);
