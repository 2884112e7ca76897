#include "CWinThread.h"

#include "kernel/Errors.h"

#include <utility>

namespace {

thread_local CWinThread* t_thread = nullptr;

} // namespace

CWinThread::CWinThread(AFX_THREADPROC function, LPVOID parameter)
    : m_pfnThreadProc(function)
    , m_pThreadParams(parameter)
{
}

CWinThread::~CWinThread()
{
    if (m_hThread)
        ::CloseHandle(m_hThread);
    if (m_start)
        ::CloseHandle(m_start);
    if (t_thread == this)
        t_thread = nullptr;
}

BOOL CWinThread::CreateThread(DWORD flags, UINT stack_size, LPSECURITY_ATTRIBUTES security)
{
    if (m_hThread || !m_pfnThreadProc)
        return FALSE;
    m_start = ::CreateEvent(nullptr, TRUE, FALSE, nullptr);
    if (!m_start)
        return FALSE;
    // The thread always begins held, so that it never sees the object before it is filled in.
    DWORD id = 0;
    m_hThread = ::CreateThread(security, stack_size, thread_entry, this, flags & ~CREATE_SUSPENDED, &id);
    if (!m_hThread) {
        ::CloseHandle(std::exchange(m_start, nullptr));
        return FALSE;
    }
    m_nThreadID = id;
    m_suspend_count = (flags & CREATE_SUSPENDED) ? 1 : 0;
    if (!m_suspend_count)
        ::SetEvent(m_start);
    return TRUE;
}

DWORD CWinThread::ResumeThread()
{
    if (!m_start) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return 0xFFFFFFFF;
    }
    DWORD previous = m_suspend_count;
    if (m_suspend_count && --m_suspend_count == 0)
        ::SetEvent(m_start);
    return previous;
}

DWORD CWinThread::SuspendThread()
{
    if (!m_start || m_suspend_count == 0) {
        OutputDebugString(u"CWinThread: a running thread cannot be suspended\r\n");
        ::SetLastError(m_start ? ERROR_NOT_SUPPORTED : ERROR_INVALID_HANDLE);
        return 0xFFFFFFFF;
    }
    return m_suspend_count++;
}

DWORD CWinThread::thread_entry(LPVOID parameter)
{
    auto* thread = static_cast<CWinThread*>(parameter);
    ::WaitForSingleObject(thread->m_start, INFINITE);
    t_thread = thread;
    UINT code = thread->m_pfnThreadProc(thread->m_pThreadParams);
    AfxEndThread(code);
}

int CWinThread::ExitInstance()
{
    return static_cast<int>(m_msgCur.wParam);
}

BOOL CWinThread::PreTranslateMessage(MSG* message)
{
    // The window the message is for, then its parents, may take it first.
    for (HWND hwnd = message->hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        if (CWnd* window = CWnd::FromHandlePermanent(hwnd); window && window->PreTranslateMessage(message))
            return TRUE;
    }
    return FALSE;
}

int CWinThread::Run()
{
    for (;;) {
        if (!::PeekMessage(&m_msgCur, nullptr, 0, 0, PM_NOREMOVE))
            CWnd::release_temporaries();
        BOOL got = ::GetMessage(&m_msgCur, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        if (!PreTranslateMessage(&m_msgCur)) {
            ::TranslateMessage(&m_msgCur);
            ::DispatchMessage(&m_msgCur);
        }
    }
    return ExitInstance();
}

void CWinThread::Delete()
{
    if (m_bAutoDelete)
        delete this;
}

CWinThread* AfxBeginThread(AFX_THREADPROC function, LPVOID parameter, int priority, UINT stack_size, DWORD flags,
    LPSECURITY_ATTRIBUTES security)
{
    if (!function)
        return nullptr;
    auto* thread = new CWinThread(function, parameter);
    if (!thread->CreateThread(flags | CREATE_SUSPENDED, stack_size, security)) {
        delete thread;
        return nullptr;
    }
    ::SetThreadPriority(thread->m_hThread, priority);
    if (!(flags & CREATE_SUSPENDED))
        thread->ResumeThread();
    return thread;
}

void AfxEndThread(UINT exit_code, BOOL delete_object)
{
    if (CWinThread* thread = t_thread; thread && delete_object) {
        t_thread = nullptr;
        thread->Delete();
    }
    ::ExitThread(exit_code);
}

CWinThread* AfxGetThread()
{
    return t_thread;
}

void CWinThread::make_current()
{
    t_thread = this;
}
