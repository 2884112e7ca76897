#pragma once

#include "cPhysicalAddress.h"

// The register windows of the program: the general-purpose I/O ports and the two display
// windows. One per program (per simulated process), made on the first GetRegisterMap.
class CRegisterMap {
public:
    static constexpr DWORD gpio_address = 0xF005A000;
    static constexpr DWORD gpio_length = 320;
    static constexpr DWORD display_address = 0xF0057100;
    static constexpr DWORD display_length = 56;
    static constexpr DWORD post_address = 0xF3001000;
    static constexpr DWORD post_length = 72;

    CRegisterMap();
    ~CRegisterMap();
    CRegisterMap(const CRegisterMap&) = delete;
    CRegisterMap& operator=(const CRegisterMap&) = delete;

    cPhysicalAddress m_gpio;
    cPhysicalAddress m_display;
    cPhysicalAddress m_post;
};

// The program's register map, made and mapped on the first call.
CRegisterMap& GetRegisterMap();
