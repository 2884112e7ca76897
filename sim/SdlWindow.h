#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <vector>

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;

namespace kivo {

class Simulator;

// The simulator's window: the device's screen at twice its size, refreshed from the frame buffer,
// the mouse as the touch screen, keys for the device events (listed by --help) and the device's
// sounds through the host's audio.
class SdlWindow {
public:
    explicit SdlWindow(Simulator&);
    ~SdlWindow();
    SdlWindow(const SdlWindow&) = delete;
    SdlWindow& operator=(const SdlWindow&) = delete;

    // False when no window can be opened (no display); the reason is on stderr.
    bool open();
    // Boots the device and runs until the window is closed; returns the process exit status.
    int run();

    // The key that raises a device event in the window ("" when none does).
    static const char* key_of(const char* event_name);

private:
    struct Sound {
        std::filesystem::path file;
        bool start = false;
        bool loop = false;
    };

    void boot();
    void present();
    void handle_key(int key);
    void play_pending_sounds();

    Simulator& m_simulator;
    SDL_Window* m_window = nullptr;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
    std::vector<uint16_t> m_frame;

    // The device's sounds reach the window from any of its threads; the window plays them.
    std::mutex m_sounds_lock;
    std::deque<Sound> m_pending_sounds;
    uint32_t m_audio = 0;
    std::vector<uint8_t> m_looping_samples;
};

} // namespace kivo
