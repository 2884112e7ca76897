#pragma once

#include "ScriptWords.h"
#include "Types.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kivo {

// The message and code names a script may use. This is the one table of them: a program that
// brings messages of its own (fixed numbers, or names it registers at run time) adds them here.
struct MessageName {
    const char* name;
    UINT value;
};

// The platform's messages and the suite's fixed private ones.
const std::vector<MessageName>& fixed_message_names();
// The notify codes (wParam of WM_KIVO_NOTIFY).
const std::vector<MessageName>& notify_code_names();
// The names the suite's programs register with RegisterWindowMessage.
const std::vector<const char*>& registered_message_names();

// A message by number, by a fixed name (with "+N" added, as in WM_APP+11), or by a registered name
// (the suite's, or one the script declared with 'register'), registered on the running device.
// An error message when the word is none of those.
struct MessageLookup {
    std::optional<UINT> value;
    std::string error;
};
MessageLookup message_by_name(const std::string& word, const std::set<std::string>& declared);

// A 32-bit value: a number (decimal, 0x hex, or negative) or a notify code's name.
std::optional<UINT> value_of(const std::string& word);

} // namespace kivo
