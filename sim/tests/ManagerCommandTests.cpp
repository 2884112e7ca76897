#include "ScriptTest.h"
#include "Simulator.h"
#include "ZolRecord.h"
#include "platform.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

using namespace kivo;

namespace {

struct ManagerCommands : kivo::test::ScriptTest {
    ZolRecord& record() { return simulator.device().component<ZolRecord>(); }
};

} // namespace

TEST_F(ManagerCommands, KnobsSetBeforeABootHoldAfterItAndAfterTheNext)
{
    ASSERT_TRUE(run("manager missing\n"
                    "manager lacks ZOL_SetDeviceVol\n"
                    "manager fail ZOL_ConnectMobile 2001 2\n"
                    "manager fail ZOL_Dial 2010\n"
                    "manager delay ZOL_DevicePair 500\n"
                    "boot\n"))
        << errors.str();
    ZolKnobs expected;
    expected.missing = true;
    expected.lacking = { "ZOL_SetDeviceVol" };
    expected.entries["ZOL_ConnectMobile"] = { 2001, 2, 0, false };
    expected.entries["ZOL_Dial"] = { 2010, std::nullopt, 0, false };
    expected.entries["ZOL_DevicePair"].delay_ms = 500;
    EXPECT_EQ(record().knobs(), expected);
    EXPECT_EQ(LoadLibrary(u"\\NAND\\App\\BT\\ZolManagerU.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    ASSERT_TRUE(run("manager present\nboot\n")) << errors.str();
    expected.missing = false;
    EXPECT_EQ(record().knobs(), expected);
    HMODULE manager = LoadLibrary(u"\\NAND\\App\\BT\\ZolManagerU.dll");
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(GetProcAddress(manager, u"ZOL_SetDeviceVol"), nullptr);
    EXPECT_NE(GetProcAddress(manager, u"ZOL_Dial"), nullptr);

    ASSERT_TRUE(run("manager clear\n")) << errors.str();
    EXPECT_EQ(record().knobs(), ZolKnobs {});
    EXPECT_NE(GetProcAddress(manager, u"ZOL_SetDeviceVol"), nullptr);
    FreeLibrary(manager);
}

TEST_F(ManagerCommands, MistakesAreRefusedWithWhatWasWrong)
{
    struct Case {
        const char* line;
        const char* error;
    };
    for (auto [line, error] : {
             Case { "manager", "usage: manager" },
             Case { "manager lacks ZOL_Nothing", "not an entry of the manager: ZOL_Nothing" },
             Case { "manager fail ZOL_Dial", "usage: manager" },
             Case { "manager fail ZOL_Dial busy", "not a result code: busy" },
             Case { "manager fail ZOL_Dial 2002 -1", "not a number of calls: -1" },
             Case { "manager delay ZOL_Dial soon", "not a delay in milliseconds: soon" },
             Case { "manager missing now", "usage: manager" },
         }) {
        auto found = runner.run_line(line);
        ASSERT_TRUE(found.has_value()) << line;
        EXPECT_NE(found->find(error), std::string::npos) << line << ": " << *found;
    }
}
