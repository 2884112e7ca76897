#include "ScriptTest.h"

#include <gtest/gtest.h>

namespace {

using LinkCommands = kivo::test::ScriptTest;

} // namespace

TEST_F(LinkCommands, MistakesAreRefusedWithWhatWasWrong)
{
    struct Case {
        const char* line;
        const char* error;
    };
    const Case before_boot[] = {
        { "subscribe VoxlaneMsgWnd", "has not been booted" },
        { "dialout 10086", "has not been booted" },
    };
    for (auto& c : before_boot) {
        auto found = runner.run_line(c.line);
        ASSERT_TRUE(found.has_value()) << c.line;
        EXPECT_NE(found->find(c.error), std::string::npos) << c.line << ": " << *found;
    }
    ASSERT_TRUE(run("boot\n")) << errors.str();
    const Case cases[] = {
        { "subscribe", "usage: subscribe TITLE" },
        { "unsubscribe a b", "usage: unsubscribe TITLE" },
        { "dialout", "usage: dialout NUMBER" },
        { "subscribe VoxlaneMsgWnd", "no window \"ZOL_VOXLANE\"" },
        { "dialout 10086", "no window \"ZOL_VOXLANE\"" },
    };
    for (auto& c : cases) {
        auto found = runner.run_line(c.line);
        ASSERT_TRUE(found.has_value()) << c.line;
        EXPECT_NE(found->find(c.error), std::string::npos) << c.line << ": " << *found;
    }
}

TEST_F(LinkCommands, AnOutsideWindowWritesTheRegisteredMessagesItGets)
{
    ASSERT_TRUE(run("boot\n"
                    "window VoxlaneMsgWnd\n"
                    "post VoxlaneMsgWnd WM_ZOLBT_OUTMSG_CALLSTATUS 4 0\n"
                    "post VoxlaneMsgWnd WM_ZOLDOGMSG_RESUME 1 -1\n"
                    "post VoxlaneMsgWnd WM_USER+5 1 0\n"
                    "expect debug outside VoxlaneMsgWnd: WM_ZOLBT_OUTMSG_CALLSTATUS 4 0\n"
                    "expect debug outside VoxlaneMsgWnd: WM_ZOLDOGMSG_RESUME 1 -1\n"
                    "expect no-debug outside VoxlaneMsgWnd: WM_USER\n"))
        << errors.str();
}
