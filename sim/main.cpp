// kivo-sim: runs the device's suite on a simulated device, in a window or headless from a script.

#include "DeviceEvents.h"
#include "ScriptRunner.h"
#include "SdlWindow.h"
#include "Simulator.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

namespace {

const char* const help_text = R"(usage: kivo-sim [--root DIR] [--headless] [--real-time] [--script FILE] [--shots DIR] [--log]
                [--no-card] [--no-tuner] [--battery N] [--usb] [--mains] [--help]

Boots a simulated kivo device from a device root folder and runs it.
  --root DIR     the device root on this machine (default: kivo-device in the user's data folder);
                 made with the device's defaults on first run, its memory card holding what the
                 folder card/ beside kivo-sim holds (the songs in \Music and the audio player's
                 play list of them, made by the build)
  --headless     no window; runs on the virtual clock, driven by a script
  --real-time    run a script on the real clock instead of the virtual one; an 'expect' that
                 does not hold yet is read again for up to 5 s before it fails
  --script FILE  the script to run ('-' for standard input; implies --headless)
  --shots DIR    where 'shot' writes its screenshots (default: the current folder)
  --log          echo the device's debug output to stderr, each line with the device time (seconds
                 since the boot) and the process's name and id
  --help         this text
The hardware the device starts with (a fresh device has the card in, a TV tuner, the battery at
state 5, no USB cable and no mains adapter):
  --no-card      no memory card in the slot
  --no-tuner     no TV tuner fitted
  --battery N    the battery at state N, 0 to 7
  --usb          the USB cable connected
  --mains        the mains adapter connected

The device's traces (its debug output, draw log, driver calls, sounds …) keep their last 10000
entries each, so a session can run for days; 'expect debug' looks among the lines kept.

Script commands (one a line, '#' starts a comment; coordinates are screen pixels, times device ms;
a TITLE with blanks goes in double quotes; numbers are decimal or 0x hex, and a WPARAM, LPARAM or
CODE may also be a notify code's name such as APP_CLOSE):
  boot                          the device's boot sequence (again after a power-off or reset)
  start PATH [ARGS...]          start a program by its device image path, with a command line
  kill PATH                     end a program's process where it stands, as a crash does: it sends
                                none of its closing messages
  tap X Y                       press and release at one point, 50 ms apart (X 0-479, Y 0-271)
  press X Y / move X Y / release X Y    the parts of a touch
  wait MS                       let MS of device time pass (at most 30 days), running everything
                                that falls due
  idle                          run until every simulated thread is blocked
  event NAME [VALUE]            a device event (see below); before 'boot' it only sets the hardware
                                the device starts with
  notify CODE [LPARAM] [TITLE]  post WM_KIVO_NOTIFY with CODE to TITLE (default "hubscreen")
  navi CODE [LPARAM]            the navigation posts its code 13, 14, 17 (its dial block) or 18
  post TITLE MSG [WPARAM] [LPARAM]      post a message: a number, a name the suite defines
                                (WM_CLOSE, WM_QUIT, MSG_SHUTDOWN, WM_APP+11 …), a name its programs
                                register, or one declared with 'register'
  send TITLE MSG [WPARAM] [LPARAM]      send it and wait for the answer
  register NAME                 declare another registered message name for post, send and expect
  window TITLE / close-window TITLE     make or destroy an outside top-level window with that title;
                                it notes the messages programs send it (see 'expect sent') and
                                writes the registered ones to the debug output
                                ("outside TITLE: NAME WPARAM LPARAM")
  subscribe TITLE / unsubscribe TITLE   the outside window TITLE (made when missing) subscribes to
                                the phone link's notifications, or unsubscribes (WM_COPYDATA)
  dialout NUMBER                ask the phone link to dial NUMBER (WM_COPYDATA)
  time YYYY-MM-DD HH:MM:SS      set the device's local time; the screen is drawn again at once.
                                Before 'boot' it is the time the device boots with; the clock runs
                                on across later boots
  put PATH [HOSTFILE]           create a file on the device, empty or from a file of this machine
  delete PATH                   delete a file (or an empty folder) on the device
                                (time, put and delete before 'boot' prepare what the boot starts from)
  answer BUTTON                 the button (OK, Cancel, Yes, No, Abort, Retry, Ignore) that answers
                                the next message box
  answer question NAME          the button, by its name in any case, that answers the next question
                                box of Skinkit (ZolMessageBoxEx), or the one open now
  manager missing|present|lacks ENTRY|fail ENTRY CODE [N]|delay ENTRY MS|clear
                                the Bluetooth manager's failure knobs; they hold across boots
  shot FILE                     write the screen as PNG into the --shots folder (FILE a path
                                inside it)
  shot window FILE              the window as PNG: the screen at twice its size, the Bluetooth strip
                                under it
  shot strip FILE               the Bluetooth strip alone
  phone add NAME ADDRESS MODEL  a new phone around the device, not paired (ADDRESS twelve hex digits,
                                as 001A2B3C4D5E or 00:1A:2B:3C:4D:5E)
  phone remove NAME / phone pair NAME   the phone taken away / accepting the device as paired
  phone ring NUMBER [CALLER]    a call comes in (CALLER: else the phone's contact for the number)
  phone answer / phone hangup   the call answered on the phone (a call dialled: the called party
                                picks up) / ended on the phone or by the far side
  phone dial NUMBER             a number dialled on the phone
  phone sms NUMBER TEXT         a message arrives (TEXT in double quotes keeps its blanks as they are)
  phone range out|in [NAME]     the phone leaves the device's range / comes back
  phone signal N [NAME] / phone battery N [NAME]    the phone's bars, 0 to 5
  phone lacks FUNCTION [NAME]   the phone stops offering sms, files, phonebook, dialup, handsfree,
                                smslist or calllog
                                (without NAME a phone command acts on the current phone: the
                                connected one, else the first with a call, else the first paired;
                                a NAME at the end of a line needs no quotes)
  expect power on|off|reset     whether the device runs, was powered off or was reset
  expect window TITLE visible|hidden|absent
  expect foreground TITLE       the window in front
  expect process PATH running [ARGS] / expect process PATH absent
                                a process of the image runs (with exactly ARGS as its command
                                line, when given) / none does
  expect debug TEXT             a debug line containing TEXT since the last 'expect debug'
  expect no-debug TEXT          no debug line containing TEXT since the last 'expect debug'
  expect sent TITLE MSG [WPARAM] [LPARAM]
                                the window TITLE (made by 'window') received the message since the
                                last 'expect sent' (posted, sent or broadcast)
  expect broadcast MSG [WPARAM] [LPARAM]
                                the message was posted to every top-level window since the last
                                'expect broadcast'
  expect backlight PERCENT      the backlight's brightness
  expect auto-off SECONDS       the automatic power-off time (0: never)
  expect wave-volume HEX        the wave-out volume of device 0 (both channels, as 404D404D)
  expect wave-message N P1 P2   the wave driver received its message N with P1 and P2 (waveOutMessage)
                                since the last 'expect wave-message'
  expect playback running|paused|stopped [NAME]
                                a filter graph is running or paused playing a file whose path holds
                                NAME (any case); stopped: no graph runs or pauses such a file
  expect file PATH exists|absent
  expect reg KEY VALUE DATA     a registry value (KEY as HKLM\..., HKCU\...; DATA text or number)
  expect pixel X Y RRGGBB       the screen's colour at a point, compared in RGB565
  expect text TEXT              a line of exactly TEXT drawn on the screen (some of it visible)
                                since the last 'expect text'
  expect sound NAME             a sound whose file name contains NAME has been played
  tv mux CH FILE                the multiplex in FILE of this machine (a recorded transport stream, or
                                a description .json with the files it names) goes on the air at CH:
                                a channel of the 6 MHz plan, 14-69 (24 is 533 MHz), or a frequency
                                such as 474MHz or 474000kHz; a relative FILE is also looked for beside
                                the script
  tv signal CH STRENGTH QUALITY the signal at CH, in percent (0-100)
  tv off / tv on                the antenna unplugged / plugged in again
                                (each writes a "radio: ..." debug line; bad arguments are refused
                                with a "radio: refused ..." line and the script goes on)
  expect phone connected|disconnected [NAME]
                                whether the device is linked to a phone (to that phone)
  expect phone idle|ringing|outgoing|active [NAME]
                                the call of the current phone (of that phone)
  expect phone dtmf DIGITS [NAME]       the tones the far party heard during the call under way
  expect bt on|off              the device's Bluetooth radio
A failed line prints the file, the line, what was expected and what was found, and so does a line
during which a program crashed; the run then exits 1.

In the window the mouse is the touch screen and F5 boots the device again; while the navigation
runs, F1 and F2 post its voice code 13 with 0 and 1, F3 its dial code 17 and F4 code 18, and a tap
on the cross at the right end of its title band closes it. The Bluetooth strip under the screen
shows the radio, the phones around the device (the current one framed) and their calls; on the
current phone F6 rings from its first contact's number, F7 answers, F8 hangs up, F9 sends a
message from that number and F10 takes it out of range or back. F11 unplugs the TV antenna, or
plugs it in again (tv off, tv on).
Device events (script 'event NAME', or keys in the window):
)";

static_assert(kivo::Simulator::session_trace_limit == 10000, "the help text names the cap");
static_assert(kivo::ScriptRunner::real_time_expect_grace == std::chrono::seconds(5), "the help text names the grace");

std::filesystem::path default_root()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return std::filesystem::path(data) / "kivo-device";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".local" / "share" / "kivo-device";
    return std::filesystem::current_path() / "kivo-device";
}

// The build puts what a fresh device's memory card holds into card/ beside the executable.
std::filesystem::path card_media()
{
    std::error_code failure;
    auto executable = std::filesystem::read_symlink("/proc/self/exe", failure);
    return failure ? std::filesystem::path() : executable.parent_path() / "card";
}

// Makes a folder the simulator writes into; a reason when it cannot be one.
std::optional<std::string> make_folder(const std::filesystem::path& folder)
{
    std::error_code failure;
    std::filesystem::create_directories(folder, failure);
    if (failure)
        return failure.message();
    if (!std::filesystem::is_directory(folder, failure))
        return std::string("it is not a folder");
    return std::nullopt;
}

std::optional<long long> whole_number(const char* text)
{
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(text, &end, 10);
    if (errno || end == text || *end)
        return std::nullopt;
    return value;
}

} // namespace

