#include "Contacts.h"

#include "WideText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <random>

namespace {

using Bytes = std::vector<BYTE>;

void put(Bytes& bytes, size_t offset, std::initializer_list<int> values)
{
    for (int value : values)
        bytes[offset++] = static_cast<BYTE>(value);
}

// One contact worked out by hand from the packed layout: field count 4, memory type 1, location
// "SM:12", then first name "Ann", last name 王 (U+738B), number "0912" and a date field whose
// date lies 404 bytes into its text: 31 December 2023, 24:30:05.
Bytes golden_contact()
{
    Bytes bytes(108 + 4 * 524, 0);
    put(bytes, 0, { 4, 0, 0, 0 });
    put(bytes, 4, { 1, 0, 0, 0 });
    put(bytes, 8, { 'S', 'M', ':', '1', '2' });
    put(bytes, 108, { 17, 0, 0, 0, 'A', 0, 'n', 0, 'n', 0 });
    put(bytes, 632, { 16, 0, 0, 0, 0x8B, 0x73 });
    put(bytes, 1156, { 2, 0, 0, 0, '0', 0, '9', 0, '1', 0, '2', 0 });
    put(bytes, 1680, { 13, 0, 0, 0 });
    put(bytes, 2088, { 0, 0, 0, 0, 5, 0, 0, 0, 30, 0, 0, 0, 24, 0, 0, 0, 31, 0, 0, 0, 12, 0, 0, 0, 0xE7, 0x07, 0, 0 });
    return bytes;
}

PhonebookEntry contact(std::initializer_list<std::pair<int, std::u16string_view>> fields)
{
    PhonebookEntry entry {};
    for (auto& [type, text] : fields) {
        auto& field = entry.fields[entry.fieldCount++];
        field.type = type;
        WriteRecordText(field.text, text);
    }
    return entry;
}

PhonebookEntry dated(PhoneDateTime date)
{
    auto entry = contact({ { 17, u"Ann" }, { PHONEBOOK_FIELD_DATETIME, u"" } });
    std::memcpy(reinterpret_cast<BYTE*>(entry.fields[1].text) + PHONEBOOK_DATETIME_OFFSET, &date, sizeof(date));
    return entry;
}

} // namespace

TEST(PackedContact, PacksAndUnpacksToTheHandWorkedBytes)
{
    auto entry = contact({ { 17, u"Ann" }, { 16, u"王" }, { 2, u"0912" }, { 13, u"" } });
    entry.memoryType = 1;
    std::memcpy(entry.location, "SM:12", 5);
    PhoneDateTime date { 0, 5, 30, 24, 31, 12, 2023 };
    std::memcpy(reinterpret_cast<BYTE*>(entry.fields[3].text) + PHONEBOOK_DATETIME_OFFSET, &date, sizeof(date));

    const Bytes golden = golden_contact();
    Bytes packed(golden.size() + 10, 0xAA);
    EXPECT_EQ(PackContact(&entry, packed.data()), static_cast<int>(golden.size()));
    EXPECT_EQ(Bytes(packed.begin(), packed.begin() + golden.size()), golden);
    EXPECT_EQ(packed[golden.size()], 0xAA);

    // A record may start at any address.
    Bytes shifted(golden.size() + 1);
    std::memcpy(shifted.data() + 1, golden.data(), golden.size());
    PhonebookEntry unpacked;
    std::memset(&unpacked, 0x55, sizeof(unpacked));
    EXPECT_EQ(UnpackContact(shifted.data() + 1, golden.size(), &unpacked), static_cast<int>(golden.size()));
    EXPECT_EQ(std::memcmp(&unpacked, &entry, sizeof(entry)), 0);
    PhoneDateTime read {};
    EXPECT_EQ(GetContactDateTime(&unpacked, &read), 1);
    EXPECT_EQ(read.year, 2023);
    EXPECT_EQ(read.hour, 24);

    Bytes empty(108, 0);
    PhonebookEntry none;
    EXPECT_EQ(UnpackContact(empty.data(), empty.size(), &none), 108);
    EXPECT_EQ(none.fieldCount, 0);
}

// Fields the phone link does not read travel through it untouched: the handset modules keep ids
// in a field's text room and texts need not end inside their field.
TEST(PackedContact, EveryByteOfAnyRecordPacksBackUnchanged)
{
    std::mt19937 random(7);
    for (int count : { 0, 1, 13, PHONEBOOK_MAX_FIELDS }) {
        Bytes packed(PACKED_CONTACT_HEAD + count * sizeof(PhonebookField));
        for (auto& byte : packed)
            byte = static_cast<BYTE>(random() | 1); // no zero anywhere, so no text ends in its field
        put(packed, 0, { count, 0, 0, 0 });
        PhonebookEntry entry;
        ASSERT_EQ(UnpackContact(packed.data(), packed.size(), &entry), static_cast<int>(packed.size())) << count;
        Bytes again(packed.size());
        ASSERT_EQ(PackContact(&entry, again.data()), static_cast<int>(packed.size())) << count;
        EXPECT_EQ(again, packed) << count;
    }

    // The shared int of a numeric field lies 436 bytes into the field.
    Bytes golden = golden_contact();
    put(golden, 108 + 524 + 436, { 0x78, 0x56, 0x34, 0x12 });
    PhonebookEntry entry;
    ASSERT_GT(UnpackContact(golden.data(), golden.size(), &entry), 0);
    EXPECT_EQ(GetFieldValue(entry.fields[1]), 0x12345678);
    SetFieldValue(entry.fields[0], -2);
    Bytes packed(golden.size());
    PackContact(&entry, packed.data());
    EXPECT_EQ(Bytes(packed.begin() + 108 + 436, packed.begin() + 108 + 440), (Bytes { 0xFE, 0xFF, 0xFF, 0xFF }));
    EXPECT_EQ(ReadRecordText(entry.fields[1].text), u"王") << "the text before it is unchanged";
}

