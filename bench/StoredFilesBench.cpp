// The caller's name looked up by number in 2,000 stored five-field contacts, the match being the
// last, against reading the same file whole with one ReadFile and unpacking its records: the
// look-up loads and validates the file into a shared buffer and unpacks every contact on the way.
#include "kernel/tests/TestDevice.h"

#include "Contacts.h"
#include "StoredFiles.h"

#include <benchmark/benchmark.h>

#include <list>
#include <string>
#include <vector>

namespace {

constexpr int contact_count = 2000;
const std::u16string contacts_path = u"\\SDMMC\\My Documents\\Contacts";

std::u16string wide(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

// Contacts of five fields each: first and last name, two numbers and an e-mail address.
std::vector<PhonebookEntry> make_contacts()
{
    std::vector<PhonebookEntry> contacts(contact_count);
    for (int i = 0; i < contact_count; ++i) {
        auto& entry = contacts[static_cast<size_t>(i)];
        entry.memoryType = 1;
        const std::pair<int, std::u16string> fields[] = {
            { PHONEBOOK_FIELD_FIRST_NAME, u"First" + wide(std::to_string(i)) },
            { PHONEBOOK_FIELD_LAST_NAME, u"Last" },
            { 2, u"0912" + wide(std::to_string(100000 + i)) },
            { 3, u"02" + wide(std::to_string(2000000 + i)) },
            { 20, u"someone@example.org" },
        };
        for (auto& [type, text] : fields) {
            auto& field = entry.fields[entry.fieldCount++];
            field.type = type;
            WriteRecordText(field.text, text);
        }
    }
    return contacts;
}

// A device whose card holds the contacts file of the current phone.
std::unique_ptr<kivo::Device> device_with_contacts(size_t& file_size)
{
    auto device = kivo::test::make_test_device();
    SetCurrentIMEI(u"356938035643809");
    std::u16string folder;
    GetStorageCardFolder(&folder);
    auto contacts = make_contacts();
    std::vector<std::vector<BYTE>> packed;
    ContactList list;
    for (auto& entry : contacts) {
        auto& bytes = packed.emplace_back(PACKED_CONTACT_LARGEST);
        bytes.resize(static_cast<size_t>(PackContact(&entry, bytes.data())));
        list.push_back(bytes.data());
    }
    SaveContactsFile(contacts_path, list);
    HANDLE file = CreateFile(contacts_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    file_size = GetFileSize(file, nullptr);
    CloseHandle(file);
    return device;
}

void BM_FindNameByNumberMatchingTheLast(benchmark::State& state)
{
    size_t file_size = 0;
    auto device = device_with_contacts(file_size);
    const std::u16string last_number = u"0912" + wide(std::to_string(100000 + contact_count - 1));
    for (auto _ : state) {
        std::u16string name;
        if (!FindNameByNumber(last_number, &name))
            state.SkipWithError("the last contact was not found");
        benchmark::DoNotOptimize(name);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file_size));
}
BENCHMARK(BM_FindNameByNumberMatchingTheLast)->Unit(benchmark::kMillisecond);

// The floor: the same bytes read whole and unpacked, with no checks of the header.
void BM_ReadWholeFileAndUnpackContactRun(benchmark::State& state)
{
    size_t file_size = 0;
    auto device = device_with_contacts(file_size);
    const size_t header = 34 + 32;
    std::vector<BYTE> bytes(file_size);
    for (auto _ : state) {
        HANDLE file = CreateFile(contacts_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD read = 0;
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        CloseHandle(file);
        std::vector<PhonebookEntry> entries;
        if (read != file_size || !UnpackContactRun(bytes.data() + header, file_size - header, entries) || entries.size() != contact_count)
            state.SkipWithError("the file did not unpack");
        benchmark::DoNotOptimize(entries.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file_size));
}
BENCHMARK(BM_ReadWholeFileAndUnpackContactRun)->Unit(benchmark::kMillisecond);

} // namespace
