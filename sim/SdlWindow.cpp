#include "SdlWindow.h"

#include "BluetoothStrip.h"
#include "DeviceEvents.h"
#include "FrameBuffer.h"
#include "NavigationStandIn.h"
#include "PhoneCommands.h"
#include "RadioCommands.h"
#include "SimulatedPhones.h"
#include "Simulator.h"
#include "SoundDevice.h"
#include "TouchInput.h"
#include "VideoPlane.h"

#include <SDL.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kivo {

namespace {

constexpr int scale = window_scale;
constexpr int screen_height = FrameBuffer::height * scale;
constexpr int frame_interval_ms = 33;

struct EventKey {
    const char* event;
    SDL_Keycode key;
    const char* label;
    std::optional<long long> value;
};

const EventKey event_keys[] = {
    { "card-in", SDLK_i, "i", {} },
    { "card-out", SDLK_o, "o", {} },
    { "card-protect", SDLK_w, "w", {} },
    { "card-unprotect", SDLK_e, "e", {} },
    { "card-unsupported", SDLK_n, "n", {} },
    { "usb-on", SDLK_u, "u", {} },
    { "usb-off", SDLK_j, "j", {} },
    { "usb-busy", SDLK_b, "b", {} },
    { "usb-idle", SDLK_v, "v", {} },
    { "mains-on", SDLK_m, "m", {} },
    { "mains-off", SDLK_k, "k", {} },
    { "tuner-out", SDLK_t, "t", {} },
    { "tuner-in", SDLK_y, "y", {} },
    { "hard-key", SDLK_h, "h", {} },
    { "power-key", SDLK_x, "x", {} },
    { "battery", SDLK_0, "0-7", {} },
};

} // namespace

SdlWindow::SdlWindow(Simulator& simulator)
    : m_simulator(simulator)
{
}

SdlWindow::~SdlWindow()
{
    if (m_audio)
        SDL_CloseAudioDevice(m_audio);
    if (m_texture)
        SDL_DestroyTexture(m_texture);
    if (m_strip_texture)
        SDL_DestroyTexture(m_strip_texture);
    if (m_renderer)
        SDL_DestroyRenderer(m_renderer);
    if (m_window)
        SDL_DestroyWindow(m_window);
    SDL_Quit();
}

const char* SdlWindow::key_of(const char* event_name)
{
    std::string name = event_name;
    for (auto& key : event_keys) {
        if (name.starts_with(key.event))
            return key.label;
    }
    return "";
}

bool SdlWindow::open()
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "kivo-sim: cannot open a window (%s); run a script with --headless --script FILE\n", SDL_GetError());
        return false;
    }
    // Without a display SDL falls back on drivers that show nothing; a window nobody can see
    // would run for ever. One asked for by name (SDL_VIDEODRIVER) is taken as meant.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    bool invisible = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "evdev") == 0);
    if (invisible && !(asked && *asked)) {
        std::fprintf(stderr, "kivo-sim: no display to open a window on (DISPLAY and WAYLAND_DISPLAY are not set); "
                             "run a script with --headless --script FILE\n");
        return false;
    }
    // The device plays its sounds when the host has audio; a silent host is no reason to stop.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        std::fprintf(stderr, "kivo-sim: no sound (%s)\n", SDL_GetError());
    else
        open_audio();
    // The screen, and the Bluetooth strip under it.
    m_window = SDL_CreateWindow("kivo", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, FrameBuffer::width * scale,
        screen_height + BluetoothStrip::height, 0);
    if (m_window)
        m_renderer = SDL_CreateRenderer(m_window, -1, 0);
    if (m_renderer) {
        m_texture = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, FrameBuffer::width,
            FrameBuffer::height);
        m_strip_texture = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_STREAMING,
            FrameBuffer::width * scale, BluetoothStrip::height);
    }
    if (!m_texture || !m_strip_texture) {
        std::fprintf(stderr, "kivo-sim: cannot open a window (%s)\n", SDL_GetError());
        return false;
    }
    return true;
}

bool SdlWindow::boot()
{
    std::string error;
    if (!m_simulator.boot(&error)) {
        std::fprintf(stderr, "kivo-sim: %s\n", error.c_str());
        return false;
    }
    if (!m_audio)
        return true;
    SoundDevice::OutputFormat format { static_cast<uint32_t>(m_audio_rate), static_cast<uint16_t>(m_audio_channels) };
    m_simulator.device().component<SoundDevice>().set_output(format, [ring = m_ring](std::span<const int16_t> samples) {
        ring->push(samples);
    });
    return true;
}

void SdlWindow::open_audio()
{
    SDL_AudioSpec wanted {};
    wanted.freq = 44100;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = fill_audio;
    SDL_AudioSpec obtained {};
    // The device opens paused: the callback runs only once the ring is made for the format obtained.
    wanted.userdata = this;
    m_audio = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (!m_audio) {
        std::fprintf(stderr, "kivo-sim: no sound (%s)\n", SDL_GetError());
        return;
    }
    m_audio_rate = obtained.freq;
    m_audio_channels = obtained.channels;
    // A quarter of a second at most is held; playing starts again after a gap once a callback's
    // worth and the device's render interval are there, so the two clocks' jitter is not heard.
    m_ring = std::make_shared<SampleRing>(obtained.channels, obtained.freq / 4, obtained.samples + obtained.freq / 25);
    SDL_PauseAudioDevice(m_audio, 0);
}

