// kivo-sim: runs the device's suite on a simulated device.

#include "Device.h"
#include "KernelApi.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

void print_help()
{
    std::puts("usage: kivo-sim [--root DIR] [--log] [--help]\n"
              "\n"
              "Boots a simulated kivo device from the device root DIR (default: kivo-device in the\n"
              "user's data folder, created on first run).\n"
              "  --root DIR  the device root folder on this machine\n"
              "  --log       echo the device's debug output to stderr\n"
              "  --help      this text");
}

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
    kivo::Device::Options options;
    options.root = default_root();
    options.clock.mode = kivo::ClockMode::Virtual;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            print_help();
            return 0;
        }
        if (argument == "--log") {
            options.echo_debug_output = true;
        } else if (argument == "--root" && i + 1 < argc) {
            options.root = argv[++i];
        } else {
            std::fprintf(stderr, "kivo-sim: unknown argument '%s' (see --help)\n", argv[i]);
            return 2;
        }
    }
    std::filesystem::create_directories(options.root);
    kivo::Device device(options);
    device.boot_launcher().boot();
    device.run_until_idle();
    std::printf("kivo-sim: device booted from %s; no program is installed yet, so the device is empty.\n",
        options.root.string().c_str());
    return 0;
}
