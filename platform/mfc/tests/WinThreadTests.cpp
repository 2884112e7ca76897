#include "MfcApi.h"
#include "TestDevice.h"
#include "kernel/KernelApi.h"

#include <gtest/gtest.h>

using namespace kivo;
using namespace kivo::test;

namespace {

struct Seen {
    bool ran = false;
    LPVOID parameter = nullptr;
    DWORD thread_id = 0;
    CWinThread* object = nullptr;
};

UINT record(LPVOID parameter)
{
    auto* seen = static_cast<Seen*>(parameter);
    seen->ran = true;
    seen->parameter = parameter;
    seen->thread_id = GetCurrentThreadId();
    seen->object = AfxGetThread();
    return 42;
}

class WinThreads : public ::testing::Test {
protected:
    void run(std::function<int(std::u16string_view)> entry)
    {
        device->programs().add(u"\\threads.exe", std::move(entry));
        DWORD error = 0;
        device->create_process(u"\\threads.exe", u"", error);
        device->advance(1000);
    }
    std::unique_ptr<Device> device = make_test_device();
};

} // namespace

TEST_F(WinThreads, WorkerRunsItsFunctionAsItsOwnThreadObject)
{
    static Seen seen;
    seen = {};
    static DWORD object_id = 0;
    static CWinThread* made = nullptr;
    static DWORD exit_code = 0;
    run([](std::u16string_view) {
        // Begun suspended so that the object can be kept past the thread's end.
        CWinThread* thread = AfxBeginThread(record, &seen, THREAD_PRIORITY_BELOW_NORMAL, 0, CREATE_SUSPENDED);
        made = thread;
        thread->m_bAutoDelete = FALSE;
        object_id = thread->m_nThreadID;
        EXPECT_EQ(thread->GetThreadPriority(), THREAD_PRIORITY_BELOW_NORMAL);
        thread->ResumeThread();
        WaitForSingleObject(*thread, INFINITE);
        GetExitCodeThread(*thread, &exit_code);
        delete thread;
        return 0;
    });
    EXPECT_TRUE(seen.ran);
    EXPECT_EQ(seen.parameter, &seen);
    EXPECT_EQ(seen.thread_id, object_id);
    EXPECT_EQ(seen.object, made);
    EXPECT_EQ(exit_code, 42u);
}

// A worker begun plainly owns its object, which goes with the thread (a leak check sees it).
TEST_F(WinThreads, PlainWorkerRunsAndItsObjectGoesWithIt)
{
    static Seen seen;
    seen = {};
    static bool deletes_itself = false;
    run([](std::u16string_view) {
        AfxBeginThread(
            [](LPVOID parameter) -> UINT {
                deletes_itself = AfxGetThread() && AfxGetThread()->m_bAutoDelete;
                return record(parameter);
            },
            &seen);
        // The process would end its threads with it; the worker is long done by then.
        Sleep(500);
        return 0;
    });
    EXPECT_TRUE(seen.ran);
    EXPECT_TRUE(deletes_itself);
}

TEST_F(WinThreads, SuspendedWorkerWaitsForResumeAndRunningOnesCannotBeSuspended)
{
    static Seen seen;
    seen = {};
    static std::vector<DWORD> answers;
    static bool ran_before_resume = true;
    static DWORD suspend_error = 0;
    answers.clear();
    run([](std::u16string_view) {
        CWinThread* thread = AfxBeginThread(record, &seen, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        thread->m_bAutoDelete = FALSE;
        answers.push_back(thread->SuspendThread());
        Sleep(100);
        ran_before_resume = seen.ran;
        answers.push_back(thread->ResumeThread());
        answers.push_back(thread->ResumeThread());
        WaitForSingleObject(*thread, INFINITE);
        answers.push_back(thread->ResumeThread());
        answers.push_back(thread->SuspendThread());
        suspend_error = GetLastError();
        delete thread;
        return 0;
    });
    EXPECT_FALSE(ran_before_resume);
    EXPECT_TRUE(seen.ran);
    EXPECT_EQ(answers, (std::vector<DWORD> { 1, 2, 1, 0, 0xFFFFFFFF }));
    EXPECT_EQ(suspend_error, static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST_F(WinThreads, ApplicationIsTheMainThreadsObject)
{
    static CWinThread* main_thread = nullptr;
    static bool is_app = false;
    class App : public CWinApp {
    public:
        BOOL InitInstance() override
        {
            main_thread = AfxGetThread();
            is_app = main_thread == this && m_nThreadID == GetCurrentThreadId();
            return FALSE;
        }
    };
    run([](std::u16string_view command_line) {
        App app;
        return AfxWinMain(app, command_line);
    });
    EXPECT_TRUE(is_app);
}
