#pragma once

#include "CObject.h"
#include "CWnd.h"
#include "kernel/KernelApi.h"

// A worker thread's controlling function: its parameter in, the thread's exit code out.
using AFX_THREADPROC = UINT (*)(LPVOID);

// A thread of the process as a C++ object. A worker thread (AfxBeginThread with a controlling
// function) runs the function and ends; the object deletes itself then when m_bAutoDelete is set
// (the default), so its creator must not touch it after the thread may have ended unless it
// cleared the flag first (begin the thread suspended, clear it, then ResumeThread). A thread with
// a message loop (the application) runs InitInstance, Run and ExitInstance.
class CWinThread : public CObject {
public:
    CWinThread() = default;
    CWinThread(AFX_THREADPROC, LPVOID parameter);
    ~CWinThread() override;
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // Starts the thread of a controlling function; with CREATE_SUSPENDED it waits for
    // ResumeThread before it runs the function.
    BOOL CreateThread(DWORD flags = 0, UINT stack_size = 0, LPSECURITY_ATTRIBUTES = nullptr);
    operator HANDLE() const { return m_hThread; }
    int GetThreadPriority() { return ::GetThreadPriority(m_hThread); }
    BOOL SetThreadPriority(int priority) { return ::SetThreadPriority(m_hThread, priority); }
    // Suspension is counted only before the thread first runs: the device's threads cannot be
    // stopped where they stand, so suspending a running thread fails (0xFFFFFFFF,
    // ERROR_NOT_SUPPORTED). Each answers the previous count.
    DWORD ResumeThread();
    DWORD SuspendThread();

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance();
    // The thread's message loop, until WM_QUIT; then ExitInstance.
    virtual int Run();
    virtual BOOL PreTranslateMessage(MSG*);
    // Deletes the object if it deletes itself; called as its thread ends.
    virtual void Delete();

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    BOOL m_bAutoDelete = TRUE;
    CWnd* m_pMainWnd = nullptr;
    MSG m_msgCur {};
    AFX_THREADPROC m_pfnThreadProc = nullptr;
    LPVOID m_pThreadParams = nullptr;

protected:
    // The calling thread's object from now on (AfxGetThread).
    void make_current();

private:
    static DWORD thread_entry(LPVOID);
    // The thread waits here until it may run: the creator has filled in the object and, when it
    // began suspended, resumed it.
    HANDLE m_start = nullptr;
    DWORD m_suspend_count = 0;
};

// Begins a worker thread running `function(parameter)` at a priority; answers its object, or
// null when the thread could not be made.
CWinThread* AfxBeginThread(AFX_THREADPROC function, LPVOID parameter, int priority = THREAD_PRIORITY_NORMAL,
    UINT stack_size = 0, DWORD flags = 0, LPSECURITY_ATTRIBUTES = nullptr);
// Ends the calling thread (its object deleted when it deletes itself and `delete_object`).
[[noreturn]] void AfxEndThread(UINT exit_code, BOOL delete_object = TRUE);
// The calling thread's object: the application on the program's main thread.
CWinThread* AfxGetThread();
