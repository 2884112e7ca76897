// kivo-sim: runs the device's suite on a simulated device, in a window or headless from a script.

#include "DeviceEvents.h"
#include "ScriptRunner.h"
#include "SdlWindow.h"
#include "Simulator.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

namespace {

const char* const help_text = R"(usage: kivo-sim [--root DIR] [--headless] [--real-time] [--script FILE] [--shots DIR] [--log] [--help]

Boots a simulated kivo device from a device root folder and runs it.
  --root DIR     the device root on this machine (default: kivo-device in the user's data folder);
                 made with the device's defaults on first run
  --headless     no window; runs on the virtual clock, driven by a script
  --real-time    run a script on the real clock instead of the virtual one
  --script FILE  the script to run ('-' for standard input; implies --headless)
  --shots DIR    where 'shot' writes its screenshots (default: the current folder)
  --log          echo the device's debug output to stderr
  --help         this text

The device's traces (its debug output, draw log, driver calls, sounds …) keep their last 10000
entries each, so a session can run for days; 'expect debug' looks among the lines kept.

Script commands (one a line, '#' starts a comment; coordinates are screen pixels, times device ms;
a TITLE with blanks goes in double quotes):
  boot                          the device's boot sequence (again after a power-off or reset)
  start PATH [ARGS...]          start a program by its device image path, with a command line
  tap X Y                       press and release at one point, 50 ms apart
  press X Y / move X Y / release X Y    the parts of a touch
  wait MS                       let MS of device time pass, running everything that falls due
  idle                          run until every simulated thread is blocked
  event NAME [VALUE]            a device event (see below)
  notify CODE [LPARAM] [TITLE]  post WM_KIVO_NOTIFY with CODE to TITLE (default "hubscreen")
  navi CODE [LPARAM]            the navigation posts its code 13, 14, 17 (its dial block) or 18
  post TITLE MSG [WPARAM] [LPARAM]      post a message (a number, WM_APP+11 style, or a registered name)
  send TITLE MSG [WPARAM] [LPARAM]      send it and wait for the answer
  window TITLE / close-window TITLE     make or destroy an outside top-level window with that title
  time YYYY-MM-DD HH:MM:SS      set the device's local time
  put PATH [HOSTFILE]           create a file on the device, empty or from a file of this machine
  delete PATH                   delete a file (or an empty folder) on the device
  answer BUTTON                 the button (OK, Cancel, Yes, No, Abort, Retry, Ignore) that answers
                                the next message box
  shot FILE                     write the screen as PNG into the --shots folder
  expect power on|off|reset     whether the device runs, was powered off or was reset
  expect window TITLE visible|hidden|absent
  expect foreground TITLE       the window in front
  expect process PATH running|absent
  expect debug TEXT             a debug line containing TEXT since the last 'expect debug'
  expect file PATH exists|absent
  expect reg KEY VALUE DATA     a registry value (KEY as HKLM\..., HKCU\...; DATA text or number)
  expect pixel X Y RRGGBB       the screen's colour at a point, compared in RGB565
  expect sound NAME             a sound whose file name contains NAME has been played
A failed expectation prints the line, what was expected and what was found; the run exits 1.

In the window the mouse is the touch screen and F5 boots the device again; while the navigation
runs, F1 and F2 post its voice code 13 with 0 and 1, F3 its dial code 17 and F4 code 18.
Device events (script 'event NAME', or keys in the window):
)";

static_assert(kivo::Simulator::session_trace_limit == 10000, "the help text names the cap");

std::filesystem::path default_root()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return std::filesystem::path(data) / "kivo-device";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".local" / "share" / "kivo-device";
    return std::filesystem::current_path() / "kivo-device";
}

} // namespace

int main(int argc, char** argv)
{
    kivo::Simulator::Options options;
    options.root = default_root();
    options.trace_limit = kivo::Simulator::session_trace_limit;
    bool headless = false;
    bool real_time = false;
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
        } else if (argument == "--root" || argument == "--script" || argument == "--shots") {
            const char* text = value();
            if (!text) {
                std::fprintf(stderr, "kivo-sim: %s needs a value (see --help)\n", argv[i]);
                return 2;
            }
            if (argument == "--root")
                options.root = text;
            else if (argument == "--script")
                script_path = text;
            else
                options.shots = text;
        } else {
            std::fprintf(stderr, "kivo-sim: unknown argument '%s' (see --help)\n", argv[i]);
            return 2;
        }
    }
    if (!script_path.empty())
        headless = true;
    options.clock = headless && !real_time ? kivo::ClockMode::Virtual : kivo::ClockMode::Real;
    kivo::Simulator simulator(options);

    if (headless) {
        kivo::ScriptRunner runner(simulator, std::cerr);
        if (script_path.empty() || script_path == "-")
            return runner.run(std::cin, "stdin") ? 0 : 1;
        std::ifstream script(script_path);
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
