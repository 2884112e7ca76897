#pragma once

// Point-to-point message queues and the power manager's notifications through them.

#include "kernel/Errors.h"
#include "kernel/Types.h"

struct MSGQUEUEOPTIONS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwMaxMessages; // 0: no limit
    DWORD cbMaxMessage;
    BOOL bReadAccess;
};
using LPMSGQUEUEOPTIONS = MSGQUEUEOPTIONS*;
static_assert(sizeof(MSGQUEUEOPTIONS) == 20);

inline constexpr DWORD MSGQUEUE_NOPRECOMMIT = 0x1;
inline constexpr DWORD MSGQUEUE_ALLOW_BROKEN = 0x2;

// What a power notification tells, and the kinds a queue asks for.
inline constexpr DWORD PBT_TRANSITION = 0x1;
inline constexpr DWORD PBT_RESUME = 0x2;
inline constexpr DWORD PBT_POWERSTATUSCHANGE = 0x4;
inline constexpr DWORD PBT_POWERINFOCHANGE = 0x8;
inline constexpr DWORD POWER_NOTIFY_ALL = 0xFFFFFFFF;

// One notification as read from the queue: the state's name follows, Length bytes with its zero.
struct POWER_BROADCAST {
    DWORD Message;
    DWORD Flags;
    DWORD Length;
    WCHAR SystemPowerState[1];
};
using PPOWER_BROADCAST = POWER_BROADCAST*;

HANDLE CreateMsgQueue(LPCWSTR name, LPMSGQUEUEOPTIONS);
BOOL ReadMsgQueue(HANDLE queue, LPVOID buffer, DWORD buffer_size, LPDWORD bytes_read, DWORD timeout, DWORD* flags);
BOOL CloseMsgQueue(HANDLE queue);

HANDLE RequestPowerNotifications(HANDLE queue, DWORD kinds);
DWORD StopPowerNotifications(HANDLE notifications);
