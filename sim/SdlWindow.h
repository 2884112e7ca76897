#pragma once

#include <memory>

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;

namespace kivo {

class Simulator;

// The simulator's window: the device's screen at twice its size, refreshed from the frame buffer,
// with the mouse as the touch screen and keys for the device events.
class SdlWindow {
public:
    explicit SdlWindow(Simulator&);
    ~SdlWindow();
    SdlWindow(const SdlWindow&) = delete;
    SdlWindow& operator=(const SdlWindow&) = delete;

    // False when no window can be opened (no display); the reason is on stderr.
    bool open();
    // Runs until the window is closed; returns the process exit status.
    int run();

private:
    void present();

    Simulator& m_simulator;
    SDL_Window* m_window = nullptr;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
};

} // namespace kivo
