#include "MessageNames.h"

#include "KivoNotify.h"
#include "WideText.h"
#include "platform.h"

#include <limits>

namespace kivo {

const std::vector<MessageName>& fixed_message_names()
{
    static const std::vector<MessageName> names {
        { "WM_QUIT", WM_QUIT },
        { "WM_CLOSE", WM_CLOSE },
        { "WM_COMMAND", WM_COMMAND },
        { "WM_TIMER", WM_TIMER },
        { "WM_ACTIVATE", WM_ACTIVATE },
        { "WM_COPYDATA", WM_COPYDATA },
        { "WM_USER", WM_USER },
        { "WM_APP", WM_APP },
        { "WM_KIVO_NOTIFY", WM_KIVO_NOTIFY },
        { "MSG_AUDIO_READY", MSG_AUDIO_READY },
        { "MSG_VIDEO_READY", MSG_VIDEO_READY },
        { "MSG_PHOTO_READY", MSG_PHOTO_READY },
        { "MSG_SETTING_READY", MSG_SETTING_READY },
        { "MSG_TV_READY", MSG_TV_READY },
        { "MSG_BATT_CRITICAL", MSG_BATT_CRITICAL },
        { "MSG_LOWBAT_COUNTDOWN", MSG_LOWBAT_COUNTDOWN },
        { "MSG_SHUTDOWN", MSG_SHUTDOWN },
        { "MSG_SHOW_WARNINGS", MSG_SHOW_WARNINGS },
        { "WM_SD_INSERTED", WM_SD_INSERTED },
        { "WM_SD_REMOVED", WM_SD_REMOVED },
        { "WM_USB_BUSY", WM_USB_BUSY },
        { "WM_USB_IDLE", WM_USB_IDLE },
    };
    return names;
}

const std::vector<MessageName>& notify_code_names()
{
    static const std::vector<MessageName> names {
        { "APP_SD_READY", APP_SD_READY },
        { "APP_SD_NONE", APP_SD_NONE },
        { "APP_HARDKEY", APP_HARDKEY },
        { "DRV_BATT_AC_CHANGE", DRV_BATT_AC_CHANGE },
        { "DRV_BATT_LEVEL", DRV_BATT_LEVEL },
        { "APP_MEDIA_RUN", APP_MEDIA_RUN },
        { "APP_MEDIA_STOP", APP_MEDIA_STOP },
        { "APP_MEDIA_PAUSE", APP_MEDIA_PAUSE },
        { "APP_MEDIA_MUTE", APP_MEDIA_MUTE },
        { "APP_NAVI_VOICE", APP_NAVI_VOICE },
        { "APP_NAVI_ROUTE", APP_NAVI_ROUTE },
        { "APP_SWITCH_TV", APP_SWITCH_TV },
        { "APP_SWITCH_AUDIO", APP_SWITCH_AUDIO },
        { "APP_NAVI_DIAL", APP_NAVI_DIAL },
        { "APP_SHOW_NAVI", APP_SHOW_NAVI },
        { "DRV_SD_INSERT", DRV_SD_INSERT },
        { "DRV_SD_RMV2", DRV_SD_RMV2 },
        { "DRV_SD_RMV", DRV_SD_RMV },
        { "DRV_SD_FORMAT_NOTSUPPORT2FMTNOSUPPORT", DRV_SD_FORMAT_NOTSUPPORT2FMTNOSUPPORT },
        { "DRV_SD_NONE2NOSD", DRV_SD_NONE2NOSD },
        { "DRV_POWER_OFF", DRV_POWER_OFF },
        { "DRV_HARDKEY", DRV_HARDKEY },
        { "DRV_AC_CHANGE", DRV_AC_CHANGE },
        { "DRV_BATT_CHANGE", DRV_BATT_CHANGE },
        { "DRV_USB_CONNECT", DRV_USB_CONNECT },
        { "DRV_USB_REMOVE", DRV_USB_REMOVE },
        { "APP_MEDIA_UNMUTE", APP_MEDIA_UNMUTE },
        { "APP_USB_CONNECTED", APP_USB_CONNECTED },
        { "APP_USB_REMOVED", APP_USB_REMOVED },
        { "APP_CLOSE", APP_CLOSE },
        { "APP_CLOSED", APP_CLOSED },
        { "APP_USB_BUSY", APP_USB_BUSY },
        { "APP_USB_IDLE", APP_USB_IDLE },
        { "APP_GET_KEYSOUND", APP_GET_KEYSOUND },
        { "APP_KEYSOUND", APP_KEYSOUND },
    };
    return names;
}

const std::vector<const char*>& registered_message_names()
{
    // The phone link's requests and notifications, and the watchdog's notice to it.
    static const std::vector<const char*> names {
        "WM_ZOLBT_INMSG_SHOWHIDE_PHONELINE",
        "WM_ZOLBT_INMSG_SHOWHIDE_DIALER",
        "WM_ZOLBT_INMSG_SHOWHIDE_SETTING",
        "WM_ZOLBT_INMSG_SHOWHIDE_FLOATINGWND",
        "WM_ZOLBT_INMSG_BTPOWER",
        "WM_ZOLBT_INMSG_GETBTPOWER",
        "WM_ZOLBT_OUTMSG_BTPOWERSTATUS",
        "WM_ZOLBT_INMSG_GETCALLSTATUS",
        "WM_ZOLBT_OUTMSG_CALLSTATUS",
        "WM_ZOLBT_INMSG_HANGUP",
        "WM_ZOLBT_INMSG_GETMISSCALL",
        "WM_ZOLBT_OUTMSG_MISSCALL",
        "WM_ZOLBT_INMSG_QUERYFUCTION",
        "WM_ZOLBT_INMSG_GPRSCONNECTION",
        "WM_ZOLBT_INMSG_CHANGELANG",
        "WM_ZOLBT_OUTMSG_ERRORCODE",
        "WM_ZOLDOGMSG_RESUME",
    };
    return names;
}

std::optional<UINT> value_of(const std::string& word)
{
    if (auto number = script_number(word)) {
        // Negative values stand for their 32-bit pattern (an lParam of -1); nothing wider fits.
        if (*number < std::numeric_limits<int32_t>::min() || *number > std::numeric_limits<uint32_t>::max())
            return std::nullopt;
        return static_cast<UINT>(*number);
    }
    for (auto& code : notify_code_names()) {
        if (word == code.name)
            return code.value;
    }
    return std::nullopt;
}

MessageLookup message_by_name(const std::string& word, const std::set<std::string>& declared)
{
    if (auto number = script_number(word)) {
        if (*number < 0 || *number > std::numeric_limits<uint32_t>::max())
            return { std::nullopt, "a message number is 0 to 0xFFFFFFFF: " + word };
        return { static_cast<UINT>(*number), {} };
    }
    std::string name = word;
    long long offset = 0;
    if (auto plus = word.find('+'); plus != std::string::npos) {
        auto added = script_number(word.substr(plus + 1));
        if (!added || *added < 0 || *added > 0xFFFF)
            return { std::nullopt, "not a message: " + word };
        name = word.substr(0, plus);
        offset = *added;
    }
    for (auto& fixed : fixed_message_names()) {
        if (name == fixed.name)
            return { fixed.value + static_cast<UINT>(offset), {} };
    }
    bool registered = declared.contains(name);
    for (auto* known : registered_message_names())
        registered = registered || name == known;
    if (!registered || offset)
        return { std::nullopt,
            "unknown message '" + word + "' (a number, a message the suite defines, or a name declared with 'register NAME')" };
    UINT value = RegisterWindowMessage(to_utf16(name).c_str());
    if (!value)
        return { std::nullopt, "cannot register the message " + name };
    return { value, {} };
}

} // namespace kivo
