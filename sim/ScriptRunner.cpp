#include "ScriptRunner.h"

#include "DeviceEvents.h"
#include "FrameBuffer.h"
#include "KernelApi.h"
#include "KivoNotify.h"
#include "MessageBoxes.h"
#include "NavigationStandIn.h"
#include "OutsideWindows.h"
#include "Process.h"
#include "Screenshot.h"
#include "Simulator.h"
#include "SoundDevice.h"
#include "TouchInput.h"
#include "WideText.h"
#include "platform.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace kivo {

namespace {

std::optional<long long> number(const std::string& word)
{
    long long value = 0;
    int base = 10;
    std::string_view text = word;
    bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return negative ? -value : value;
}

std::string stop_reason_name(StopReason reason)
{
    switch (reason) {
    case StopReason::None:
        return "on";
    case StopReason::PowerOff:
        return "off";
    case StopReason::Reset:
        return "reset";
    case StopReason::Destroyed:
        return "destroyed";
    }
    return "?";
}

std::string join(const std::vector<std::string>& words, size_t from)
{
    std::string text;
    for (size_t i = from; i < words.size(); ++i)
        text += (i > from ? " " : "") + words[i];
    return text;
}

// "HKEY_LOCAL_MACHINE\Software\ZOLSOFT" (or HKLM, HKCU, HKCR) split into its root and subkey.
std::optional<std::pair<HKEY, std::u16string>> registry_key(const std::string& text)
{
    struct Root {
        const char* long_name;
        const char* short_name;
        HKEY key;
    } roots[] = {
        { "HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE },
        { "HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER },
        { "HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT },
    };
    auto slash = text.find('\\');
    std::string root_name = text.substr(0, slash);
    for (auto& root : roots) {
        if (root_name == root.long_name || root_name == root.short_name)
            return std::pair { root.key, to_utf16(slash == std::string::npos ? "" : text.substr(slash + 1)) };
    }
    return std::nullopt;
}

// A window message by number, by a name the platform defines (WM_APP+11 style sums included),
// or else by a name the suite registers.
std::optional<UINT> message_number(const std::string& text)
{
    if (auto value = number(text))
        return static_cast<UINT>(*value);
    std::string name = text;
    long long offset = 0;
    if (auto plus = text.find('+'); plus != std::string::npos) {
        auto added = number(text.substr(plus + 1));
        if (!added)
            return std::nullopt;
        name = text.substr(0, plus);
        offset = *added;
    }
    static const std::map<std::string, UINT> known {
        { "WM_CLOSE", WM_CLOSE },
        { "WM_COMMAND", WM_COMMAND },
        { "WM_TIMER", WM_TIMER },
        { "WM_USER", WM_USER },
        { "WM_APP", WM_APP },
        { "WM_KIVO_NOTIFY", WM_KIVO_NOTIFY },
        { "WM_ACTIVATE", WM_ACTIVATE },
    };
    if (auto it = known.find(name); it != known.end())
        return it->second + static_cast<UINT>(offset);
    if (offset)
        return std::nullopt;
    UINT registered = RegisterWindowMessage(to_utf16(name).c_str());
    if (!registered)
        return std::nullopt;
    return registered;
}

std::optional<int> button_number(const std::string& text)
{
    static const std::map<std::string, int> buttons {
        { "OK", IDOK },
        { "Cancel", IDCANCEL },
        { "Abort", IDABORT },
        { "Retry", IDRETRY },
        { "Ignore", IDIGNORE },
        { "Yes", IDYES },
        { "No", IDNO },
    };
    for (auto& [name, id] : buttons) {
        if (equals_ignoring_case(to_utf16(name), to_utf16(text)))
            return id;
    }
    return std::nullopt;
}

std::string window_state(HWND window)
{
    if (!window)
        return "absent";
    return IsWindowVisible(window) ? "visible" : "hidden";
}

std::string window_title(HWND window)
{
    if (!window)
        return "no window";
    WCHAR title[256] = {};
    GetWindowText(window, title, 256);
    return "\"" + to_utf8(title) + "\"";
}

// The rest of a line after its first `count` words.
std::string rest_after(const std::string& line, size_t count)
{
    size_t position = 0;
    for (size_t i = 0; i < count; ++i) {
        position = line.find_first_not_of(" \t", position);
        if (position == std::string::npos)
            return {};
        position = line.find_first_of(" \t", position);
        if (position == std::string::npos)
            return {};
    }
    position = line.find_first_not_of(" \t", position);
    return position == std::string::npos ? std::string() : line.substr(position);
}

} // namespace

ScriptRunner::ScriptRunner(Simulator& simulator, std::ostream& errors)
    : m_simulator(simulator)
    , m_errors(errors)
{
    add_commands();
}

std::vector<std::string> ScriptRunner::split(const std::string& line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        if (line[i] == '#')
            break;
        std::string word;
        if (line[i] == '"') {
            size_t end = line.find('"', i + 1);
            word = line.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            i = end == std::string::npos ? line.size() : end + 1;
        } else {
            size_t end = line.find_first_of(" \t", i);
            word = line.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? line.size() : end;
        }
        words.push_back(word);
    }
    return words;
}

bool ScriptRunner::run(std::istream& script, const std::string& script_name)
{
    std::string line;
    int line_number = 0;
    while (std::getline(script, line)) {
        ++line_number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (auto error = run_line(line)) {
            m_errors << script_name << ":" << line_number << ": " << line << "\n  " << *error << "\n";
            return false;
        }
    }
    return true;
}

std::optional<std::string> ScriptRunner::run_line(const std::string& line)
{
    auto words = split(line);
    if (words.empty())
        return std::nullopt;
    auto it = m_commands.find(words[0]);
    if (it == m_commands.end())
        return "unknown command '" + words[0] + "' (see kivo-sim --help)";
    // The rest of the line keeps its blanks, for texts and titles; a trailing comment is dropped.
    std::string rest = rest_after(line, 1);
    if (auto hash = rest.find(" #"); hash != std::string::npos && rest.front() != '"')
        rest.erase(hash);
    return it->second(words, rest);
}

std::optional<std::string> ScriptRunner::require_device() const
{
    if (!m_simulator.booted())
        return std::string("the device has not been booted (use 'boot' first)");
    return std::nullopt;
}

void ScriptRunner::add_commands()
{
    m_commands["boot"] = [this](const Words&, const std::string&) -> std::optional<std::string> {
        m_simulator.boot();
        m_debug_cursor = 0;
        m_simulator.device().run_until_idle();
        return std::nullopt;
    };
    m_commands["start"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        if (words.size() < 2)
            return "usage: start PATH [ARGS...]";
        std::string arguments = join(words, 2);
        DWORD error = 0;
        if (!m_simulator.device().create_process(to_utf16(words[1]), to_utf16(arguments), error))
            return "cannot start " + words[1] + " (error " + std::to_string(error) + ")";
        m_simulator.device().run_until_idle();
        return std::nullopt;
    };
    m_commands["wait"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        auto ms = words.size() == 2 ? number(words[1]) : std::nullopt;
        if (!ms || *ms < 0)
            return "usage: wait MS";
        m_simulator.device().advance(static_cast<uint64_t>(*ms));
        return std::nullopt;
    };
    m_commands["idle"] = [this](const Words&, const std::string&) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        m_simulator.device().run_until_idle();
        return std::nullopt;
    };
    m_commands["time"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        SYSTEMTIME time {};
        int year, month, day, hour, minute, second;
        if (words.size() != 3
            || std::sscanf((words[1] + " " + words[2]).c_str(), "%d-%d-%d %d:%d:%d", &year, &month, &day, &hour, &minute, &second) != 6)
            return "usage: time YYYY-MM-DD HH:MM:SS";
        time.wYear = static_cast<WORD>(year);
        time.wMonth = static_cast<WORD>(month);
        time.wDay = static_cast<WORD>(day);
        time.wHour = static_cast<WORD>(hour);
        time.wMinute = static_cast<WORD>(minute);
        time.wSecond = static_cast<WORD>(second);
        if (!SetLocalTime(&time))
            return "not a valid date and time: " + words[1] + " " + words[2];
        return std::nullopt;
    };
    m_commands["put"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        if (words.size() < 2 || words.size() > 3)
            return "usage: put PATH [HOSTFILE]";
        std::string content;
        if (words.size() == 3) {
            std::ifstream host(words[2], std::ios::binary);
            if (!host)
                return "cannot read the host file " + words[2];
            content.assign(std::istreambuf_iterator<char>(host), {});
        }
        HANDLE file = CreateFile(to_utf16(words[1]).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return "cannot create " + words[1] + " (error " + std::to_string(GetLastError()) + ")";
        DWORD written = 0;
        bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) && written == content.size();
        DWORD error = GetLastError();
        CloseHandle(file);
        if (!ok)
            return "cannot write " + words[1] + " (error " + std::to_string(error) + ")";
        return std::nullopt;
    };
    m_commands["delete"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        if (words.size() != 2)
            return "usage: delete PATH";
        auto path = to_utf16(words[1]);
        DWORD attributes = GetFileAttributes(path.c_str());
        bool ok = attributes != INVALID_FILE_ATTRIBUTES
            && ((attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectory(path.c_str()) : DeleteFile(path.c_str()));
        if (!ok)
            return "cannot delete " + words[1] + " (error " + std::to_string(GetLastError()) + ")";
        return std::nullopt;
    };
    auto touch = [this](const Words& words, void (TouchInput::*action)(int, int)) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        auto x = words.size() == 3 ? number(words[1]) : std::nullopt;
        auto y = words.size() == 3 ? number(words[2]) : std::nullopt;
        if (!x || !y)
            return "usage: " + words[0] + " X Y";
        (m_simulator.device().component<TouchInput>().*action)(static_cast<int>(*x), static_cast<int>(*y));
        m_simulator.device().run_until_idle();
        return std::nullopt;
    };
    m_commands["press"] = [touch](const Words& words, const std::string&) { return touch(words, &TouchInput::press); };
    m_commands["move"] = [touch](const Words& words, const std::string&) { return touch(words, &TouchInput::move); };
    m_commands["release"] = [touch](const Words& words, const std::string&) { return touch(words, &TouchInput::release); };
    m_commands["tap"] = [this, touch](const Words& words, const std::string&) -> std::optional<std::string> {
        // Press and release 50 ms apart, as a finger does.
        if (auto error = touch({ "tap", words.size() > 1 ? words[1] : "", words.size() > 2 ? words[2] : "" }, &TouchInput::press))
            return error;
        if (words.size() != 3)
            return std::string("usage: tap X Y");
        m_simulator.device().advance(50);
        return touch(words, &TouchInput::release);
    };
    m_commands["event"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (words.size() < 2 || words.size() > 3)
            return "usage: event NAME [VALUE]";
        std::optional<long long> value;
        if (words.size() == 3) {
            value = number(words[2]);
            if (!value)
                return "not a number: " + words[2];
        }
        if (auto error = DeviceEvents(m_simulator).raise(words[1], value))
            return error;
        m_simulator.device().run_until_idle();
        return std::nullopt;
    };
    m_commands["notify"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        auto code = words.size() >= 2 ? number(words[1]) : std::nullopt;
        if (!code)
            return "usage: notify CODE [LPARAM] [TITLE]";
        long long lparam = 0;
        size_t title_at = 2;
        if (words.size() > 2) {
            if (auto value = number(words[2])) {
                lparam = *value;
                title_at = 3;
            }
        }
        std::string title = words.size() > title_at ? join(words, title_at) : "hubscreen";
        HWND window = FindWindow(nullptr, to_utf16(title).c_str());
        if (!window)
            return "no window \"" + title + "\" to notify";
        PostMessage(window, WM_KIVO_NOTIFY, static_cast<WPARAM>(*code), static_cast<LPARAM>(lparam));
        m_simulator.device().run_until_idle();
        return std::nullopt;
    };
    m_commands["navi"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        auto code = words.size() >= 2 && words.size() <= 3 ? number(words[1]) : std::nullopt;
        auto lparam = words.size() == 3 ? number(words[2]) : std::optional<long long>(0);
        if (!code || !lparam)
            return "usage: navi CODE [LPARAM] (13, 14, 17 or 18)";
        auto& navigation = m_simulator.device().component<NavigationStandIn>();
        if (!navigation.post_to_home(static_cast<WPARAM>(*code), static_cast<LPARAM>(*lparam)))
            return "the navigation does not run, or does not send code " + words[1];
        m_simulator.device().run_until_idle();
        return std::nullopt;
    };
    auto deliver = [this](const Words& words, bool send) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        if (words.size() < 3 || words.size() > 5)
            return "usage: " + words[0] + " TITLE MSG [WPARAM] [LPARAM]";
        auto message = message_number(words[2]);
        auto wparam = words.size() > 3 ? number(words[3]) : std::optional<long long>(0);
        auto lparam = words.size() > 4 ? number(words[4]) : std::optional<long long>(0);
        if (!message || !wparam || !lparam)
            return "usage: " + words[0] + " TITLE MSG [WPARAM] [LPARAM] (MSG a number or a message name)";
        HWND window = FindWindow(nullptr, to_utf16(words[1]).c_str());
        if (!window)
            return "no window \"" + words[1] + "\"";
        if (send)
            SendMessage(window, *message, static_cast<WPARAM>(*wparam), static_cast<LPARAM>(*lparam));
        else
            PostMessage(window, *message, static_cast<WPARAM>(*wparam), static_cast<LPARAM>(*lparam));
        m_simulator.device().run_until_idle();
        return std::nullopt;
    };
    m_commands["post"] = [deliver](const Words& words, const std::string&) { return deliver(words, false); };
    m_commands["send"] = [deliver](const Words& words, const std::string&) { return deliver(words, true); };
    m_commands["window"] = [this](const Words&, const std::string& rest) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        auto title = split(rest);
        if (title.size() != 1)
            return std::string("usage: window TITLE (in double quotes when it has blanks)");
        if (!OutsideWindows::open(m_simulator.device(), to_utf16(title[0])))
            return "cannot make the window \"" + title[0] + "\"";
        return std::nullopt;
    };
    m_commands["close-window"] = [this](const Words&, const std::string& rest) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        auto title = split(rest);
        if (title.size() != 1)
            return std::string("usage: close-window TITLE");
        if (!OutsideWindows::close(m_simulator.device(), to_utf16(title[0])))
            return "no window \"" + title[0] + "\" made by 'window'";
        return std::nullopt;
    };
    m_commands["answer"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        auto button = words.size() == 2 ? button_number(words[1]) : std::nullopt;
        if (!button)
            return "usage: answer OK|Cancel|Yes|No|Abort|Retry|Ignore";
        m_answers.push_back(*button);
        m_simulator.device().component<MessageBoxes>().set_responder([this](const MessageBoxRecord&) {
            if (m_answers.empty())
                return 0; // left open for a tap
            int answer = m_answers.front();
            m_answers.erase(m_answers.begin());
            return answer;
        });
        // A box already open takes its answer at once.
        if (m_simulator.device().component<MessageBoxes>().answer(*button))
            m_answers.pop_back();
        m_simulator.device().run_until_idle();
        return std::nullopt;
    };
    m_commands["shot"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        if (words.size() != 2)
            return "usage: shot FILE";
        std::filesystem::path path = m_simulator.options().shots / words[1];
        std::filesystem::create_directories(path.parent_path());
        if (!write_screenshot_png(m_simulator.device(), path))
            return "cannot write " + path.string();
        return std::nullopt;
    };
    m_commands["expect"] = [this](const Words& words, const std::string& rest) { return expect(words, rest); };
}

