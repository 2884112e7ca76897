#include "SdlWindow.h"

#include "DeviceEvents.h"
#include "FrameBuffer.h"
#include "NavigationStandIn.h"
#include "Simulator.h"
#include "SoundDevice.h"
#include "TouchInput.h"

#include <SDL.h>
#include <cstdio>
#include <cstring>
#include <string>

namespace kivo {

namespace {

constexpr int scale = 2;
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
        std::fprintf(stderr, "kivo-sim: cannot open a window (%s); use --headless with a script\n", SDL_GetError());
        return false;
    }
    // The device plays its sounds when the host has audio; a silent host is no reason to stop.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        std::fprintf(stderr, "kivo-sim: no sound (%s)\n", SDL_GetError());
    m_window = SDL_CreateWindow("kivo", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, FrameBuffer::width * scale,
        FrameBuffer::height * scale, 0);
    if (m_window)
        m_renderer = SDL_CreateRenderer(m_window, -1, 0);
    if (m_renderer)
        m_texture = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, FrameBuffer::width,
            FrameBuffer::height);
    if (!m_texture) {
        std::fprintf(stderr, "kivo-sim: cannot open a window (%s)\n", SDL_GetError());
        return false;
    }
    return true;
}

void SdlWindow::boot()
{
    m_simulator.boot();
    m_simulator.device().component<SoundDevice>().set_output([this](const SoundDevice::OutputEvent& event) {
        std::lock_guard guard(m_sounds_lock);
        bool start = event.kind == SoundDevice::OutputEvent::Kind::Start;
        m_pending_sounds.push_back({ event.host, start, event.sound.looping });
    });
}

void SdlWindow::present()
{
    // A whole picture, copied under the drawing lock; the texture is filled without it.
    m_frame.resize(FrameBuffer::visible_pixels);
    m_simulator.device().component<FrameBuffer>().copy_visible(m_frame);
    SDL_UpdateTexture(m_texture, nullptr, m_frame.data(), FrameBuffer::width * sizeof(uint16_t));
    SDL_RenderClear(m_renderer);
    SDL_RenderCopy(m_renderer, m_texture, nullptr, nullptr);
    SDL_RenderPresent(m_renderer);
}

void SdlWindow::handle_key(int key)
{
    if (key == SDLK_F5) {
        // A new boot from the same root, as after a power-off.
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
    std::optional<std::string> error;
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

void SdlWindow::play_pending_sounds()
{
    std::deque<Sound> sounds;
    {
        std::lock_guard guard(m_sounds_lock);
        sounds.swap(m_pending_sounds);
    }
    for (auto& sound : sounds) {
        if (m_audio) {
            SDL_CloseAudioDevice(m_audio);
            m_audio = 0;
            m_looping_samples.clear();
        }
        if (!sound.start)
            continue;
        SDL_AudioSpec format;
        Uint8* samples = nullptr;
        Uint32 length = 0;
        if (!SDL_LoadWAV(sound.file.c_str(), &format, &samples, &length))
            continue;
        m_audio = SDL_OpenAudioDevice(nullptr, 0, &format, nullptr, 0);
        if (m_audio) {
            SDL_QueueAudio(m_audio, samples, length);
            SDL_PauseAudioDevice(m_audio, 0);
            if (sound.loop)
                m_looping_samples.assign(samples, samples + length);
        }
        SDL_FreeWAV(samples);
    }
    if (m_audio && !m_looping_samples.empty() && SDL_GetQueuedAudioSize(m_audio) == 0)
        SDL_QueueAudio(m_audio, m_looping_samples.data(), static_cast<Uint32>(m_looping_samples.size()));
}

int SdlWindow::run()
{
    boot();
    bool pressed = false;
    for (;;) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            switch (event.type) {
            case SDL_QUIT:
                return 0;
            case SDL_MOUSEBUTTONDOWN:
                if (event.button.button == SDL_BUTTON_LEFT && m_simulator.device().running()) {
                    pressed = true;
                    m_simulator.device().component<TouchInput>().press(event.button.x / scale, event.button.y / scale);
                }
                break;
            case SDL_MOUSEMOTION:
                if (pressed && m_simulator.device().running())
                    m_simulator.device().component<TouchInput>().move(event.motion.x / scale, event.motion.y / scale);
                break;
            case SDL_MOUSEBUTTONUP:
                if (event.button.button == SDL_BUTTON_LEFT && pressed) {
                    pressed = false;
                    if (m_simulator.device().running())
                        m_simulator.device().component<TouchInput>().release(event.button.x / scale, event.button.y / scale);
                }
                break;
            case SDL_KEYDOWN:
                handle_key(event.key.keysym.sym);
                break;
            default:
                break;
            }
        }
        play_pending_sounds();
        present();
        SDL_Delay(frame_interval_ms);
    }
}

} // namespace kivo