int main(int argc, char** argv)
{
    kivo::Simulator::Options options;
    options.root = default_root();
    options.trace_limit = kivo::Simulator::session_trace_limit;
    options.card_media = card_media();
    kivo::Simulator::Hardware hardware;
    bool headless = false;
    bool real_time = false;
    bool shots_given = false;
    std::string script_path;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (argument == "--help" || argument == "-h") {
            std::fputs(help_text, stdout);
            for (auto& event : kivo::DeviceEvents::all())
                std::printf("  %-17s %-3s %s\n", event.name, kivo::SdlWindow::key_of(event.name), event.meaning);
            return 0;
        } else if (argument == "--log") {
            options.echo_debug_output = true;
        } else if (argument == "--headless") {
            headless = true;
        } else if (argument == "--real-time") {
            real_time = true;
        } else if (argument == "--no-card") {
            hardware.card_present = false;
        } else if (argument == "--no-tuner") {
            hardware.tuner_fitted = false;
        } else if (argument == "--usb") {
            hardware.usb_connected = true;
        } else if (argument == "--mains") {
            hardware.mains_connected = true;
        } else if (argument == "--root" || argument == "--script" || argument == "--shots" || argument == "--battery") {
            const char* text = value();
            if (!text) {
                std::fprintf(stderr, "kivo-sim: %s needs a value (see --help)\n", argv[i]);
                return 2;
            }
            if (argument == "--root") {
                options.root = text;
            } else if (argument == "--script") {
                script_path = text;
            } else if (argument == "--shots") {
                options.shots = text;
                shots_given = true;
            } else {
                auto state = whole_number(text);
                if (!state || *state < 0 || *state > 7) {
                    std::fprintf(stderr, "kivo-sim: --battery takes a state from 0 to 7, not '%s'\n", text);
                    return 2;
                }
                hardware.battery_state = static_cast<DWORD>(*state);
            }
        } else {
            std::fprintf(stderr, "kivo-sim: unknown argument '%s' (see --help)\n", argv[i]);
            return 2;
        }
    }
    if (auto reason = make_folder(options.root)) {
        std::fprintf(stderr, "kivo-sim: cannot use %s as the device root (%s)\n", options.root.c_str(), reason->c_str());
        return 2;
    }
    if (auto reason = shots_given ? make_folder(options.shots) : std::nullopt) {
        std::fprintf(stderr, "kivo-sim: cannot use %s as the shots folder (%s)\n", options.shots.c_str(), reason->c_str());
        return 2;
    }
    if (!script_path.empty())
        headless = true;
    options.clock = headless && !real_time ? kivo::ClockMode::Virtual : kivo::ClockMode::Real;
    kivo::Simulator simulator(options);
    simulator.hardware() = hardware;

    if (headless) {
        kivo::ScriptRunner runner(simulator, std::cerr);
        if (script_path.empty() || script_path == "-")
            return runner.run(std::cin, "stdin") ? 0 : 1;
        std::error_code failure;
        if (std::filesystem::is_directory(script_path, failure)) {
            std::fprintf(stderr, "kivo-sim: the script %s is a folder, not a file\n", script_path.c_str());
            return 2;
        }
        std::ifstream script(script_path, std::ios::binary);
        if (!script) {
            std::fprintf(stderr, "kivo-sim: cannot read the script %s\n", script_path.c_str());
            return 2;
        }
        return runner.run(script, script_path) ? 0 : 1;
    }

    kivo::SdlWindow window(simulator);
    if (!window.open())
        return 1;
    return window.run();
}
