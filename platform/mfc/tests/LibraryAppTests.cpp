#include "MfcApi.h"
#include "TestDevice.h"
#include "kernel/Process.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <string>

using namespace kivo;
using namespace kivo::test;

namespace {

constexpr char16_t program[] = u"\\NAND\\App\\Prober.exe";

class LibraryApps : public ::testing::Test {
protected:
    // Runs the program in a new process; answers its id.
    DWORD run(std::function<int(std::u16string_view)> entry)
    {
        device->programs().add(program, std::move(entry));
        DWORD error = 0;
        auto process = device->create_process(program, u"", error);
        EXPECT_EQ(error, 0u);
        device->run_until_idle();
        return process ? process->id() : 0;
    }
    // The probe library's lines, each without the library's path.
    std::vector<std::string> said()
    {
        std::vector<std::string> lines;
        for (auto& line : debug_lines(*device)) {
            if (auto at = line.find(" \\NAND\\App\\MfcProbeLibrary.dll in "); at != std::string::npos)
                lines.push_back(line.substr(0, at) + " " + line.substr(line.rfind(' ') + 1));
        }
        return lines;
    }
    std::unique_ptr<Device> device = make_test_device();
};

} // namespace

TEST_F(LibraryApps, EachProcessGetsItsOwnObjectWhichEndsWithItsLastFreeOrTheProcess)
{
    static bool loaded_again = false;
    DWORD first = run([](std::u16string_view) {
        HMODULE module = LoadLibrary(u"MfcProbeLibrary.dll");
        // A second load of the same process makes no second object.
        HMODULE again = LoadLibrary(u"MfcProbeLibrary.dll");
        loaded_again = module && again == module;
        FreeLibrary(again);
        FreeLibrary(module);
        // Loaded anew, and this time the process ends holding it.
        LoadLibrary(u"MfcProbeLibrary.dll");
        return 0;
    });
    DWORD second = run([](std::u16string_view) {
        LoadLibrary(u"MfcProbeLibrary.dll");
        return 0;
    });
    EXPECT_TRUE(loaded_again);
    auto p1 = std::to_string(first);
    auto p2 = std::to_string(second);
    EXPECT_EQ(said(), (std::vector<std::string> { "init " + p1, "exit " + p1, "init " + p1, "exit " + p1, "init " + p2, "exit " + p2 }));
}

TEST_F(LibraryApps, InitInstanceAnsweringFalseFailsTheLoad)
{
    HANDLE refuse = CreateFile(u"\\Temp\\refuse probe", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(refuse, INVALID_HANDLE_VALUE);
    CloseHandle(refuse);
    static HMODULE module = nullptr;
    static DWORD error = 0;
    static CWinApp* app = nullptr;
    class ProgramApp : public CWinApp {
    public:
        BOOL InitInstance() override
        {
            module = LoadLibrary(u"MfcProbeLibrary.dll");
            error = GetLastError();
            app = AfxGetApp();
            return FALSE;
        }
    };
    static CWinApp* program_app = nullptr;
    DWORD id = run([](std::u16string_view command_line) {
        ProgramApp own;
        program_app = &own;
        return AfxWinMain(own, command_line);
    });
    EXPECT_EQ(module, nullptr);
    EXPECT_EQ(error, ERROR_DLL_INIT_FAILED);
    EXPECT_EQ(app, program_app) << "the library's object never becomes the program's application";
    auto p = std::to_string(id);
    EXPECT_EQ(said(), (std::vector<std::string> { "init " + p, "exit " + p }));
}
