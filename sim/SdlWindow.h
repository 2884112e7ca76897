#pragma once

#include "BluetoothStrip.h"
#include "SampleRing.h"

#include <cstdint>
#include <memory>
#include <optional>

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;

namespace kivo {

class Simulator;

// The simulator's window: the device's screen at twice its size, refreshed from the frame buffer,
// with the Bluetooth strip under it (the radio, the phones around, the calls); the mouse as the
// touch screen, keys for the device events and the phones (listed by --help) and the device's
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
    // False, with the reason on stderr, when the device root cannot be used.
    bool boot();
    void present();
    void handle_key(int key);
    void open_audio();
    static void fill_audio(void* window, uint8_t* stream, int length);

    Simulator& m_simulator;
    SDL_Window* m_window = nullptr;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
    SDL_Texture* m_strip_texture = nullptr;
    std::vector<uint16_t> m_frame;
    BluetoothStrip m_strip;
    // What the strip texture shows now.
    std::optional<BluetoothStripView> m_strip_view;

    // The device's mix reaches the host's audio callback through the ring, so the callback
    // never waits for the device.
    uint32_t m_audio = 0;
    int m_audio_rate = 0;
    int m_audio_channels = 0;
    std::shared_ptr<SampleRing> m_ring;
};

} // namespace kivo
