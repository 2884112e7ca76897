#include "PhoneTextForm.h"
#include "SimulatedPhones.h"

#include <gtest/gtest.h>

using namespace kivo;

namespace {

// A phone whose texts hold everything the form must escape or carry: tabs, line breaks,
// backslashes, Chinese, and an empty name field.
PhoneData awkward_phone()
{
    PhoneData phone = SimulatedPhones::default_phones().front();
    phone.identity.name = u"Tab\there\\and\r\nbreak";
    phone.contacts.push_back({ 7, "ME\t12", { { 17, u"" }, { 2, u"\\\\server" }, { 99, u"line one\nline two" } } });
    phone.messages.push_back({ false, 9, { 2026, 1, 2, 3, 4, 5 }, u"+886 2", u"多行\n短信\t!" });
    phone.functions[4] = 0x7F;
    phone.paired = false;
    phone.pin = u"0000";
    return phone;
}

} // namespace

TEST(PhoneTextForm, WhatIsWrittenReadsBackTheSame)
{
    for (auto& phone : { SimulatedPhones::default_phones().front(), SimulatedPhones::default_phones().back(), awkward_phone() }) {
        PhoneData read;
        bool has_address = false;
        EXPECT_EQ(PhoneTextForm::read(PhoneTextForm::write(phone), read, &has_address), 0u);
        EXPECT_TRUE(has_address);
        EXPECT_EQ(read, phone);
    }
}

TEST(PhoneTextForm, ReadsCrLfLinesAndIgnoresCommentsAndBlankLines)
{
    PhoneData phone;
    std::string text = "# hand-written\r\n\r\nname\tKit\r\naddress\t00000000ABCD\r\npaired\tyes\r\ncall\tMC\t2026-05-06 07:08:09\t123\tBo\r\n";
    EXPECT_EQ(PhoneTextForm::read(text, phone), 0u);
    EXPECT_EQ(phone.identity.name, u"Kit");
    EXPECT_EQ(phone.identity.address, 0xABCDu);
    EXPECT_TRUE(phone.paired);
    EXPECT_EQ(phone.pin, u"6158");
    ASSERT_EQ(phone.calls.size(), 1u);
    EXPECT_EQ(phone.calls[0], (CallLogEntry { CallList::Missed, { 2026, 5, 6, 7, 8, 9 }, u"123", u"Bo" }));
}

TEST(PhoneTextForm, DamagedLinesAreSkippedAndCountedAndTheRestKept)
{
    const std::string good = PhoneTextForm::write(SimulatedPhones::default_phones().front());
    PhoneData expected;
    ASSERT_EQ(PhoneTextForm::read(good, expected), 0u);
    const std::string_view damaged[] = {
        "ringtone\tloud",       // unknown record
        "name\tSecond name",    // identity given twice
        "address\t001A2B3C4D5", // eleven digits
        "paired\tmaybe",
        "functions\t0101",                    // not 24 bytes
        "pin\t",                              // empty PIN
        "contact\t1\tSM9\t17Ann",             // field without its type
        "contact\tone\tSM9\t17=Ann",          // memory type not a number
        "contact\t1\tSM9\t17=Ann\\q",         // unknown escape
        "call\tXX\t2026-01-01 00:00:00\t1\t", // no such list
        "call\tRC\t2026-13-01 00:00:00\t1\t", // month 13
        "call\tRC\t2026-01-01 00:00:00\t1",   // a field short
        "sms\tdraft\t1\t2026-01-01 00:00:00\t1\thi",
        "sms\tin\t1\t2026-01-01 00:00:00\t12345678901234567890123456789012345678901\thi", // 41-digit number
        "file\t/Pictures/harbour.jpg\t1\t2026-01-01 00:00:00",                            // path taken
        "file\t/Pictures/harbour.jpg/inner\t1\t2026-01-01 00:00:00",                      // below a file
        "file\t/Pictures/../x\t1\t2026-01-01 00:00:00",
        "file\trelative\t1\t2026-01-01 00:00:00",
        "file\t/big\t-1\t2026-01-01 00:00:00",
        "file\t/huge\t999999999\t2026-01-01 00:00:00",
        "folder\t/Video\t2026-01-01 00:00:00",          // exists already
        "sms\tin\t1\t2026-01-01 00:00:00\t1\t\xC3\x28", // not UTF-8
    };
    for (auto line : damaged) {
        SCOPED_TRACE(std::string(line));
        PhoneData phone;
        EXPECT_EQ(PhoneTextForm::read(good + std::string(line) + "\n", phone), 1u);
        EXPECT_EQ(phone, expected);
    }
    std::string contact_too_long = "contact\t1\tSM9";
    for (int i = 0; i < 27; ++i)
        contact_too_long += "\t2=1";
    PhoneData phone;
    EXPECT_EQ(PhoneTextForm::read(good + contact_too_long + "\n", phone), 1u);
    EXPECT_EQ(phone.contacts.size(), expected.contacts.size());
}

TEST(PhoneTextForm, FilesBringTheFoldersAboveThem)
{
    PhoneData phone;
    EXPECT_EQ(PhoneTextForm::read("file\t/a/b/c.txt\t5\t2026-01-01 00:00:00\n", phone), 0u);
    ASSERT_EQ(phone.files.size(), 3u);
    EXPECT_TRUE(phone.files[0].folder);
    EXPECT_EQ(phone.files[0].path, u"/a");
    EXPECT_EQ(phone.files[1].path, u"/a/b");
    EXPECT_EQ(phone.files[2].name(), u"c.txt");
    EXPECT_EQ(phone.files[2].parent(), u"/a/b");
    EXPECT_EQ(phone_file_content(phone.files[2]).size(), 5u);
    EXPECT_EQ(phone_file_content(phone.files[2]), phone_file_content(phone.files[2]));
}
