#include "LinkCommands.h"

#include "LinkProtocol.h"
#include "OutsideWindows.h"
#include "Simulator.h"
#include "WideText.h"

namespace kivo {

namespace {

constexpr const char16_t* phone_link_title = u"ZOL_VOXLANE";

std::optional<std::string> send_copy_data(Simulator& simulator, HWND sender, ULONG_PTR code, void* record, DWORD size)
{
    HWND link = FindWindow(nullptr, phone_link_title);
    if (!link)
        return std::string("no window \"ZOL_VOXLANE\" (start the phone link first)");
    COPYDATASTRUCT block { code, size, record };
    SendMessage(link, WM_COPYDATA, reinterpret_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&block));
    simulator.device().run_until_idle();
    return std::nullopt;
}

std::optional<std::string> subscription(Simulator& simulator, ULONG_PTR code, const std::vector<std::string>& words)
{
    if (!simulator.booted())
        return std::string("the device has not been booted (use 'boot' first)");
    if (words.size() != 2 || words[1].empty())
        return "usage: " + words[0] + " TITLE (in double quotes when it has blanks)";
    std::u16string wide = to_utf16(words[1]);
    _tagZOL_MSGOUT_WND record {};
    if (wide.size() >= std::size(record.title))
        return "a title is at most 99 characters: " + words[1];
    if (!OutsideWindows::find(wide) && !OutsideWindows::open(simulator.device(), wide))
        return "cannot make the window \"" + words[1] + "\"";
    wide.copy(record.title, wide.size());
    return send_copy_data(simulator, OutsideWindows::find(wide), code, &record, sizeof(record));
}

} // namespace

void add_link_commands(std::map<std::string, ScriptCommand>& commands, Simulator& simulator)
{
    commands["subscribe"] = [&simulator](const std::vector<std::string>& words, const std::string&) {
        return subscription(simulator, COPYDATA_REGISTERWND, words);
    };
    commands["unsubscribe"] = [&simulator](const std::vector<std::string>& words, const std::string&) {
        return subscription(simulator, COPYDATA_UNREGISTERWND, words);
    };
    commands["dialout"] = [&simulator](const std::vector<std::string>& words, const std::string&) -> std::optional<std::string> {
        if (!simulator.booted())
            return std::string("the device has not been booted (use 'boot' first)");
        _tagZOL_DIALOUT record {};
        std::u16string number = words.size() == 2 ? to_utf16(words[1]) : std::u16string();
        if (number.empty() || number.size() >= std::size(record.number))
            return std::string("usage: dialout NUMBER (at most 259 characters)");
        number.copy(record.number, number.size());
        return send_copy_data(simulator, nullptr, COPYDATA_DIALOUT, &record, sizeof(record));
    };
}

} // namespace kivo