TEST(PackedContact, RecordsWithImpossibleCountsOrThatDoNotFitAreRefused)
{
    Bytes golden = golden_contact();
    struct Case {
        const char* name;
        std::initializer_list<int> count;
        size_t length;
    };
    const Case cases[] = {
        { "negative count", { 0xFF, 0xFF, 0xFF, 0xFF }, golden.size() },
        { "27 fields", { 27, 0, 0, 0 }, golden.size() },
        { "huge count", { 0xFF, 0xFF, 0xFF, 0x7F }, golden.size() },
        { "cut short", { 4, 0, 0, 0 }, golden.size() - 1 },
        { "no head", { 0, 0, 0, 0 }, 107 },
    };
    for (auto& c : cases) {
        Bytes bytes = golden;
        put(bytes, 0, c.count);
        PhonebookEntry entry;
        EXPECT_EQ(UnpackContact(bytes.data(), c.length, &entry), 0) << c.name;
    }

    auto entry = contact({ { 2, u"1" } });
    Bytes out(200, 0xAA);
    for (int count : { -1, 27 }) {
        entry.fieldCount = count;
        EXPECT_EQ(PackContact(&entry, out.data()), 0) << count;
    }
    EXPECT_EQ(out[0], 0xAA);
}

TEST(PackedContact, ARunStopsAtTheFirstRefusedRecord)
{
    Bytes golden = golden_contact();
    Bytes run = golden;
    Bytes bare(108, 0);
    run.insert(run.end(), bare.begin(), bare.end());
    std::vector<PhonebookEntry> entries;
    EXPECT_TRUE(UnpackContactRun(run.data(), run.size(), entries));
    EXPECT_EQ(entries.size(), 2u);

    Bytes bad = golden;
    bad[0] = 27;
    run.insert(run.end(), bad.begin(), bad.end());
    entries.clear();
    EXPECT_FALSE(UnpackContactRun(run.data(), run.size(), entries));
    EXPECT_EQ(entries.size(), 2u);
    entries.clear();
    EXPECT_FALSE(UnpackContactRun(run.data(), golden.size() + 50, entries));
    EXPECT_EQ(entries.size(), 1u);
}

TEST(ContactText, TextFromOutsideIsReadWithinItsField)
{
    Bytes packed = golden_contact();
    for (size_t i = 0; i < 520; i += 2)
        put(packed, 1160 + i, { '7', 0 });
    PhonebookEntry entry;
    ASSERT_GT(UnpackContact(packed.data(), packed.size(), &entry), 0);
    std::u16string number;
    GetFirstNumber(&entry, &number);
    EXPECT_EQ(number, std::u16string(260, u'7'));

    // An entry handed over in memory, with no zero in its field and a count beyond 26.
    PhonebookEntry raw {};
    raw.fieldCount = 1000;
    raw.fields[25].type = 3;
    std::fill(std::begin(raw.fields[25].text), std::end(raw.fields[25].text), u'5');
    GetFirstNumber(&raw, &number);
    EXPECT_EQ(number, std::u16string(260, u'5'));
}

TEST(ContactNumbers, TheNumberTypesAreExactlyTheTelephoneTypes)
{
    const std::pair<int, int> number_ranges[] = { { 1, 7 }, { 38, 39 }, { 44, 47 }, { 54, 58 }, { 64, 72 } };
    for (int type = -2; type <= 100; ++type) {
        bool expected = std::any_of(std::begin(number_ranges), std::end(number_ranges),
            [type](auto range) { return type >= range.first && type <= range.second; });
        EXPECT_EQ(IsNumberFieldType(type), expected) << type;
    }
}

TEST(ContactNumbers, FirstNumberAndCollectedNumbersFollowFieldOrder)
{
    auto entry = contact({ { 17, u"Ann" }, { 8, u"not a number" }, { 3, u"111" }, { 64, u"222" }, { 40, u"333" } });
    std::u16string first = u"unchanged";
    GetFirstNumber(&entry, &first);
    EXPECT_EQ(first, u"111");
    std::vector<std::unique_ptr<PhonebookField>> numbers;
    numbers.push_back(std::make_unique<PhonebookField>());
    CollectNumbers(&entry, numbers);
    ASSERT_EQ(numbers.size(), 2u);
    EXPECT_EQ(numbers[0]->type, 3);
    EXPECT_EQ(ReadRecordText(numbers[1]->text), u"222");

    auto no_numbers = contact({ { 17, u"Ann" } });
    first = u"unchanged";
    GetFirstNumber(&no_numbers, &first);
    EXPECT_EQ(first, u"unchanged");
    CollectNumbers(&no_numbers, numbers);
    EXPECT_TRUE(numbers.empty());
}

