#include "KernelApi.h"

#include "Clock.h"
#include "Device.h"
#include "Process.h"
#include "SimThread.h"
#include "SyncObjects.h"
#include "ThreadTermination.h"
#include "WideCrt.h"
#include "WideText.h"

#include <algorithm>
#include <cstdarg>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include <sys/uio.h>
#include <unistd.h>

using namespace kivo;

namespace {

HANDLE const current_process_pseudo_handle = reinterpret_cast<HANDLE>(0x42);
HANDLE const current_thread_pseudo_handle = reinterpret_cast<HANDLE>(0x41);
constexpr int64_t filetime_per_minute = 600'000'000LL;

SimThread& self()
{
    Device::current();
    return *SimThread::current();
}

template<typename T = KernelObject>
std::shared_ptr<T> resolve(HANDLE handle)
{
    auto& thread = self();
    if (handle == current_process_pseudo_handle)
        return std::dynamic_pointer_cast<T>(thread.process().shared_from_this());
    if (handle == current_thread_pseudo_handle)
        return std::dynamic_pointer_cast<T>(thread.shared_from_this());
    return thread.device().handles().resolve_as<T>(handle, thread.process());
}

HANDLE insert(std::shared_ptr<KernelObject> object)
{
    auto& thread = self();
    return thread.device().handles().insert(std::move(object), thread.process());
}

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

std::optional<uint64_t> deadline_after(DWORD milliseconds)
{
    if (milliseconds == INFINITE)
        return std::nullopt;
    return self().device().clock().now_ms() + milliseconds;
}

DWORD wait_for(std::span<Waitable* const> objects, bool wait_all, DWORD milliseconds)
{
    auto& thread = self();
    auto& scheduler = thread.device().scheduler();
    auto guard = scheduler.lock();
    WaitOutcome outcome = scheduler.wait(guard, thread, objects, deadline_after(milliseconds), wait_all);
    switch (outcome.kind) {
    case WaitOutcome::Kind::Object:
        return static_cast<DWORD>((outcome.abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0) + outcome.index);
    case WaitOutcome::Kind::Timeout:
        return WAIT_TIMEOUT;
    case WaitOutcome::Kind::Failed:
        break;
    }
    thread.set_last_error(ERROR_INVALID_FUNCTION);
    return WAIT_FAILED;
}

// A named object of one kind: a new one, or the existing one with ERROR_ALREADY_EXISTS; an
// existing object of another kind is refused, as on the device.
template<typename T>
HANDLE create_named(LPCWSTR name, const std::function<std::shared_ptr<T>()>& make)
{
    if (!name || !*name) {
        HANDLE handle = insert(make());
        SetLastError(ERROR_SUCCESS);
        return handle;
    }
    if (wcslen(name) > MAX_PATH) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool existed = false;
    auto object = self().device().named_objects().find_or_create(name, make, existed);
    if (!std::dynamic_pointer_cast<T>(object)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HANDLE handle = insert(object);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

bool to_filetime(const SYSTEMTIME* time, uint64_t& filetime)
{
    return time && system_time_to_filetime(*time, filetime);
}

uint64_t filetime_value(const FILETIME& time)
{
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME make_filetime(uint64_t value)
{
    return { static_cast<DWORD>(value), static_cast<DWORD>(value >> 32) };
}

int64_t bias_filetime()
{
    return static_cast<int64_t>(self().device().clock().time_zone_bias()) * filetime_per_minute;
}

} // namespace

DWORD GetLastError()
{
    return self().last_error();
}

void SetLastError(DWORD error)
{
    self().set_last_error(error);
}

DWORD GetTickCount()
{
    auto& thread = self();
    DWORD ticks = thread.device().clock().tick_count();
    thread.device().scheduler().note_clock_read(thread);
    return ticks;
}

void GetSystemTime(LPSYSTEMTIME time)
{
    auto& thread = self();
    filetime_to_system_time(thread.device().clock().system_time(), *time);
    thread.device().scheduler().note_clock_read(thread);
}

void GetLocalTime(LPSYSTEMTIME time)
{
    auto& thread = self();
    filetime_to_system_time(thread.device().clock().system_time() - bias_filetime(), *time);
    thread.device().scheduler().note_clock_read(thread);
}

BOOL SetSystemTime(const SYSTEMTIME* time)
{
    uint64_t filetime;
    if (!to_filetime(time, filetime))
        return fail(ERROR_INVALID_PARAMETER);
    self().device().clock().set_system_time(filetime);
    return TRUE;
}

BOOL SetLocalTime(const SYSTEMTIME* time)
{
    uint64_t filetime;
    if (!to_filetime(time, filetime))
        return fail(ERROR_INVALID_PARAMETER);
    self().device().clock().set_system_time(filetime + bias_filetime());
    return TRUE;
}

DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION info)
{
    *info = {};
    info->Bias = self().device().clock().time_zone_bias();
    std::u16string name = u"UTC" + format_wide(u"%+d", -info->Bias / 60);
    wcsncpy(info->StandardName, name.c_str(), 31);
    wcsncpy(info->DaylightName, name.c_str(), 31);
    return TIME_ZONE_ID_UNKNOWN;
}

BOOL SetTimeZoneInformation(const TIME_ZONE_INFORMATION* info)
{
    if (!info)
        return fail(ERROR_INVALID_PARAMETER);
    self().device().clock().set_time_zone_bias(info->Bias);
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* time, LPFILETIME filetime)
{
    uint64_t value;
    if (!to_filetime(time, value))
        return fail(ERROR_INVALID_PARAMETER);
    *filetime = make_filetime(value);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* filetime, LPSYSTEMTIME time)
{
    if (!filetime || !filetime_to_system_time(filetime_value(*filetime), *time))
        return fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* filetime, LPFILETIME local)
{
    *local = make_filetime(filetime_value(*filetime) - bias_filetime());
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* local, LPFILETIME filetime)
{
    *filetime = make_filetime(filetime_value(*local) + bias_filetime());
    return TRUE;
}

LONG CompareFileTime(const FILETIME* a, const FILETIME* b)
{
    uint64_t x = filetime_value(*a);
    uint64_t y = filetime_value(*b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

void Sleep(DWORD milliseconds)
{
    auto& thread = self();
    auto& scheduler = thread.device().scheduler();
    auto guard = scheduler.lock();
    if (milliseconds == 0) {
        scheduler.yield(guard, thread);
        return;
    }
    scheduler.wait(guard, thread, {}, deadline_after(milliseconds));
}

BOOL CloseHandle(HANDLE handle)
{
    if (handle == current_process_pseudo_handle || handle == current_thread_pseudo_handle)
        return TRUE;
    auto& thread = self();
    auto object = thread.device().handles().resolve(handle, thread.process());
    if (!object || !thread.device().handles().close(handle, thread.process()))
        return fail(ERROR_INVALID_HANDLE);
    if (DWORD error = object->close_error())
        return fail(error);
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all, DWORD milliseconds)
{
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    // The objects stay alive for the whole wait even if another thread closes their handles.
    std::vector<std::shared_ptr<Waitable>> held;
    std::vector<Waitable*> objects;
    for (DWORD i = 0; i < count; ++i) {
        auto object = resolve<Waitable>(handles[i]);
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(object.get());
        held.push_back(std::move(object));
    }
    return wait_for(objects, wait_all, milliseconds);
}

HANDLE CreateEvent(LPSECURITY_ATTRIBUTES, BOOL manual_reset, BOOL initial_state, LPCWSTR name)
{
    return create_named<Event>(name, [=] { return std::make_shared<Event>(manual_reset, initial_state); });
}

BOOL SetEvent(HANDLE handle)
{
    auto event = resolve<Event>(handle);
    if (!event)
        return fail(ERROR_INVALID_HANDLE);
    auto guard = self().device().scheduler().lock();
    event->set();
    return TRUE;
}

BOOL ResetEvent(HANDLE handle)
{
    auto event = resolve<Event>(handle);
    if (!event)
        return fail(ERROR_INVALID_HANDLE);
    auto guard = self().device().scheduler().lock();
    event->reset();
    return TRUE;
}

HANDLE CreateMutex(LPSECURITY_ATTRIBUTES, BOOL initial_owner, LPCWSTR name)
{
    auto& scheduler = self().device().scheduler();
    HANDLE handle = create_named<Mutex>(name, [&] { return std::make_shared<Mutex>(scheduler); });
    if (handle && initial_owner && GetLastError() != ERROR_ALREADY_EXISTS) {
        auto mutex = resolve<Mutex>(handle);
        auto guard = self().device().scheduler().lock();
        mutex->acquire(self());
    }
    return handle;
}

BOOL ReleaseMutex(HANDLE handle)
{
    auto mutex = resolve<Mutex>(handle);
    if (!mutex)
        return fail(ERROR_INVALID_HANDLE);
    auto guard = self().device().scheduler().lock();
    if (!mutex->release(self()))
        return fail(ERROR_NOT_OWNER);
    return TRUE;
}

HANDLE CreateSemaphore(LPSECURITY_ATTRIBUTES, LONG initial_count, LONG maximum_count, LPCWSTR name)
{
    if (maximum_count <= 0 || initial_count < 0 || initial_count > maximum_count) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return create_named<Semaphore>(name, [=] { return std::make_shared<Semaphore>(initial_count, maximum_count); });
}

BOOL ReleaseSemaphore(HANDLE handle, LONG release_count, LPLONG previous_count)
{
    auto semaphore = resolve<Semaphore>(handle);
    if (!semaphore)
        return fail(ERROR_INVALID_HANDLE);
    auto guard = self().device().scheduler().lock();
    if (!semaphore->release(release_count, previous_count))
        return fail(ERROR_TOO_MANY_POSTS);
    return TRUE;
}

void InitializeCriticalSection(LPCRITICAL_SECTION section)
{
    section->LockHandle = insert(std::make_shared<Mutex>(self().device().scheduler()));
}

void DeleteCriticalSection(LPCRITICAL_SECTION section)
{
    CloseHandle(section->LockHandle);
    section->LockHandle = nullptr;
}

void EnterCriticalSection(LPCRITICAL_SECTION section)
{
    WaitForSingleObject(section->LockHandle, INFINITE);
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section)
{
    return WaitForSingleObject(section->LockHandle, 0) == WAIT_OBJECT_0;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section)
{
    ReleaseMutex(section->LockHandle);
}

LONG InterlockedIncrement(LONG volatile* value)
{
    return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedDecrement(LONG volatile* value)
{
    return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedExchange(LONG volatile* target, LONG value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

LONG InterlockedExchangeAdd(LONG volatile* target, LONG value)
{
    return __atomic_fetch_add(target, value, __ATOMIC_SEQ_CST);
}

LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand)
{
    __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return comparand;
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, DWORD, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
    LPDWORD thread_id)
{
    auto& thread = self();
    if (flags & CREATE_SUSPENDED) {
        // FIXME: no program starts a thread suspended; say so rather than run it at once.
        thread.device().write_debug(u"CreateThread: CREATE_SUSPENDED is not supported\r\n");
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto created = thread.device().create_thread(thread.process(), [start, parameter] { return start(parameter); });
    if (!created) {
        SetLastError(ERROR_SHUTDOWN_IN_PROGRESS);
        return nullptr;
    }
    if (thread_id)
        *thread_id = created->id();
    return insert(created);
}

void ExitThread(DWORD exit_code)
{
    throw ThreadExit { exit_code };
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exit_code)
{
    auto thread = resolve<SimThread>(handle);
    if (!thread)
        return fail(ERROR_INVALID_HANDLE);
    auto guard = self().device().scheduler().lock();
    *exit_code = thread->state() == SimThread::State::Finished ? thread->exit_code() : STILL_ACTIVE;
    return TRUE;
}

HANDLE GetCurrentThread()
{
    return current_thread_pseudo_handle;
}

DWORD GetCurrentThreadId()
{
    return self().id();
}

BOOL CeSetThreadPriority(HANDLE handle, int priority)
{
    auto thread = resolve<SimThread>(handle);
    if (!thread)
        return fail(ERROR_INVALID_HANDLE);
    if (priority < 0 || priority > 255)
        return fail(ERROR_INVALID_PARAMETER);
    // Recorded only: the virtual clock runs threads in a fixed order whatever their priority.
    thread->set_priority(priority);
    return TRUE;
}

int CeGetThreadPriority(HANDLE handle)
{
    auto thread = resolve<SimThread>(handle);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0x7FFFFFFF;
    }
    return thread->priority();
}

// The eight priorities of SetThreadPriority are the device's levels 248 to 255.
BOOL SetThreadPriority(HANDLE handle, int priority)
{
    if (priority < THREAD_PRIORITY_TIME_CRITICAL || priority > THREAD_PRIORITY_IDLE)
        return fail(ERROR_INVALID_PARAMETER);
    return CeSetThreadPriority(handle, 248 + priority);
}

int GetThreadPriority(HANDLE handle)
{
    int level = CeGetThreadPriority(handle);
    return level >= 248 && level <= 255 ? level - 248 : THREAD_PRIORITY_NORMAL;
}

BOOL CreateProcess(LPCWSTR image_name, LPWSTR command_line, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
    LPVOID, LPCWSTR, LPSTARTUPINFO, LPPROCESS_INFORMATION information)
{
    std::u16string image = image_name ? image_name : u"";
    std::u16string arguments = command_line ? command_line : u"";
    if (image.empty()) {
        // The image is the first word of the command line, the rest its arguments.
        auto end = arguments.find(u' ');
        image = arguments.substr(0, end);
        arguments = end == std::u16string::npos ? u"" : arguments.substr(end + 1);
    }
    auto& thread = self();
    DWORD error = 0;
    // The main thread as it was made: on the real clock the child may already have ended, and
    // its thread list with it.
    std::shared_ptr<SimThread> main;
    auto process = thread.device().create_process(image, arguments, error, &main);
    if (!process)
        return fail(error);
    if (information) {
        information->hProcess = insert(process);
        information->hThread = insert(main);
        information->dwProcessId = process->id();
        information->dwThreadId = main->id();
    }
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE handle, LPDWORD exit_code)
{
    auto process = resolve<Process>(handle);
    if (!process)
        return fail(ERROR_INVALID_HANDLE);
    auto guard = self().device().scheduler().lock();
    *exit_code = process->ended() ? process->exit_code() : STILL_ACTIVE;
    return TRUE;
}

BOOL TerminateProcess(HANDLE handle, UINT exit_code)
{
    auto process = resolve<Process>(handle);
    if (!process)
        return fail(ERROR_INVALID_HANDLE);
    auto& thread = self();
    if (process.get() == &thread.device().system_process())
        return fail(ERROR_ACCESS_DENIED);
    auto& scheduler = thread.device().scheduler();
    {
        auto guard = scheduler.lock();
        if (process->ended() || process->terminating())
            return fail(ERROR_ACCESS_DENIED);
        process->terminate(exit_code);
    }
    if (&thread.process() == process.get() && !thread.unwinding())
        scheduler.throw_termination(thread);
    return TRUE;
}

void ExitProcess(UINT exit_code)
{
    auto& thread = self();
    if (&thread.process() == &thread.device().system_process())
        throw ThreadExit { exit_code };
    {
        auto guard = thread.device().scheduler().lock();
        thread.process().terminate(exit_code);
    }
    thread.device().scheduler().throw_termination(thread);
}

HANDLE GetCurrentProcess()
{
    return current_process_pseudo_handle;
}

DWORD GetCurrentProcessId()
{
    return self().process().id();
}

DWORD GetModuleFileName(HMODULE module, LPWSTR file_name, DWORD size)
{
    auto& thread = self();
    std::u16string path = module ? thread.device().module_path(module) : thread.process().image_path();
    if (path.empty())
        return fail(ERROR_MOD_NOT_FOUND);
    if (size == 0)
        return fail(ERROR_INSUFFICIENT_BUFFER);
    // Cut to fit, terminated, as the device does.
    size_t length = std::min<size_t>(path.size(), size - 1);
    std::char_traits<char16_t>::copy(file_name, path.data(), length);
    file_name[length] = 0;
    if (length < path.size())
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return static_cast<DWORD>(length);
}

BOOL ReadProcessMemory(HANDLE handle, LPCVOID address, LPVOID buffer, DWORD size, LPDWORD bytes_read)
{
    if (bytes_read)
        *bytes_read = 0;
    auto process = resolve<Process>(handle);
    if (!process)
        return fail(ERROR_INVALID_HANDLE);
    if (process->ended())
        return fail(ERROR_ACCESS_DENIED);
    if (size == 0)
        return TRUE;
    // The device's processes share this host process's address space. The kernel reads it for
    // us and answers EFAULT where nothing readable is mapped, so a stale or made-up address never
    // faults here (nor is it seen by the sanitizers as an access of ours).
    iovec local { buffer, size };
    iovec remote { const_cast<void*>(address), size };
    ssize_t copied = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
    if (bytes_read && copied > 0)
        *bytes_read = static_cast<DWORD>(copied);
    if (copied != static_cast<ssize_t>(size))
        return fail(ERROR_PARTIAL_COPY);
    return TRUE;
}

HMODULE GetModuleHandle(LPCWSTR module_name)
{
    auto& thread = self();
    if (!module_name)
        return thread.process().module();
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

LPWSTR GetCommandLine()
{
    return const_cast<LPWSTR>(self().process().command_line().c_str());
}

void OutputDebugString(LPCWSTR text)
{
    if (text)
        self().device().write_debug(text);
}

void NKDbgPrintfW(LPCWSTR format, ...)
{
    va_list args;
    va_start(args, format);
    std::u16string text = vformat_wide(format, args);
    va_end(args);
    self().device().write_debug(text);
}

void SignalStarted(DWORD launch_number)
{
    self().device().boot_launcher().signal_started(launch_number);
}

void GwesPowerOffSystem()
{
    self().device().stop(StopReason::PowerOff);
}

DWORD SetSystemPowerState(LPCWSTR, DWORD state, DWORD)
{
    if (state & POWER_STATE_RESET)
        self().device().stop(StopReason::Reset);
    else if (state & POWER_STATE_OFF)
        self().device().stop(StopReason::PowerOff);
    return ERROR_SUCCESS;
}