std::optional<std::string> ScriptRunner::expect(const Words& words, const std::string& rest)
{
    if (words.size() < 2)
        return "usage: expect WHAT ...";
    const std::string& what = words[1];
    if (what == "power") {
        if (words.size() != 3)
            return "usage: expect power on|off|reset";
        std::string found = m_simulator.booted() ? stop_reason_name(m_simulator.device().stop_reason()) : "off";
        if (found != words[2])
            return "expected power " + words[2] + ", found " + found;
        return std::nullopt;
    }
    if (auto error = require_device())
        return error;
    Device& device = m_simulator.device();
    if (what == "debug") {
        std::string text = rest_after(rest, 1);
        if (text.empty())
            return "usage: expect debug TEXT";
        size_t found_at = 0;
        if (!device.debug_log().contains(text, m_debug_cursor, &found_at))
            return "expected a debug line containing \"" + text + "\" since the last 'expect debug', found none";
        m_debug_cursor = found_at + 1;
        return std::nullopt;
    }
    if (what == "process") {
        if (words.size() < 4)
            return "usage: expect process PATH running|absent";
        const std::string& state = words.back();
        std::string path = words[2];
        bool running = device.find_process(to_utf16(path)) != nullptr;
        std::string found = running ? "running" : "absent";
        if (state != "running" && state != "absent")
            return "usage: expect process PATH running|absent";
        if (found != state)
            return "expected process " + path + " " + state + ", found " + found;
        return std::nullopt;
    }
    if (what == "window") {
        auto title_and_state = split(rest_after(rest, 1));
        if (title_and_state.size() != 2)
            return "usage: expect window TITLE visible|hidden|absent";
        const std::string& title = title_and_state[0];
        const std::string& state = title_and_state[1];
        std::string found = window_state(FindWindow(nullptr, to_utf16(title).c_str()));
        if (state != "visible" && state != "hidden" && state != "absent")
            return "usage: expect window TITLE visible|hidden|absent";
        if (found != state)
            return "expected window \"" + title + "\" " + state + ", found " + found;
        return std::nullopt;
    }
    if (what == "foreground") {
        auto title = split(rest_after(rest, 1));
        if (title.size() != 1)
            return "usage: expect foreground TITLE";
        HWND foreground = GetForegroundWindow();
        HWND wanted = FindWindow(nullptr, to_utf16(title[0]).c_str());
        if (!wanted || foreground != wanted)
            return "expected \"" + title[0] + "\" in front, found " + window_title(foreground);
        return std::nullopt;
    }
    if (what == "pixel") {
        auto x = words.size() == 5 ? number(words[2]) : std::nullopt;
        auto y = words.size() == 5 ? number(words[3]) : std::nullopt;
        unsigned colour = 0;
        if (!x || !y || *x < 0 || *x >= FrameBuffer::width || *y < 0 || *y >= FrameBuffer::height || words[4].size() != 6
            || std::sscanf(words[4].c_str(), "%6x", &colour) != 1)
            return "usage: expect pixel X Y RRGGBB (X 0-479, Y 0-271)";
        uint16_t wanted = FrameBuffer::rgb565(colour >> 16, (colour >> 8) & 0xFF, colour & 0xFF);
        uint16_t found = device.component<FrameBuffer>().pixel(static_cast<int>(*x), static_cast<int>(*y));
        if (found != wanted) {
            char text[64];
            std::snprintf(text, sizeof text, "%02X%02X%02X", (found >> 11) << 3, ((found >> 5) & 0x3F) << 2, (found & 0x1F) << 3);
            return "expected pixel (" + words[2] + "," + words[3] + ") " + words[4] + ", found " + text + " (compared in RGB565)";
        }
        return std::nullopt;
    }
    if (what == "file") {
        if (words.size() != 4 || (words[3] != "exists" && words[3] != "absent"))
            return "usage: expect file PATH exists|absent";
        bool exists = GetFileAttributes(to_utf16(words[2]).c_str()) != INVALID_FILE_ATTRIBUTES;
        std::string found = exists ? "exists" : "absent";
        if (found != words[3])
            return "expected file " + words[2] + " " + words[3] + ", found " + found;
        return std::nullopt;
    }
    if (what == "reg") {
        if (words.size() != 5)
            return "usage: expect reg KEY VALUE DATA";
        auto key = registry_key(words[2]);
        if (!key)
            return "not a registry key: " + words[2];
        HKEY opened = nullptr;
        if (RegOpenKeyEx(key->first, key->second.c_str(), 0, 0, &opened) != ERROR_SUCCESS)
            return "expected key " + words[2] + ", found none";
        BYTE data[4096];
        DWORD type = 0;
        DWORD size = sizeof data;
        LONG result = RegQueryValueEx(opened, to_utf16(words[3]).c_str(), nullptr, &type, data, &size);
        RegCloseKey(opened);
        if (result != ERROR_SUCCESS)
            return "expected value " + words[3] + " under " + words[2] + ", found none";
        std::string found;
        if (type == REG_DWORD) {
            DWORD value;
            std::memcpy(&value, data, sizeof value);
            found = std::to_string(value);
            if (auto wanted = number(words[4]); wanted && static_cast<DWORD>(*wanted) == value)
                return std::nullopt;
        } else if (type == REG_SZ) {
            found = to_utf8(std::u16string(reinterpret_cast<const char16_t*>(data), size / 2).c_str());
            if (found == words[4])
                return std::nullopt;
        } else {
            found = "a value of type " + std::to_string(type);
        }
        return "expected " + words[2] + " " + words[3] + " = " + words[4] + ", found " + found;
    }
    if (what == "sound") {
        if (words.size() != 3)
            return "usage: expect sound NAME";
        for (auto& sound : device.component<SoundDevice>().sounds()) {
            if (to_utf8(sound.file).find(words[2]) != std::string::npos)
                return std::nullopt;
        }
        return "expected a sound whose file name contains " + words[2] + ", found none";
    }
    return "expect " + what + " is not known (see kivo-sim --help)";
}

} // namespace kivo
