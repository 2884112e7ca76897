#pragma once

// The phone link's message interface as other programs see it: the registered message names, the
// records that travel in WM_COPYDATA and the list of subscribed windows. Requests and
// notifications are registered window messages, so their numbers agree between all programs that
// register the same names.

#include "platform.h"

#include <optional>
#include <string_view>
#include <vector>

// The registered messages, in the order they are registered.
enum class LinkMessage {
    ShowHidePhoneLine,
    ShowHideDialer,
    ShowHideSetting,
    ShowHideFloatingWnd,
    BTPower,
    GetBTPower,
    BTPowerStatus,
    GetCallStatus,
    CallStatus,
    HangUp,
    GetMissCall,
    MissCall,
    QueryFunction,
    GprsConnection,
    ChangeLang,
    ErrorCode,
    // Posted by the watchdog around a suspend; registered by the main panel's module only.
    DogResume,
};
inline constexpr int LINK_MESSAGE_COUNT = 17;

// The name each LinkMessage is registered by.
std::u16string_view LinkMessageName(LinkMessage);
// Registers every name for the calling program, once; done at start, before any window exists.
void RegisterLinkMessages();
// The number the platform gave a name (0 before RegisterLinkMessages).
UINT LinkMessageId(LinkMessage);
// The LinkMessage of a message number, if it is one.
std::optional<LinkMessage> LinkMessageOf(UINT message);

// The WM_COPYDATA codes (dwData).
inline constexpr ULONG_PTR COPYDATA_REGISTERWND = 11024;
inline constexpr ULONG_PTR COPYDATA_UNREGISTERWND = 11025;
inline constexpr ULONG_PTR COPYDATA_DIALOUT = 11026;

// One subscriber: a window title, a window class, or both.
struct _tagZOL_MSGOUT_WND {
    WCHAR title[100];
    WCHAR className[100];
};
static_assert(sizeof(_tagZOL_MSGOUT_WND) == 400);

// The number to dial.
struct _tagZOL_DIALOUT {
    WCHAR number[260];
};
static_assert(sizeof(_tagZOL_DIALOUT) == 520);

// A WM_COPYDATA block taken as its record. A block shorter than its record fills the start of a
// zeroed one, and each text field ends in a NUL however full the sender made it.
struct CopyDataRequest {
    ULONG_PTR code = 0;
    _tagZOL_MSGOUT_WND window {};
    _tagZOL_DIALOUT dial {};
};
// Nothing for a block without data or with an unknown code.
std::optional<CopyDataRequest> ReadCopyData(const COPYDATASTRUCT* block);

// The subscribed windows, in the order they came, duplicates kept.
class SubscriberList {
public:
    // Appends a copy; refuses (false) a record without title and class, which would find any
    // untitled window.
    bool Add(const _tagZOL_MSGOUT_WND& subscriber);
    // Removes the first entry whose title and class both equal the given ones exactly; false when
    // none does.
    bool Remove(const _tagZOL_MSGOUT_WND& subscriber);
    // Posts the message to the window of each entry that has one: by title when the class is
    // empty, by class when the title is, else by both. An entry whose window is gone stays.
    void PostToAll(UINT message, WPARAM wparam, LPARAM lparam) const;

    const std::vector<_tagZOL_MSGOUT_WND>& Entries() const { return m_entries; }

private:
    std::vector<_tagZOL_MSGOUT_WND> m_entries;
};
