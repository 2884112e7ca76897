#pragma once

// A program of another kind with one hidden window that keeps the phone link's notifications it
// receives, as the home screen and the test panel do: the subscriber of the server's and the call
// road's tests.

#include "DialdeckTest.h"
#include "LinkProtocol.h"

#include <ostream>

namespace dialdeck::test {

inline constexpr const char16_t* client_image = u"\\NAND\\App\\LinkClient.exe";
inline constexpr const char16_t* client_class = u"DialdeckClient";

// A notification as a subscribed window got it.
struct Note {
    std::string window;
    std::string name;
    WPARAM wparam;
    bool operator==(const Note&) const = default;
};
inline std::vector<Note> g_notes;

inline std::ostream& operator<<(std::ostream& out, const Note& note)
{
    return out << note.window << ": " << note.name << " " << note.wparam;
}

inline LRESULT CALLBACK client_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (auto link = LinkMessageOf(message)) {
        WCHAR title[100] = {};
        GetWindowText(window, title, 100);
        g_notes.push_back({ kivo::to_utf8(title), kivo::to_utf8(std::u16string(LinkMessageName(*link))), wparam });
        return 0;
    }
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProc(window, message, wparam, lparam);
}

// A program with one hidden window titled by its command line, which keeps the phone link's
// notifications it receives; it registers the names as every client does.
inline int client_program(std::u16string_view title)
{
    RegisterLinkMessages();
    return kivo::test::run_window_program(client_class, client_window, title);
}

inline _tagZOL_MSGOUT_WND subscriber(std::u16string_view title, std::u16string_view className = {})
{
    _tagZOL_MSGOUT_WND record {};
    title.copy(record.title, title.size());
    className.copy(record.className, className.size());
    return record;
}

// Starts a client whose window has the title, registering the program on the device at first.
inline HWND start_link_client(kivo::Device& device, const char16_t* title)
{
    if (!device.programs().contains(client_image)) {
        device.programs().add(client_image, client_program);
        device.component<kivo::ProgramImages>().install();
    }
    DWORD error = 0;
    EXPECT_TRUE(device.create_process(client_image, title, error));
    device.run_until_idle();
    return FindWindow(client_class, title);
}

} // namespace dialdeck::test
