// dialdeck-run: the phone link alone on a device of its own, on the real clock. It makes the
// device from a root folder (with the phone link's files and the default phones on first run),
// starts "Voxlane.exe" with the rest of the command line and ends with the program's exit code.

#include "CDialdeckApp.h"
#include "Device.h"
#include "DialdeckInstall.h"
#include "Process.h"
#include "ProgramImages.h"
#include "WideText.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2 || std::string(argv[1]) == "--help") {
        std::fputs("usage: dialdeck-run ROOT [COMMAND LINE...]\n"
                   "Runs the phone link on a device made from the folder ROOT, its debug output on stderr.\n",
            stderr);
        return 2;
    }
    std::filesystem::path root = argv[1];
    std::error_code failure;
    std::filesystem::create_directories(root, failure);
    kivo::Device::Options options;
    options.root = root;
    options.clock.mode = kivo::ClockMode::Real;
    options.echo_debug_output = true;
    kivo::Device device(options);
    register_dialdeck(device);
    device.component<kivo::ProgramImages>().install();
    std::string error;
    if (!install_dialdeck(device, &error)) {
        std::fprintf(stderr, "dialdeck-run: %s\n", error.c_str());
        return 2;
    }
    std::u16string command_line;
    for (int i = 2; i < argc; ++i)
        command_line += (i > 2 ? u" " : u"") + kivo::to_utf16(argv[i]);
    DWORD code = 0;
    auto process = device.create_process(dialdeck_image_path, command_line, code);
    if (!process) {
        std::fprintf(stderr, "dialdeck-run: cannot start the program (error %lu)\n", static_cast<unsigned long>(code));
        return 2;
    }
    device.run_until([&] { return process->ended(); }, 24ull * 3600 * 1000);
    return static_cast<int>(process->exit_code());
}
