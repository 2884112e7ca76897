// The phones a fresh device root starts with, so that every screen of the phone link has something
// to show on a first run: a paired phone with a full phonebook, call lists, messages and files, and
// a second one in range waiting to be paired.

#include "SimulatedPhones.h"

namespace kivo {

namespace {

constexpr int mobile_number = 2;
constexpr int home_number = 3;
constexpr int work_number = 4;

PhoneContact contact(int place, std::initializer_list<ContactField> fields)
{
    return { 1, "SM" + std::to_string(place), fields };
}

PhoneTime at(int month, int day, int hour, int minute)
{
    return { 2026, month, day, hour, minute, 0 };
}

PhoneData default_phone()
{
    PhoneData phone;
    phone.identity = { u"Dana's Lumo", 0x001A2B3C4D5Eull, u"Lumo 6", u"Varda", u"356938035643809" };
    phone.paired = true;
    phone.contacts = {
        contact(1, { { phone_field_first_name, u"Ann" }, { phone_field_last_name, u"Lee" }, { mobile_number, u"13800138000" }, { home_number, u"0755-2683-1100" } }),
        contact(2, { { phone_field_other_name, u"Bao Chen" }, { mobile_number, u"13912345678" } }),
        contact(3, { { phone_field_first_name, u"Carlos" }, { phone_field_last_name, u"Ruiz" }, { work_number, u"+34 91 555 0134" } }),
        contact(4, { { phone_field_other_name, u"陳美玲" }, { mobile_number, u"0912345678" } }),
        contact(5, { { phone_field_other_name, u"Voicemail" }, { mobile_number, u"10086" } }),
    };
    phone.calls = {
        { CallList::Received, at(12, 10, 18, 42), u"13800138000", u"Ann Lee" },
        { CallList::Received, at(12, 9, 8, 5), u"13912345678", u"Bao Chen" },
        { CallList::Dialled, at(12, 10, 19, 3), u"10086", u"Voicemail" },
        { CallList::Dialled, at(12, 8, 12, 30), u"+34 91 555 0134", u"Carlos Ruiz" },
        { CallList::Missed, at(12, 10, 7, 58), u"0912345678", u"陳美玲" },
        { CallList::Missed, at(12, 7, 21, 14), u"02-2345-6789", u"" },
    };
    phone.messages = {
        { true, 1, at(12, 10, 9, 12), u"13800138000", u"Lunch at the harbour on Friday?" },
        { true, 2, at(12, 10, 11, 40), u"0912345678", u"明天見！" },
        { true, 3, at(12, 9, 16, 2), u"10086", u"Your balance is 42.50." },
        { false, 4, at(12, 10, 9, 20), u"13800138000", u"Friday works. See you at noon." },
    };
    phone.add_file({ u"/Pictures/harbour.jpg", false, 48'213, at(11, 2, 14, 5) });
    phone.add_file({ u"/Pictures/market.jpg", false, 61'990, at(11, 14, 10, 31) });
    phone.add_file({ u"/Music/tide.mp3", false, 3'000'000, at(10, 21, 20, 0) });
    phone.add_file({ u"/Documents/notes.txt", false, 1'024, at(12, 1, 9, 0) });
    phone.add_file({ u"/Video", true, 0, at(9, 30, 12, 0) });
    return phone;
}

PhoneData waiting_phone()
{
    PhoneData phone;
    phone.identity = { u"Office Kestrel", 0x00224466880Aull, u"Kestrel 3", u"Nuvo", u"490154203237518" };
    phone.contacts = {
        contact(1, { { phone_field_other_name, u"Front desk" }, { work_number, u"020-7946-0000" } }),
        contact(2, { { phone_field_first_name, u"Dana" }, { mobile_number, u"13700001111" } }),
    };
    phone.calls = { { CallList::Dialled, at(12, 10, 10, 0), u"020-7946-0000", u"Front desk" } };
    return phone;
}

} // namespace

std::vector<PhoneData> SimulatedPhones::default_phones()
{
    return { default_phone(), waiting_phone() };
}

} // namespace kivo
