#pragma once

#include "platform.h"

#include <string_view>

// The device's shell: it applies the device settings, runs the home page for as long as the
// device is on, and starts the platform's own shell when the page ends.
class CHubscreenApp : public CWinApp {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;
};

inline constexpr std::u16string_view hubscreen_image_path = u"\\NAND\\App\\hubscreen.exe";

namespace kivo {
class Device;
}

void register_hubscreen(kivo::Device&);
