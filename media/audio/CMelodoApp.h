#pragma once

#include "platform.h"

#include <string_view>

// The audio player Melodo: one instance at a time, its main screen run modally; at the end it
// tells the home screen that it closed.
class CMelodoApp : public CWinApp {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;

    // The single-instance event "belongstoAudio".
    HANDLE m_hInstanceEvent = nullptr;
    BOOL m_bFirstInstance = FALSE;
};

inline constexpr std::u16string_view melodo_image_path = u"\\NAND\\App\\Melodo.exe";

namespace kivo {
class Device;
}

void register_melodo(kivo::Device&);