TEST(ContactNames, TheThreeNameRules)
{
    struct Case {
        std::u16string first;
        std::u16string last;
        std::u16string other;
        std::u16string first_last;
        std::u16string last_first;
        std::u16string display;
    };
    const std::u16string kept = u"kept";
    const Case cases[] = {
        { u"Ann", u"Lee", u"", u"Ann Lee", u"Lee,Ann", u"Ann Lee" },
        { u"", u"", u"Ann Marie Lee", u"Ann Marie Lee", u"Marie Lee,Ann", u"Ann Marie Lee" },
        { u"", u"", u"Prince", u"Prince", u"Prince", u"Prince" },
        { u"", u"", u" Lee", u"Lee", u"Lee", u" Lee" },
        { u"Ann", u"Lee", u"Boss", u"Ann Lee", u"Lee,Ann", u"Boss" },
        { u"Ann", u"", u"", u"Ann", u"Ann", u"Ann" },
        { u"", u"Lee", u"", u"Lee", u"Lee", u"Lee" },
        { u"", u"", u"", kept, kept, kept },
    };
    for (auto& c : cases) {
        PhonebookEntry entry = contact({ { 2, u"0912" } });
        for (auto [type, text] : { std::pair { 17, c.first }, std::pair { 16, c.last }, std::pair { 15, c.other } }) {
            if (!text.empty()) {
                auto& field = entry.fields[entry.fieldCount++];
                field.type = type;
                WriteRecordText(field.text, text);
            }
        }
        std::u16string first_last = kept;
        std::u16string last_first = kept;
        std::u16string display = kept;
        FormatNameFirstLast(&entry, &first_last);
        FormatNameLastFirst(&entry, &last_first);
        GetContactDisplayName(&entry, &display);
        auto label = kivo::to_utf8(c.first + u"/" + c.last + u"/" + c.other);
        EXPECT_EQ(first_last, c.first_last) << label;
        EXPECT_EQ(last_first, c.last_first) << label;
        EXPECT_EQ(display, c.display) << label;
    }

    // When a name type occurs twice the later field wins.
    auto twice = contact({ { 17, u"Ann" }, { 17, u"Bea" } });
    std::u16string name;
    GetContactDisplayName(&twice, &name);
    EXPECT_EQ(name, u"Bea");
}

TEST(ContactNames, SplittingCutsAtTheFirstSpace)
{
    std::u16string first = u"f";
    std::u16string last = u"l";
    EXPECT_FALSE(SplitFullName(u"", &first, &last));
    EXPECT_EQ(first + last, u"fl");
    EXPECT_TRUE(SplitFullName(u"Prince", &first, &last));
    EXPECT_EQ(first, u"Prince");
    EXPECT_EQ(last, u"");
    EXPECT_TRUE(SplitFullName(u"a b  c", &first, &last));
    EXPECT_EQ(first, u"a");
    EXPECT_EQ(last, u"b  c");
}

TEST(ContactDate, TheBoundsAreThePhonesOwn)
{
    struct Case {
        PhoneDateTime date; // zone, second, minute, hour, day, month, year
        int valid;
    };
    const Case cases[] = {
        { { 0, 60, 60, 24, 31, 12, 2023 }, 1 },
        { { 9, 0, 0, 0, 1, 1, 1 }, 1 },
        { { 0, 0, 0, 0, 1, 0, 2023 }, 0 },
        { { 0, 0, 0, 0, 1, 13, 2023 }, 0 },
        { { 0, 0, 0, 0, 0, 1, 2023 }, 0 },
        { { 0, 0, 0, 0, 32, 1, 2023 }, 0 },
        { { 0, 0, 0, 0, 1, 1, 0 }, 0 },
        { { 0, 0, 0, 25, 1, 1, 2023 }, 0 },
        { { 0, 0, 61, 0, 1, 1, 2023 }, 0 },
        { { 0, 61, 0, 0, 1, 1, 2023 }, 0 },
        { { 0, -1, 0, 0, 1, 1, 2023 }, 0 },
        { { 0, 0, 0, -1, 1, 1, 2023 }, 0 },
    };
    for (auto& c : cases) {
        auto entry = dated(c.date);
        PhoneDateTime out {};
        EXPECT_EQ(GetContactDateTime(&entry, &out), c.valid) << c.date.year << "-" << c.date.month << "-" << c.date.day << " "
                                                             << c.date.hour << ":" << c.date.minute << ":" << c.date.second;
        EXPECT_EQ(std::memcmp(&out, &c.date, sizeof(out)), 0);
    }
    auto undated = contact({ { 17, u"Ann" } });
    PhoneDateTime out {};
    EXPECT_EQ(GetContactDateTime(&undated, &out), 0);
}
