#pragma once

#include "DeviceComponent.h"
#include "Types.h"

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

namespace kivo {

class Device;

// The device's code pages, converted through iconv: the ANSI code page (CP_ACP) is the device's
// double-byte Chinese page, 950 unless a test or the simulator sets another. What a page cannot
// hold becomes its default character '?', as on the device.
class CodePages final : public DeviceComponent {
public:
    explicit CodePages(Device&) { }

    UINT ansi_code_page() const { return m_ansi; }
    void set_ansi_code_page(UINT code_page) { m_ansi = code_page; }
    // CP_ACP and CP_OEMCP stand for the ANSI page; other numbers for themselves.
    UINT actual(UINT code_page) const;

    // iconv's name of a page, or null for one the device does not know.
    static std::optional<std::string> iconv_name(UINT code_page);

    struct Wide {
        std::u16string text;
        bool replaced = false; // a byte sequence had no character
    };
    struct Narrow {
        std::string text;
        bool replaced = false; // a character had no place in the page
    };
    // Null when the page is unknown.
    std::optional<Wide> to_wide(UINT code_page, std::string_view) const;
    std::optional<Narrow> to_narrow(UINT code_page, std::u16string_view, char default_character = '?') const;

private:
    std::atomic<UINT> m_ansi = 950;
};

} // namespace kivo
