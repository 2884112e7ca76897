#include "SdlWindow.h"

#include "FrameBuffer.h"
#include "Simulator.h"

#include <SDL.h>
#include <cstdio>

namespace kivo {

namespace {

constexpr int scale = 2;
constexpr int frame_interval_ms = 33;

} // namespace

SdlWindow::SdlWindow(Simulator& simulator)
    : m_simulator(simulator)
{
}

SdlWindow::~SdlWindow()
{
    if (m_texture)
        SDL_DestroyTexture(m_texture);
    if (m_renderer)
        SDL_DestroyRenderer(m_renderer);
    if (m_window)
        SDL_DestroyWindow(m_window);
    if (m_window || m_renderer || m_texture)
        SDL_Quit();
}

bool SdlWindow::open()
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "kivo-sim: cannot open a window (%s); use --headless with a script\n", SDL_GetError());
        return false;
    }
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

void SdlWindow::present()
{
    auto& frame_buffer = m_simulator.device().component<FrameBuffer>();
    SDL_UpdateTexture(m_texture, nullptr, frame_buffer.pixels(), FrameBuffer::width * sizeof(uint16_t));
    SDL_RenderClear(m_renderer);
    SDL_RenderCopy(m_renderer, m_texture, nullptr, nullptr);
    SDL_RenderPresent(m_renderer);
}

int SdlWindow::run()
{
    m_simulator.boot();
    for (;;) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT)
                return 0;
        }
        present();
        SDL_Delay(frame_interval_ms);
    }
}

} // namespace kivo
