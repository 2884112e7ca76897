#include "ScriptRunner.h"

#include "BacklightDriver.h"
#include "BluetoothStrip.h"
#include "DeviceEvents.h"
#include "FilterGraphs.h"
#include "FrameBuffer.h"
#include "Gdi.h"
#include "KernelApi.h"
#include "KivoNotify.h"
#include "MessageBoxes.h"
#include "ManagerCommands.h"
#include "MessageNames.h"
#include "NavigationStandIn.h"
#include "LinkCommands.h"
#include "OutsideWindows.h"
#include "PhoneCommands.h"
#include "Process.h"
#include "RadioCommands.h"
#include "ProgramTable.h"
#include "Scheduler.h"
#include "Screenshot.h"
#include "Simulator.h"
#include "SkinBoxes.h"
#include "SoundDevice.h"
#include "TouchInput.h"
#include "VideoPlane.h"
#include "WideText.h"
#include "platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace kivo {

namespace {

// The exit code of a program that a fault ends (an access violation), also that of 'kill'.
constexpr DWORD crash_exit_code = 0xC0000005;
// What the layer writes when a program's thread ends by a fault.
constexpr const char* crash_report = "unhandled exception in thread: ";

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

std::u16string folded(std::u16string_view text)
{
    std::u16string result;
    for (char16_t c : text)
        result += fold_case(c);
    return result;
}

const char* state_name(FILTER_STATE state)
{
    switch (state) {
    case State_Stopped:
        return "stopped";
    case State_Paused:
        return "paused";
    case State_Running:
        return "running";
    }
    return "?";
}

// The device's graphs as a failed 'expect playback' tells them: "a graph running \SDMMC\a.mp3".
std::string describe_graphs(const std::vector<FilterGraphs::Graph>& graphs)
{
    if (graphs.empty())
        return "no filter graph";
    std::string text;
    for (auto& graph : graphs) {
        text += (text.empty() ? "a graph " : "; a graph ") + std::string(state_name(graph.state));
        for (auto& file : graph.files)
            text += " " + to_utf8(file);
        if (graph.files.empty())
            text += " with no file";
    }
    return text;
}

std::string describe_wave_message(const SoundDevice::Message& message)
{
    char text[64];
    std::snprintf(text, sizeof text, "%u (%u, %u)", message.message, static_cast<UINT>(message.first), static_cast<UINT>(message.second));
    return text;
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

ScriptRunner::~ScriptRunner() = default;

std::vector<std::string> ScriptRunner::split(const std::string& line, std::string* error)
{
    return split_script_words(line, error);
}

bool ScriptRunner::run(std::istream& script, const std::string& script_name)
{
    m_script_folder = std::filesystem::path(script_name).parent_path();
    std::string line;
    int line_number = 0;
    while (std::getline(script, line)) {
        ++line_number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // A script is text: a line of other bytes is not shown back, as it may hold anything.
        if (!is_script_text(line)) {
            m_errors << script_name << ":" << line_number << ": not a line of text (is the script a binary file?)\n";
            return false;
        }
        if (auto error = run_line(line)) {
            m_errors << script_name << ":" << line_number << ": " << line << "\n  " << *error << "\n";
            return false;
        }
    }
    if (script.bad()) {
        m_errors << script_name << ": cannot be read\n";
        return false;
    }
    return true;
}

std::optional<std::string> ScriptRunner::run_line(const std::string& line)
{
    std::string split_error;
    auto words = split(line, &split_error);
    if (!split_error.empty())
        return split_error;
    if (words.empty())
        return std::nullopt;
    auto it = m_commands.find(words[0]);
    if (it == m_commands.end())
        return "unknown command '" + words[0] + "' (see kivo-sim --help)";
    // The rest of the line keeps its blanks, for texts and titles; a trailing comment is dropped.
    std::string rest = rest_after(line, 1);
    if (auto hash = rest.find(" #"); hash != std::string::npos && rest.front() != '"')
        rest.erase(hash);
    Device* device_before = m_simulator.prepared() ? &m_simulator.device() : nullptr;
    size_t debug_before = device_before ? device_before->debug_log().end_sequence() : 0;
    if (auto error = it->second(words, rest))
        return error;
    if (!m_simulator.prepared())
        return std::nullopt;
    // A new device (a boot) starts its debug output afresh.
    return crash_since(&m_simulator.device() == device_before ? debug_before : 0);
}

std::optional<std::string> ScriptRunner::crash_since(size_t debug_sequence) const
{
    auto& log = m_simulator.device().debug_log();
    auto lines = log.lines();
    size_t first = log.first_sequence();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (first + i < debug_sequence || lines[i].text.find(crash_report) == std::string::npos)
            continue;
        std::string text = lines[i].text;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        return "a program crashed while this line ran: " + lines[i].process_name + ": " + text;
    }
    return std::nullopt;
}

std::optional<std::string> ScriptRunner::require_device() const
{
    if (!m_simulator.booted())
        return std::string("the device has not been booted (use 'boot' first)");
    return std::nullopt;
}

void ScriptRunner::add_commands()
{
    add_manager_commands(m_commands, m_simulator);
    add_link_commands(m_commands, m_simulator);
    m_commands["boot"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (words.size() != 1)
            return "usage: boot";
        // The listener is there before the first program runs, so it hears every broadcast.
        std::string error;
        if (!m_simulator.prepare(&error))
            return error;
        if (!OutsideWindows::listen_for_broadcasts(m_simulator.device()))
            return std::string("cannot make the broadcast listener");
        m_simulator.boot();
        m_debug_cursor = 0;
        m_sent_cursors.clear();
        m_broadcast_cursor = 0;
        m_wave_message_cursor = 0;
        m_text_cursor = 0;
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
    m_commands["kill"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        if (words.size() != 2)
            return "usage: kill PATH";
        auto process = m_simulator.device().find_process(to_utf16(words[1]));
        if (!process)
            return "no process of " + words[1] + " runs";
        {
            // Ended where it stands, as a fault ends it: no window procedure runs again, so the
            // program sends none of its closing messages.
            auto guard = m_simulator.device().scheduler().lock();
            if (!process->ended() && !process->terminating())
                process->terminate(crash_exit_code);
        }
        m_simulator.device().run_until_idle();
        return std::nullopt;
    };
    m_commands["wait"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        auto ms = words.size() == 2 ? script_number(words[1]) : std::nullopt;
        if (!ms || *ms < 0 || *ms > longest_wait_ms)
            return "usage: wait MS (0 to " + std::to_string(longest_wait_ms) + ", 30 days)";
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
        SYSTEMTIME time {};
        int year, month, day, hour, minute, second;
        char end = 0;
        if (words.size() != 3
            || std::sscanf((words[1] + " " + words[2]).c_str(), "%d-%d-%d %d:%d:%d%c", &year, &month, &day, &hour, &minute, &second, &end) != 6
            || year < 1601 || year > 30827)
            return "usage: time YYYY-MM-DD HH:MM:SS";
        if (auto error = m_simulator.device_for_commands())
            return error;
        time.wYear = static_cast<WORD>(year);
        time.wMonth = static_cast<WORD>(month);
        time.wDay = static_cast<WORD>(day);
        time.wHour = static_cast<WORD>(hour);
        time.wMinute = static_cast<WORD>(minute);
        time.wSecond = static_cast<WORD>(second);
        if (month < 1 || day < 1 || hour < 0 || minute < 0 || second < 0 || !SetLocalTime(&time))
            return "not a valid date and time: " + words[1] + " " + words[2];
        if (m_simulator.booted()) {
            // Every window is drawn again, so the clocks on the screen show the new time at once.
            InvalidateRect(nullptr, nullptr, TRUE);
            m_simulator.device().run_until_idle();
        }
        return std::nullopt;
    };
    m_commands["put"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (words.size() < 2 || words.size() > 3)
            return "usage: put PATH [HOSTFILE]";
        std::string content;
        if (words.size() == 3) {
            std::error_code failure;
            std::ifstream host(words[2], std::ios::binary);
            if (!host || std::filesystem::is_directory(words[2], failure))
                return "cannot read the host file " + words[2];
            content.assign(std::istreambuf_iterator<char>(host), {});
        }
        if (auto error = m_simulator.device_for_commands())
            return error;
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
        if (words.size() != 2)
            return "usage: delete PATH";
        if (auto error = m_simulator.device_for_commands())
            return error;
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
        auto x = words.size() == 3 ? script_number(words[1]) : std::nullopt;
        auto y = words.size() == 3 ? script_number(words[2]) : std::nullopt;
        if (!x || !y)
            return "usage: " + words[0] + " X Y";
        if (*x < 0 || *x >= FrameBuffer::width || *y < 0 || *y >= FrameBuffer::height)
            return "(" + words[1] + ", " + words[2] + ") is not on the screen (X 0-479, Y 0-271)";
        (m_simulator.device().component<TouchInput>().*action)(static_cast<int>(*x), static_cast<int>(*y));
        m_simulator.device().run_until_idle();
        return std::nullopt;
    };
    m_commands["press"] = [touch](const Words& words, const std::string&) { return touch(words, &TouchInput::press); };
    m_commands["move"] = [touch](const Words& words, const std::string&) { return touch(words, &TouchInput::move); };
    m_commands["release"] = [touch](const Words& words, const std::string&) { return touch(words, &TouchInput::release); };
    m_commands["tap"] = [this, touch](const Words& words, const std::string&) -> std::optional<std::string> {
        if (words.size() != 3)
            return std::string("usage: tap X Y");
        // Press and release 50 ms apart, as a finger does.
        if (auto error = touch(words, &TouchInput::press))
            return error;
        m_simulator.device().advance(50);
        return touch(words, &TouchInput::release);
    };
    m_commands["event"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (words.size() < 2 || words.size() > 3)
            return "usage: event NAME [VALUE]";
        std::optional<long long> value;
        if (words.size() == 3) {
            value = script_number(words[2]);
            if (!value)
                return DeviceEvents::usage(words[1]) + " (not a number: " + words[2] + ")";
        }
        if (auto error = DeviceEvents(m_simulator).raise(words[1], value))
            return error;
        if (m_simulator.booted())
            m_simulator.device().run_until_idle();
        return std::nullopt;
    };
    m_commands["notify"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        auto code = words.size() >= 2 ? value_of(words[1]) : std::nullopt;
        if (!code)
            return "usage: notify CODE [LPARAM] [TITLE] (CODE and LPARAM 32-bit numbers or code names)";
        UINT lparam = 0;
        size_t title_at = 2;
        if (words.size() > 2) {
            if (auto value = value_of(words[2])) {
                lparam = *value;
                title_at = 3;
            } else if (script_number(words[2])) {
                return "not a 32-bit value: " + words[2];
            }
        }
        std::string title = words.size() > title_at ? join(words, title_at) : "hubscreen";
        HWND window = FindWindow(nullptr, to_utf16(title).c_str());
        if (!window)
            return "no window \"" + title + "\" to notify";
        PostMessage(window, WM_KIVO_NOTIFY, *code, static_cast<LPARAM>(static_cast<LONG>(lparam)));
        m_simulator.device().run_until_idle();
        return std::nullopt;
    };
    m_commands["navi"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        auto code = words.size() >= 2 && words.size() <= 3 ? value_of(words[1]) : std::nullopt;
        auto lparam = words.size() == 3 ? value_of(words[2]) : std::optional<UINT>(0);
        if (!code || !lparam)
            return "usage: navi CODE [LPARAM] (13, 14, 17 or 18)";
        auto& navigation = m_simulator.device().component<NavigationStandIn>();
        if (!navigation.post_to_home(*code, static_cast<LPARAM>(static_cast<LONG>(*lparam))))
            return "the navigation does not run, or does not send code " + words[1];
        m_simulator.device().run_until_idle();
        return std::nullopt;
    };
    m_commands["register"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (words.size() != 2 || script_number(words[1]) || words[1].find('+') != std::string::npos)
            return "usage: register NAME (a message name that a program registers)";
        m_registered.insert(words[1]);
        return std::nullopt;
    };
    auto deliver = [this](const Words& words, bool send) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        if (words.size() < 3 || words.size() > 5)
            return "usage: " + words[0] + " TITLE MSG [WPARAM] [LPARAM]";
        auto message = message_by_name(words[2], m_registered);
        if (!message.value)
            return message.error;
        auto wparam = words.size() > 3 ? value_of(words[3]) : std::optional<UINT>(0);
        auto lparam = words.size() > 4 ? value_of(words[4]) : std::optional<UINT>(0);
        if (!wparam || !lparam)
            return "usage: " + words[0] + " TITLE MSG [WPARAM] [LPARAM] (WPARAM and LPARAM 32-bit numbers or code names)";
        HWND window = FindWindow(nullptr, to_utf16(words[1]).c_str());
        if (!window)
            return "no window \"" + words[1] + "\"";
        auto lvalue = static_cast<LPARAM>(static_cast<LONG>(*lparam));
        if (send) {
            // The answer is what some requests report (the phone link's QUERYFUCTION): a script
            // reads it with `expect debug`.
            LRESULT answer = SendMessage(window, *message.value, *wparam, lvalue);
            std::string line = "send " + words[1] + " " + words[2] + " answered " + std::to_string(answer) + "\r\n";
            OutputDebugString(to_utf16(line).c_str());
        } else
            PostMessage(window, *message.value, *wparam, lvalue);
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
        if (words.size() >= 2 && words[1] == "question")
            return answer_question(words);
        auto button = words.size() == 2 ? button_number(words[1]) : std::nullopt;
        if (!button)
            return "usage: answer OK|Cancel|Yes|No|Abort|Retry|Ignore | answer question NAME";
        {
            std::lock_guard guard(m_answers_lock);
            m_answers.push_back(*button);
        }
        // The responder runs on the box's thread, which the real clock runs beside this one; the
        // lock is never held across a call into the device.
        m_simulator.device().component<MessageBoxes>().set_responder([this](const MessageBoxRecord&) {
            std::lock_guard guard(m_answers_lock);
            if (m_answers.empty())
                return 0; // left open for a tap
            int answer = m_answers.front();
            m_answers.erase(m_answers.begin());
            return answer;
        });
        // A box already open takes its answer at once.
        if (m_simulator.device().component<MessageBoxes>().answer(*button)) {
            std::lock_guard guard(m_answers_lock);
            if (!m_answers.empty())
                m_answers.pop_back();
        }
        m_simulator.device().run_until_idle();
        return std::nullopt;
    };
    m_commands["phone"] = [this](const Words& words, const std::string&) { return PhoneCommands(m_simulator).run(words); };
    m_commands["tv"] = [this](const Words& words, const std::string&) { return RadioCommands(m_simulator, m_script_folder).run(words); };
    m_commands["shot"] = [this](const Words& words, const std::string&) -> std::optional<std::string> {
        if (auto error = require_device())
            return error;
        bool of_window = words.size() == 3 && (words[1] == "window" || words[1] == "strip");
        if (words.size() != 2 && !of_window)
            return "usage: shot [window|strip] FILE";
        // A shot stays inside the shots folder: a script does not write elsewhere on this machine.
        std::filesystem::path name = words.back();
        if (name.is_absolute() || name.has_root_name() || !name.has_filename()
            || std::any_of(name.begin(), name.end(), [](const auto& part) { return part == ".."; }))
            return "a shot goes inside the shots folder: " + words.back() + " is not a path within it";
        std::filesystem::path path = m_simulator.options().shots / name;
        std::error_code failure;
        std::filesystem::create_directories(path.parent_path(), failure);
        if (failure)
            return "cannot make the folder " + path.parent_path().string() + " (" + failure.message() + ")";
        bool written = false;
        if (of_window) {
            if (!m_strip)
                m_strip = std::make_unique<BluetoothStrip>();
            auto picture = words[1] == "window" ? window_picture(m_simulator.device(), *m_strip) : strip_picture(m_simulator.device(), *m_strip);
            written = write_png_file(path, png_of_rgb(picture.width, picture.height, picture.bytes));
        } else {
            written = write_screenshot_png(m_simulator.device(), path);
        }
        if (!written)
            return "cannot write " + path.string();
        return std::nullopt;
    };
    m_commands["expect"] = [this](const Words& words, const std::string& rest) {
        auto error = expect(words, rest);
        // On the real clock the device runs on while the script reads it, so what a line before
        // set going (a program loading, a song starting) may show a moment later: an expectation
        // not met yet is read again until it is, or the grace has passed. One that something was
        // not done (no-debug) is read once.
        if (!error || m_simulator.options().clock != ClockMode::Real || (words.size() > 1 && words[1] == "no-debug"))
            return error;
        auto deadline = std::chrono::steady_clock::now() + real_time_expect_grace;
        while (error && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            error = expect(words, rest);
        }
        return error;
    };
}

std::optional<std::string> ScriptRunner::answer_question(const Words& words)
{
    if (words.size() != 3 || words[2].empty())
        return std::string("usage: answer question NAME (the name of a button of the question box)");
    auto& boxes = m_simulator.device().component<SkinBoxes>();
    auto name = to_utf16(words[2]);
    {
        std::lock_guard guard(m_answers_lock);
        m_question_answers.push_back(name);
    }
    boxes.set_responder([this](const SkinBoxRecord&) {
        std::lock_guard guard(m_answers_lock);
        if (m_question_answers.empty())
            return std::u16string(); // left open for a tap
        auto answer = m_question_answers.front();
        m_question_answers.erase(m_question_answers.begin());
        return answer;
    });
    // A box already open takes its answer at once.
    if (boxes.answer(name)) {
        std::lock_guard guard(m_answers_lock);
        if (!m_question_answers.empty())
            m_question_answers.pop_back();
    }
    m_simulator.device().run_until_idle();
    return std::nullopt;
}

std::optional<std::string> ScriptRunner::expect(const Words& words, const std::string& rest)
{
    if (words.size() < 2)
        return "usage: expect WHAT ...";
    const std::string& what = words[1];
    if (what == "power") {
        if (words.size() != 3 || (words[2] != "on" && words[2] != "off" && words[2] != "reset"))
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
    if (what == "no-debug") {
        std::string text = rest_after(rest, 1);
        if (text.empty())
            return "usage: expect no-debug TEXT";
        size_t found_at = 0;
        if (device.debug_log().contains(text, m_debug_cursor, &found_at)) {
            auto lines = device.debug_log().lines();
            size_t index = found_at - device.debug_log().first_sequence();
            std::string found = index < lines.size() ? lines[index].text : text;
            while (!found.empty() && (found.back() == '\n' || found.back() == '\r'))
                found.pop_back();
            return "expected no debug line containing \"" + text + "\" since the last 'expect debug', found \"" + found + "\"";
        }
        return std::nullopt;
    }
    if (what == "sent" || what == "broadcast") {
        // expect sent TITLE MSG [WPARAM] [LPARAM] / expect broadcast MSG [WPARAM] [LPARAM]
        auto arguments = split(rest_after(rest, 1));
        bool broadcast = what == "broadcast";
        std::string usage = broadcast ? "usage: expect broadcast MSG [WPARAM] [LPARAM]" : "usage: expect sent TITLE MSG [WPARAM] [LPARAM]";
        size_t message_at = broadcast ? 0 : 1;
        if (arguments.size() < message_at + 1 || arguments.size() > message_at + 3)
            return usage;
        std::u16string title = broadcast ? std::u16string(OutsideWindows::listener_title) : to_utf16(arguments[0]);
        auto message = message_by_name(arguments[message_at], m_registered);
        if (!message.value)
            return message.error;
        std::optional<UINT> wparam, lparam;
        if (arguments.size() > message_at + 1 && !(wparam = value_of(arguments[message_at + 1])))
            return usage + " (WPARAM a 32-bit number or a code name)";
        if (arguments.size() > message_at + 2 && !(lparam = value_of(arguments[message_at + 2])))
            return usage + " (LPARAM a 32-bit number or a code name)";
        if (!broadcast && !FindWindow(nullptr, title.c_str()))
            return "no window \"" + arguments[0] + "\" (the windows made by 'window' note what they receive)";
        uint64_t& cursor = broadcast ? m_broadcast_cursor : m_sent_cursors[title];
        auto found = device.component<OutsideWindows>().find(cursor, [&](const OutsideWindows::Received& received) {
            return received.title == title && received.message == *message.value
                && (!wparam || static_cast<UINT>(received.wparam) == *wparam)
                && (!lparam || static_cast<UINT>(received.lparam) == *lparam);
        });
        std::string wanted = join(arguments, message_at);
        if (!found)
            return broadcast ? "expected a broadcast of " + wanted + " since the last 'expect broadcast', found none"
                             : "expected \"" + arguments[0] + "\" to have received " + wanted + " since its last 'expect sent', found none";
        cursor = *found + 1;
        return std::nullopt;
    }
    if (what == "phone" || what == "bt")
        return PhoneCommands(m_simulator).expect(words);
    if (what == "playback") {
        // expect playback running|paused|stopped [NAME]: NAME is part of the path of a file the
        // graph's sources read, in any case.
        static const std::map<std::string, FILTER_STATE> states {
            { "running", State_Running }, { "paused", State_Paused }, { "stopped", State_Stopped }
        };
        auto state = words.size() == 3 || words.size() == 4 ? states.find(words[2]) : states.end();
        if (state == states.end())
            return std::string("usage: expect playback running|paused|stopped [NAME]");
        std::u16string name = words.size() == 4 ? folded(to_utf16(words[3])) : std::u16string();
        auto graphs = device.component<FilterGraphs>().graphs();
        auto plays_name = [&](const FilterGraphs::Graph& graph) {
            return name.empty() || std::any_of(graph.files.begin(), graph.files.end(), [&](const std::u16string& file) {
                return folded(file).find(name) != std::u16string::npos;
            });
        };
        // Stopped: nothing plays that file, whether its graph stopped or went.
        bool met = state->second == State_Stopped
            ? std::none_of(graphs.begin(), graphs.end(), [&](auto& graph) { return graph.state != State_Stopped && plays_name(graph); })
            : std::any_of(graphs.begin(), graphs.end(), [&](auto& graph) { return graph.state == state->second && plays_name(graph); });
        if (!met)
            return "expected playback " + words[2] + (name.empty() ? "" : " of a file whose path holds \"" + words[3] + "\"")
                + ", found " + describe_graphs(graphs);
        return std::nullopt;
    }
    if (what == "text") {
        // expect text TEXT: a line of exactly TEXT shown on the screen since the last 'expect text'.
        auto text = split(rest_after(rest, 1));
        if (text.size() != 1)
            return std::string("usage: expect text TEXT");
        auto found = device.component<Gdi>().draw_log().find_shown_text(to_utf16(text[0]), m_text_cursor);
        if (!found)
            return "expected the text \"" + text[0] + "\" drawn on the screen since the last 'expect text', found none";
        m_text_cursor = *found + 1;
        return std::nullopt;
    }
    if (what == "wave-message") {
        // expect wave-message N P1 P2: received by the wave driver since the last such expectation.
        std::optional<UINT> values[3];
        if (words.size() == 5) {
            for (size_t i = 0; i < 3; ++i)
                values[i] = value_of(words[2 + i]);
        }
        if (!values[0] || !values[1] || !values[2])
            return std::string("usage: expect wave-message N P1 P2 (32-bit numbers)");
        const UINT message = *values[0], first = *values[1], second = *values[2];
        auto received = device.component<SoundDevice>().messages_since(m_wave_message_cursor);
        auto found = std::find_if(received.begin(), received.end(), [&](const auto& entry) {
            const SoundDevice::Message& m = entry.second;
            return m.message == message && static_cast<UINT>(m.first) == first && static_cast<UINT>(m.second) == second;
        });
        if (found == received.end()) {
            std::string seen;
            for (auto& [sequence, m] : received)
                seen += (seen.empty() ? "" : ", ") + describe_wave_message(m);
            return "expected the wave driver to have received " + words[2] + " (" + words[3] + ", " + words[4]
                + ") since the last 'expect wave-message', found " + (seen.empty() ? "none" : seen);
        }
        m_wave_message_cursor = found->first + 1;
        return std::nullopt;
    }
    if (what == "backlight" || what == "auto-off" || what == "wave-volume") {
        // The volume is a pair of 16-bit levels, written in hex with or without 0x.
        bool hex = what == "wave-volume" && words.size() == 3 && !words[2].starts_with("0x") && !words[2].starts_with("0X");
        auto wanted = words.size() == 3 ? script_number(hex ? "0x" + words[2] : words[2]) : std::nullopt;
        if (!wanted || *wanted < 0 || *wanted > 0xFFFFFFFFLL)
            return "usage: expect backlight PERCENT | expect auto-off SECONDS | expect wave-volume HEX";
        auto backlight = device.component<BacklightDriver>().state();
        if (what == "wave-volume") {
            DWORD found = device.component<SoundDevice>().volume();
            char text[16];
            std::snprintf(text, sizeof text, "0x%08X", found);
            if (found != static_cast<DWORD>(*wanted))
                return "expected the wave-out volume " + words[2] + ", found " + text;
            return std::nullopt;
        }
        DWORD found = what == "backlight" ? backlight.brightness_percent : backlight.auto_off_seconds;
        if (found != static_cast<DWORD>(*wanted))
            return "expected " + what + " " + words[2] + ", found " + std::to_string(found);
        return std::nullopt;
    }
    if (what == "process") {
        // expect process PATH running [ARGS...]: ARGS, when given, is the whole command line the
        // process was started with.
        const char* usage = "usage: expect process PATH running [ARGS...] | expect process PATH absent";
        if (words.size() < 4 || (words[3] != "running" && words[3] != "absent") || (words[3] == "absent" && words.size() > 4))
            return std::string(usage);
        const std::string& path = words[2];
        const std::string& state = words[3];
        std::optional<std::u16string> command_line;
        if (words.size() > 4)
            command_line = to_utf16(join(words, 4));
        std::u16string key = image_key(to_utf16(path));
        std::vector<std::string> running;
        bool met = false;
        for (auto& process : device.processes()) {
            if (image_key(process->image_path()) != key)
                continue;
            running.push_back("\"" + to_utf8(process->command_line()) + "\"");
            met = met || !command_line || process->command_line() == *command_line;
        }
        if (state == "absent")
            met = running.empty();
        if (met)
            return std::nullopt;
        std::string wanted = state + (command_line ? " with the command line \"" + to_utf8(*command_line) + "\"" : "");
        std::string found = running.empty() ? "absent" : "running with the command line " + join(running, 0);
        return "expected process " + path + " " + wanted + ", found " + found;
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
        auto x = words.size() == 5 ? script_number(words[2]) : std::nullopt;
        auto y = words.size() == 5 ? script_number(words[3]) : std::nullopt;
        unsigned colour = 0;
        if (!x || !y || *x < 0 || *x >= FrameBuffer::width || *y < 0 || *y >= FrameBuffer::height || words[4].size() != 6
            || std::sscanf(words[4].c_str(), "%6x", &colour) != 1)
            return "usage: expect pixel X Y RRGGBB (X 0-479, Y 0-271)";
        uint16_t wanted = FrameBuffer::rgb565(colour >> 16, (colour >> 8) & 0xFF, colour & 0xFF);
        // As the screen shows it: the video plane under the key colour.
        std::vector<uint16_t> shown(FrameBuffer::visible_pixels);
        device.component<VideoPlane>().copy_shown_screen(shown);
        uint16_t found = shown[size_t(*y) * FrameBuffer::width + size_t(*x)];
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
            if (auto wanted = script_number(words[4]); wanted && static_cast<DWORD>(*wanted) == value)
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
