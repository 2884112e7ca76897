#include "LinkProtocol.h"

#include "program_services.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <iterator>

namespace {

constexpr std::array<std::u16string_view, LINK_MESSAGE_COUNT> link_message_names {
    u"WM_ZOLBT_INMSG_SHOWHIDE_PHONELINE",
    u"WM_ZOLBT_INMSG_SHOWHIDE_DIALER",
    u"WM_ZOLBT_INMSG_SHOWHIDE_SETTING",
    u"WM_ZOLBT_INMSG_SHOWHIDE_FLOATINGWND",
    u"WM_ZOLBT_INMSG_BTPOWER",
    u"WM_ZOLBT_INMSG_GETBTPOWER",
    u"WM_ZOLBT_OUTMSG_BTPOWERSTATUS",
    u"WM_ZOLBT_INMSG_GETCALLSTATUS",
    u"WM_ZOLBT_OUTMSG_CALLSTATUS",
    u"WM_ZOLBT_INMSG_HANGUP",
    u"WM_ZOLBT_INMSG_GETMISSCALL",
    u"WM_ZOLBT_OUTMSG_MISSCALL",
    u"WM_ZOLBT_INMSG_QUERYFUCTION",
    u"WM_ZOLBT_INMSG_GPRSCONNECTION",
    u"WM_ZOLBT_INMSG_CHANGELANG",
    u"WM_ZOLBT_OUTMSG_ERRORCODE",
    u"WM_ZOLDOGMSG_RESUME",
};

// The numbers are the device's, so each program (each simulated process) keeps its own copy.
kivo::ProcessLocal<std::array<UINT, LINK_MESSAGE_COUNT>> s_ids;

template<size_t N>
void CopyTerminated(WCHAR (&field)[N], const BYTE* from, size_t available)
{
    std::memcpy(field, from, std::min(available, sizeof(field)));
    field[N - 1] = 0;
}

bool SameText(const WCHAR* a, const WCHAR* b)
{
    return std::u16string_view(a) == std::u16string_view(b);
}

} // namespace

std::u16string_view LinkMessageName(LinkMessage message)
{
    return link_message_names[static_cast<size_t>(message)];
}

void RegisterLinkMessages()
{
    auto& ids = *s_ids;
    for (size_t i = 0; i < ids.size(); ++i) {
        if (!ids[i])
            ids[i] = RegisterWindowMessage(std::u16string(link_message_names[i]).c_str());
    }
}

UINT LinkMessageId(LinkMessage message)
{
    return (*s_ids)[static_cast<size_t>(message)];
}

std::optional<LinkMessage> LinkMessageOf(UINT message)
{
    if (!message)
        return std::nullopt;
    const auto& ids = *s_ids;
    for (size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] == message)
            return static_cast<LinkMessage>(i);
    }
    return std::nullopt;
}

std::optional<CopyDataRequest> ReadCopyData(const COPYDATASTRUCT* block)
{
    if (!block || !block->lpData || block->cbData == 0)
        return std::nullopt;
    CopyDataRequest request;
    request.code = block->dwData;
    const auto* data = static_cast<const BYTE*>(block->lpData);
    size_t size = block->cbData;
    switch (block->dwData) {
    case COPYDATA_REGISTERWND:
    case COPYDATA_UNREGISTERWND: {
        size_t classOffset = offsetof(_tagZOL_MSGOUT_WND, className);
        CopyTerminated(request.window.title, data, std::min(size, classOffset));
        if (size > classOffset)
            CopyTerminated(request.window.className, data + classOffset, size - classOffset);
        return request;
    }
    case COPYDATA_DIALOUT:
        CopyTerminated(request.dial.number, data, size);
        return request;
    default:
        return std::nullopt;
    }
}

bool SubscriberList::Add(const _tagZOL_MSGOUT_WND& subscriber)
{
    if (!subscriber.title[0] && !subscriber.className[0])
        return false;
    m_entries.push_back(subscriber);
    return true;
}

bool SubscriberList::Remove(const _tagZOL_MSGOUT_WND& subscriber)
{
    auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const _tagZOL_MSGOUT_WND& entry) {
        return SameText(entry.title, subscriber.title) && SameText(entry.className, subscriber.className);
    });
    if (found == m_entries.end())
        return false;
    m_entries.erase(found);
    return true;
}

void SubscriberList::PostToAll(UINT message, WPARAM wparam, LPARAM lparam) const
{
    for (const auto& entry : m_entries) {
        const WCHAR* className = entry.className[0] ? entry.className : nullptr;
        const WCHAR* title = entry.title[0] ? entry.title : nullptr;
        if (HWND window = FindWindow(className, title))
            ::PostMessage(window, message, wparam, lparam);
    }
}
