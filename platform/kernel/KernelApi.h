#pragma once

// The device kernel's calls, by the platform's names: time, waits, events and mutexes, threads,
// processes, modules, debug output, the boot launcher and power.

#include "Errors.h"
#include "Types.h"

inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_ABANDONED = 0x80;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;
inline constexpr DWORD STILL_ACTIVE = 259;
inline constexpr DWORD CREATE_SUSPENDED = 0x4;

inline constexpr int THREAD_PRIORITY_TIME_CRITICAL = 0;
inline constexpr int THREAD_PRIORITY_HIGHEST = 1;
inline constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 2;
inline constexpr int THREAD_PRIORITY_NORMAL = 3;
inline constexpr int THREAD_PRIORITY_BELOW_NORMAL = 4;
inline constexpr int THREAD_PRIORITY_LOWEST = 5;
inline constexpr int THREAD_PRIORITY_ABOVE_IDLE = 6;
inline constexpr int THREAD_PRIORITY_IDLE = 7;

inline constexpr DWORD TIME_ZONE_ID_UNKNOWN = 0;

// System power states for SetSystemPowerState.
inline constexpr DWORD POWER_STATE_ON = 0x00010000;
inline constexpr DWORD POWER_STATE_OFF = 0x00020000;
inline constexpr DWORD POWER_STATE_SUSPEND = 0x00200000;
inline constexpr DWORD POWER_STATE_RESET = 0x00800000;
inline constexpr DWORD POWER_FORCE = 0x00001000;

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

struct STARTUPINFO {
    DWORD cb;
};
using LPSTARTUPINFO = STARTUPINFO*;

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

// A critical section is a mutex of the kernel, so that contention blocks through the scheduler.
struct CRITICAL_SECTION {
    HANDLE LockHandle;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

DWORD GetLastError();
void SetLastError(DWORD);

// Time
DWORD GetTickCount();
void GetSystemTime(LPSYSTEMTIME);
void GetLocalTime(LPSYSTEMTIME);
BOOL SetSystemTime(const SYSTEMTIME*);
BOOL SetLocalTime(const SYSTEMTIME*);
DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION);
BOOL SetTimeZoneInformation(const TIME_ZONE_INFORMATION*);
BOOL SystemTimeToFileTime(const SYSTEMTIME*, LPFILETIME);
BOOL FileTimeToSystemTime(const FILETIME*, LPSYSTEMTIME);
BOOL FileTimeToLocalFileTime(const FILETIME*, LPFILETIME);
BOOL LocalFileTimeToFileTime(const FILETIME*, LPFILETIME);
LONG CompareFileTime(const FILETIME*, const FILETIME*);
void Sleep(DWORD milliseconds);

// Handles and waits
BOOL CloseHandle(HANDLE);
DWORD WaitForSingleObject(HANDLE, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all, DWORD milliseconds);

// Events, mutexes, semaphores, critical sections
HANDLE CreateEvent(LPSECURITY_ATTRIBUTES, BOOL manual_reset, BOOL initial_state, LPCWSTR name);
BOOL SetEvent(HANDLE);
BOOL ResetEvent(HANDLE);
HANDLE CreateMutex(LPSECURITY_ATTRIBUTES, BOOL initial_owner, LPCWSTR name);
BOOL ReleaseMutex(HANDLE);
HANDLE CreateSemaphore(LPSECURITY_ATTRIBUTES, LONG initial_count, LONG maximum_count, LPCWSTR name);
BOOL ReleaseSemaphore(HANDLE, LONG release_count, LPLONG previous_count);
void InitializeCriticalSection(LPCRITICAL_SECTION);
void DeleteCriticalSection(LPCRITICAL_SECTION);
void EnterCriticalSection(LPCRITICAL_SECTION);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION);
void LeaveCriticalSection(LPCRITICAL_SECTION);

LONG InterlockedIncrement(LONG volatile*);
LONG InterlockedDecrement(LONG volatile*);
LONG InterlockedExchange(LONG volatile*, LONG value);
LONG InterlockedExchangeAdd(LONG volatile*, LONG value);
LONG InterlockedCompareExchange(LONG volatile*, LONG exchange, LONG comparand);

// Threads
HANDLE CreateThread(LPSECURITY_ATTRIBUTES, DWORD stack_size, LPTHREAD_START_ROUTINE, LPVOID parameter, DWORD flags,
    LPDWORD thread_id);
[[noreturn]] void ExitThread(DWORD exit_code);
BOOL GetExitCodeThread(HANDLE, LPDWORD exit_code);
HANDLE GetCurrentThread();
DWORD GetCurrentThreadId();
BOOL SetThreadPriority(HANDLE, int priority);
int GetThreadPriority(HANDLE);
BOOL CeSetThreadPriority(HANDLE, int priority);
int CeGetThreadPriority(HANDLE);

// Processes and modules
BOOL CreateProcess(LPCWSTR image_name, LPWSTR command_line, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
    BOOL inherit_handles, DWORD flags, LPVOID environment, LPCWSTR current_directory, LPSTARTUPINFO,
    LPPROCESS_INFORMATION);
BOOL GetExitCodeProcess(HANDLE, LPDWORD exit_code);
BOOL TerminateProcess(HANDLE, UINT exit_code);
[[noreturn]] void ExitProcess(UINT exit_code);
HANDLE GetCurrentProcess();
DWORD GetCurrentProcessId();
DWORD GetModuleFileName(HMODULE, LPWSTR file_name, DWORD size);
HMODULE GetModuleHandle(LPCWSTR module_name);
// Copies another process's memory into the buffer, checked: an address that cannot be read (a
// garbage value, a block already given back) fails with ERROR_PARTIAL_COPY and `bytes_read` says
// how much came before it, instead of faulting; a refused process handle fails with
// ERROR_INVALID_HANDLE, an ended process with ERROR_ACCESS_DENIED.
BOOL ReadProcessMemory(HANDLE process, LPCVOID address, LPVOID buffer, DWORD size, LPDWORD bytes_read);
LPWSTR GetCommandLine();

// Debug output
void OutputDebugString(LPCWSTR);
void NKDbgPrintfW(LPCWSTR format, ...);

// The boot launcher: programs waiting for this launch number may start now.
void SignalStarted(DWORD launch_number);

// Power
void GwesPowerOffSystem();
DWORD SetSystemPowerState(LPCWSTR state_name, DWORD state, DWORD options);
