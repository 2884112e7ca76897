#include "ManagerCommands.h"

#include "ScriptWords.h"
#include "Simulator.h"
#include "WideText.h"
#include "ZolManagerU.h"
#include "ZolRecord.h"

#include <algorithm>
#include <climits>

namespace kivo {

namespace {

constexpr const char* usage = "usage: manager missing|present|lacks ENTRY|fail ENTRY CODE [N]|delay ENTRY MS|clear";

bool is_entry(const std::string& name)
{
    return std::any_of(ZOL_ENTRY_NAMES.begin(), ZOL_ENTRY_NAMES.end(), [&](const WCHAR* entry) { return to_utf8(entry) == name; });
}

std::optional<std::string> manager_command(Simulator& simulator, const std::vector<std::string>& words)
{
    if (words.size() < 2)
        return std::string(usage);
    const std::string& knob = words[1];
    bool names_entry = knob == "lacks" || knob == "fail" || knob == "delay";
    if (names_entry && (words.size() < 3 || !is_entry(words[2])))
        return words.size() < 3 ? std::string(usage) : "not an entry of the manager: " + words[2];
    // Knobs set before boot go into the device the next boot starts from.
    if (!simulator.prepared()) {
        std::string error;
        if (!simulator.prepare(&error))
            return error;
    }
    auto& record = simulator.device().component<ZolRecord>();
    if ((knob == "missing" || knob == "present" || knob == "clear") && words.size() == 2) {
        if (knob == "clear")
            record.clear_all();
        else
            record.set_missing(knob == "missing");
        return std::nullopt;
    }
    if (knob == "lacks" && words.size() == 3) {
        record.set_lacking(words[2], true);
        return std::nullopt;
    }
    if (knob == "fail" && (words.size() == 4 || words.size() == 5)) {
        auto code = script_number(words[3]);
        auto times = words.size() == 5 ? script_number(words[4]) : std::optional<long long>(0);
        if (!code || *code < INT_MIN || *code > INT_MAX)
            return "not a result code: " + words[3];
        if (!times || *times < 0 || *times > INT_MAX)
            return "not a number of calls: " + words[4];
        record.fail(words[2], static_cast<int>(*code), *times ? std::optional<int>(static_cast<int>(*times)) : std::nullopt);
        return std::nullopt;
    }
    if (knob == "delay" && words.size() == 4) {
        auto ms = script_number(words[3]);
        if (!ms || *ms < 0 || *ms > INT_MAX)
            return "not a delay in milliseconds: " + words[3];
        record.delay(words[2], static_cast<uint64_t>(*ms));
        return std::nullopt;
    }
    return std::string(usage);
}

} // namespace

void add_manager_commands(std::map<std::string, ScriptCommand>& commands, Simulator& simulator)
{
    commands["manager"] = [&simulator](const std::vector<std::string>& words, const std::string&) {
        return manager_command(simulator, words);
    };
}

} // namespace kivo
