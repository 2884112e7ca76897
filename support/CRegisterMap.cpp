#include "CRegisterMap.h"

#include "program_services.h"

CRegisterMap::CRegisterMap()
{
    m_gpio.Attach(gpio_address, gpio_length);
    m_display.Attach(display_address, display_length);
    m_post.Attach(post_address, post_length);
}

CRegisterMap::~CRegisterMap()
{
    // The map goes with its process, whose end has already released the process's mappings:
    // the windows are only forgotten, last first, as the program's exit routines unmapped them.
    m_post.m_pMapped = nullptr;
    m_display.m_pMapped = nullptr;
    m_gpio.m_pMapped = nullptr;
}

CRegisterMap& GetRegisterMap()
{
    static kivo::ProcessLocal<CRegisterMap> s_map;
    return s_map.get();
}
