#pragma once

// The routines that read and write contacts: packing, the number fields, the call date and the
// rules that make a display name of the name fields.

#include "PhoneRecords.h"

#include <memory>
#include <string>
#include <vector>

// Unpacks one packed contact of at most `length` bytes into out (cleared first), every byte of its
// fields as it came, so that packing it again gives the same bytes. Answers its packed length,
// or 0 when the record claims a field count outside 0 to 26 or does not fit.
int UnpackContact(const BYTE* packed, size_t length, PhonebookEntry* out);
// The same for a record known to be whole (one this program packed).
int UnpackContact(const BYTE* packed, PhonebookEntry* out);
// Writes the packed form and answers its length; 0 for a field count outside 0 to 26.
int PackContact(const PhonebookEntry* entry, BYTE* out);
// Unpacks a run of packed contacts that fills the buffer exactly; false, with the contacts read
// so far, at the first record that is refused.
bool UnpackContactRun(const BYTE* run, size_t length, std::vector<PhonebookEntry>& out);

bool IsNumberFieldType(int type);
void GetFirstNumber(const PhonebookEntry* entry, std::u16string* out);
// Heap copies of the number fields, in field order; they belong to the caller.
void CollectNumbers(const PhonebookEntry* entry, std::vector<std::unique_ptr<PhonebookField>>& numbers);
// 1 when the entry's first date field holds a valid date, else 0.
int GetContactDateTime(const PhonebookEntry* entry, PhoneDateTime* out);

bool SplitFullName(std::u16string name, std::u16string* first, std::u16string* last);
// Each writes out only when the contact has a name.
void FormatNameFirstLast(const PhonebookEntry* entry, std::u16string* out);
void FormatNameLastFirst(const PhonebookEntry* entry, std::u16string* out);
void GetContactDisplayName(const PhonebookEntry* entry, std::u16string* out);