void SdlWindow::fill_audio(void* window, uint8_t* stream, int length)
{
    std::span<int16_t> out(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(length) / sizeof(int16_t));
    static_cast<SdlWindow*>(window)->m_ring->pop(out);
}

void SdlWindow::present()
{
    // What the screen shows, copied whole under the drawing lock; the texture is filled without it.
    m_frame.resize(FrameBuffer::visible_pixels);
    m_simulator.device().component<VideoPlane>().copy_shown_screen(m_frame);
    SDL_UpdateTexture(m_texture, nullptr, m_frame.data(), FrameBuffer::width * sizeof(uint16_t));
    // The strip is painted again only when what it shows changed.
    auto view = bluetooth_strip_view(m_simulator.device().component<SimulatedPhones>());
    if (!m_strip_view || *m_strip_view != view) {
        RgbPicture strip(FrameBuffer::width * scale, BluetoothStrip::height);
        m_strip.paint(view, strip, 0);
        SDL_UpdateTexture(m_strip_texture, nullptr, strip.bytes.data(), strip.width * 3);
        m_strip_view = std::move(view);
    }
    SDL_RenderClear(m_renderer);
    SDL_Rect screen { 0, 0, FrameBuffer::width * scale, screen_height };
    SDL_Rect strip { 0, screen_height, FrameBuffer::width * scale, BluetoothStrip::height };
    SDL_RenderCopy(m_renderer, m_texture, nullptr, &screen);
    SDL_RenderCopy(m_renderer, m_strip_texture, nullptr, &strip);
    SDL_RenderPresent(m_renderer);
}

void SdlWindow::handle_key(int key)
{
    if (key == SDLK_F5) {
        // A new boot from the same root, as after a power-off; when the root cannot be used
        // (the reason is on stderr) the device runs on as it was.
        boot();
        return;
    }
    // The navigation's own codes to the home screen, as the running navigation sends them.
    const std::pair<SDL_Keycode, std::pair<WPARAM, LPARAM>> navigation_keys[] = {
        { SDLK_F1, { 13, 0 } }, { SDLK_F2, { 13, 1 } }, { SDLK_F3, { 17, 0 } }, { SDLK_F4, { 18, 0 } }
    };
    for (auto& [navigation_key, code] : navigation_keys) {
        if (key == navigation_key) {
            if (!m_simulator.device().component<NavigationStandIn>().post_to_home(code.first, code.second))
                std::fprintf(stderr, "kivo-sim: the navigation does not run\n");
            return;
        }
    }
    // The current phone's side: a call from its first contact, answered, ended; a message; range.
    const std::pair<SDL_Keycode, std::optional<std::string> (PhoneCommands::*)()> phone_keys[] = {
        { SDLK_F6, &PhoneCommands::ring_from_contact }, { SDLK_F7, &PhoneCommands::answer }, { SDLK_F8, &PhoneCommands::hang_up },
        { SDLK_F9, &PhoneCommands::sms_from_contact }, { SDLK_F10, &PhoneCommands::toggle_range }
    };
    std::optional<std::string> error;
    for (auto& [phone_key, action] : phone_keys) {
        if (key == phone_key)
            error = (PhoneCommands(m_simulator).*action)();
    }
    // The antenna unplugged, or plugged in again.
    if (key == SDLK_F11)
        error = RadioCommands(m_simulator).toggle_power();
    if (key >= SDLK_0 && key <= SDLK_7) {
        error = DeviceEvents(m_simulator).raise("battery", key - SDLK_0);
    } else {
        for (auto& entry : event_keys) {
            if (entry.key == key && std::strcmp(entry.event, "battery") != 0)
                error = DeviceEvents(m_simulator).raise(entry.event);
        }
    }
    if (error)
        std::fprintf(stderr, "kivo-sim: %s\n", error->c_str());
}

int SdlWindow::run()
{
    if (!boot())
        return 1;
    bool pressed = false;
    for (;;) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            switch (event.type) {
            case SDL_QUIT:
                return 0;
            case SDL_MOUSEBUTTONDOWN:
                // The strip under the screen is no part of the touch screen.
                if (event.button.button == SDL_BUTTON_LEFT && event.button.y < screen_height && m_simulator.device().running()) {
                    pressed = true;
                    m_simulator.device().component<TouchInput>().press(event.button.x / scale, event.button.y / scale);
                }
                break;
            case SDL_MOUSEMOTION:
                if (pressed && m_simulator.device().running())
                    m_simulator.device().component<TouchInput>().move(event.motion.x / scale, std::min(event.motion.y, screen_height - 1) / scale);
                break;
            case SDL_MOUSEBUTTONUP:
                if (event.button.button == SDL_BUTTON_LEFT && pressed) {
                    pressed = false;
                    if (m_simulator.device().running())
                        m_simulator.device().component<TouchInput>().release(event.button.x / scale, std::min(event.button.y, screen_height - 1) / scale);
                }
                break;
            case SDL_KEYDOWN:
                handle_key(event.key.keysym.sym);
                break;
            default:
                break;
            }
        }
        present();
        SDL_Delay(frame_interval_ms);
    }
}

} // namespace kivo
