#include "PowerApi.h"

#include "Device.h"
#include "KernelApi.h"
#include "PointToPointQueue.h"
#include "PowerNotifications.h"
#include "Process.h"
#include "Scheduler.h"
#include "SimThread.h"

#include <cstring>
#include <optional>

using namespace kivo;

namespace {

template<typename T>
std::shared_ptr<T> resolve(HANDLE handle)
{
    return Device::current().handles().resolve_as<T>(handle, Process::current());
}

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

} // namespace

HANDLE CreateMsgQueue(LPCWSTR name, LPMSGQUEUEOPTIONS options)
{
    if (!options || options->dwSize < sizeof(MSGQUEUEOPTIONS) || options->cbMaxMessage == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto& device = Device::current();
    if (name && *name) {
        // FIXME: no program shares a queue by name; the power notifications need none.
        device.write_debug(u"CreateMsgQueue: named queues are not supported\r\n");
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto queue = std::make_shared<PointToPointQueue>(options->dwMaxMessages, options->cbMaxMessage, options->bReadAccess != 0);
    SetLastError(ERROR_SUCCESS);
    return device.handles().insert(std::move(queue), Process::current());
}

BOOL ReadMsgQueue(HANDLE handle, LPVOID buffer, DWORD buffer_size, LPDWORD bytes_read, DWORD timeout, DWORD* flags)
{
    auto queue = resolve<PointToPointQueue>(handle);
    if (!queue)
        return fail(ERROR_INVALID_HANDLE);
    if (!queue->read_access())
        return fail(ERROR_ACCESS_DENIED);
    if (!buffer || !bytes_read)
        return fail(ERROR_INVALID_PARAMETER);
    auto& thread = *SimThread::current();
    auto& scheduler = Device::current().scheduler();
    auto guard = scheduler.lock();
    if (queue->empty()) {
        std::optional<uint64_t> deadline;
        if (timeout != INFINITE)
            deadline = Device::current().clock().now_ms() + timeout;
        Waitable* objects[] = { queue.get() };
        auto outcome = scheduler.wait(guard, thread, objects, deadline);
        if (outcome.kind == WaitOutcome::Kind::Timeout) {
            guard.unlock();
            return fail(ERROR_TIMEOUT);
        }
        if (outcome.kind == WaitOutcome::Kind::Failed || queue->empty()) {
            guard.unlock();
            return fail(ERROR_INVALID_FUNCTION);
        }
    }
    // A message that does not fit stays in the queue for a larger buffer.
    if (queue->front_size() > buffer_size) {
        *bytes_read = static_cast<DWORD>(queue->front_size());
        guard.unlock();
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    auto message = queue->pop();
    guard.unlock();
    std::memcpy(buffer, message.data(), message.size());
    *bytes_read = static_cast<DWORD>(message.size());
    if (flags)
        *flags = 0;
    return TRUE;
}

BOOL CloseMsgQueue(HANDLE handle)
{
    if (!resolve<PointToPointQueue>(handle))
        return fail(ERROR_INVALID_HANDLE);
    return CloseHandle(handle);
}

HANDLE RequestPowerNotifications(HANDLE queue_handle, DWORD kinds)
{
    auto queue = resolve<PointToPointQueue>(queue_handle);
    if (!queue || !kinds) {
        SetLastError(queue ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto& device = Device::current();
    auto request = device.component<PowerNotifications>().add(std::move(queue), kinds);
    return device.handles().insert(std::move(request), Process::current());
}

DWORD StopPowerNotifications(HANDLE handle)
{
    if (!resolve<PowerNotifications::Request>(handle))
        return ERROR_INVALID_HANDLE;
    CloseHandle(handle);
    return ERROR_SUCCESS;
}
